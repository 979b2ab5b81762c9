#include "client/modem/comm_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QObject>
#include <QThread>
#include <cerrno>
#include <chrono>

#include "platform/owner_thread_call.h"
#include "platform/trace.h"

namespace modem {
namespace {

constexpr auto kJoinTimeout = std::chrono::milliseconds(1000);
constexpr uint32_t kKnownLineErrors = kLineErrorOverrunBuffer | kLineErrorOverrun | kLineErrorParity | kLineErrorFrame;

}  // namespace

std::string DescribeLineErrors(uint32_t bits) {
  if (bits == 0) return "NULL Error";
  std::string text;
  auto add = [&](const char* name) {
    if (!text.empty()) text += " and ";
    text += name;
  };
  if (bits & kLineErrorFrame) add("CE_FRAME");
  if (bits & (kLineErrorOverrun | kLineErrorOverrunBuffer)) add("CE_OVERRUN");
  if (bits & kLineErrorParity) add("CE_RXPARITY");
  if (bits & ~kKnownLineErrors) add("EV_ERR Unknown EvtMask");
  return text;
}

struct CCommPort::Shared {
  ~Shared() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
  std::atomic<bool> shutting_down{false};
  platform::CloseEvent shutdown;  // set once, never reset: both threads see it
  QObject* owner = nullptr;
  std::weak_ptr<int> port_alive;

  // Reader thread only.
  protocol::Reassembler reassembler{protocol::kLineMaxPayload, protocol::Reassembler::Framing::kLine};
  bool have_counts = true;
  serial_icounter_struct counts{};

  // The writer's queue; `lock` guards `chunks`, `wake` tells the writer.
  std::mutex lock;
  std::deque<std::vector<uint8_t>> chunks;
  platform::CloseEvent wake;
};

CCommPort::CCommPort(QObject& owner) : owner_(owner) {}

CCommPort::~CCommPort() {
  sink_ = nullptr;  // nobody to tell any more
  Stop();
}

bool CCommPort::OnOwnerThread() const { return QThread::currentThread() == owner_.thread(); }

bool CCommPort::Start(int fd, ICommPortSink* sink) {
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
    Trace("[COMM] File handle is not a comm handle.");
    return false;
  }
  if (shared_) {
    Trace("[COMM] Already have a comm file opne.");
    return false;
  }
  auto shared = std::make_shared<Shared>();
  if (!shared->shutdown.valid() || !shared->wake.valid()) {
    Trace("[COMM] Unable to CreateEvent: %ld", static_cast<long>(errno));
    return false;
  }
  // Neither thread may block where the shutdown cannot reach it.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  shared->fd = fd;
  shared->owner = &owner_;
  shared->port_alive = alive_;
  if (::ioctl(fd, TIOCGICOUNT, &shared->counts) != 0) shared->have_counts = false;
  sink_ = sink;
  shared_ = shared;
  const bool started = reader_.Start([shared, this] { ReaderThread(shared, this); }) &&
                       writer_.Start([shared, this] { WriterThread(shared, this); });
  if (!started) {
    Trace("[COMM] Unable to create read thread.");
    shared->shutting_down = true;
    shared->shutdown.Set();
    reader_.JoinWithin(kJoinTimeout);
    writer_.JoinWithin(kJoinTimeout);
    shared->fd = -1;  // the caller keeps it
    shared_.reset();
    sink_ = nullptr;
    return false;
  }
  return true;
}

bool CCommPort::Write(std::span<const uint8_t> bytes) {
  if (!shared_ || shared_->shutting_down) {
    Trace("[COMM] Write thread not created.");
    return false;
  }
  {
    std::lock_guard guard(shared_->lock);
    shared_->chunks.emplace_back(bytes.begin(), bytes.end());
  }
  shared_->wake.Set();
  return true;
}

void CCommPort::RequestStop(const std::shared_ptr<Shared>& shared, CCommPort* port) {
  if (shared->shutting_down.exchange(true)) return;
  shared->shutdown.Set();
  std::weak_ptr<int> alive = shared->port_alive;
  platform::PostToOwnerThread(shared->owner, [alive, port, shared] {
    // Only the transport this request came from: a new call may run by now.
    if (!alive.expired() && port->shared_ == shared) port->Stop();
  });
}

bool CCommPort::Stop() {
  if (!shared_) return false;
  if (!OnOwnerThread()) {
    RequestStop(shared_, this);
    return true;
  }
  std::shared_ptr<Shared> shared = std::move(shared_);
  shared->shutting_down = true;
  Trace("[COMM] Stopping the Comm.");
  Trace("[COMM] Closing Read Thread");
  shared->shutdown.Set();
  ::tcflush(shared->fd, TCIFLUSH);
  const bool reader_ended = reader_.JoinWithin(kJoinTimeout);
  if (!reader_ended) Trace("[COMM] Read thread not exiting. Terminating it.");
  Trace("[COMM] Closing Write Thread");
  const bool writer_ended = writer_.JoinWithin(kJoinTimeout);
  if (!writer_ended) Trace("[COMM] Write thread not exiting. Terminating it.");
  // A thread given up still co-owns the block; the descriptor closes with it.
  if (reader_ended && writer_ended) {
    ::close(shared->fd);
    shared->fd = -1;
  }
  ICommPortSink* sink = sink_;
  sink_ = nullptr;
  if (sink) sink->OnLinkLost();
  return true;
}

void CCommPort::Deliver(const std::shared_ptr<Shared>& shared, CCommPort* port) {
  const protocol::PacketView packet = shared->reassembler.Packet();
  // The handler may stop this very transport, so the work owns its copy and
  // the reader leaves it to finish on its own once the shutdown is signalled.
  std::vector<uint8_t> copy(packet.bytes.begin(), packet.bytes.end());
  std::weak_ptr<int> alive = shared->port_alive;
  platform::CallOnOwnerThread(
      shared->owner,
      [alive, port, shared, copy = std::move(copy)] {
        if (alive.expired() || port->shared_ != shared || !port->sink_) return;
        port->sink_->OnLinkPacket(copy);
      },
      [&shared] { return shared->shutting_down.load(); }, platform::BegunWork::kLeave);
}

void CCommPort::ReaderThread(std::shared_ptr<Shared> shared, CCommPort* port) {
  protocol::Reassembler& reassembler = shared->reassembler;
  while (!shared->shutting_down) {
    pollfd fds[2] = {{shared->shutdown.fd(), POLLIN, 0}, {shared->fd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      Trace("[COMM] Read WAIT_FAILED : %ld", static_cast<long>(errno));
      break;
    }
    if (fds[0].revents || shared->shutting_down) break;
    if (shared->have_counts) {
      serial_icounter_struct now{};
      if (::ioctl(shared->fd, TIOCGICOUNT, &now) == 0) {
        uint32_t bits = 0;
        if (now.frame != shared->counts.frame) bits |= kLineErrorFrame;
        if (now.overrun != shared->counts.overrun) bits |= kLineErrorOverrun;
        if (now.buf_overrun != shared->counts.buf_overrun) bits |= kLineErrorOverrunBuffer;
        if (now.parity != shared->counts.parity) bits |= kLineErrorParity;
        shared->counts = now;
        // Line errors are reported and reading goes on.
        if (bits) Trace("[COMM] Comm Event: '%s', EvtMask = '%lx'", DescribeLineErrors(bits).c_str(), (long)bits);
      }
    }
    const std::span<uint8_t> into = reassembler.Wanted();
    const ssize_t n = ::read(shared->fd, into.data(), into.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      // A hung-up line, a pulled USB modem, or the far end of a pty gone.
      if (n == 0 || errno == EIO || errno == EBADF || errno == ENXIO || errno == ENODEV) {
        Trace("[COMM] Likely that the Service Provider has closed the port.");
      } else {
        Trace("[COMM] Unexpected ReadFile error : %ld", static_cast<long>(errno));
      }
      break;
    }
    using Step = protocol::Reassembler::Step;
    Step step = reassembler.Received(static_cast<size_t>(n));
    for (;;) {
      if (step == Step::kResync) {
        Trace("[COMM] Packet Loss Search Header!!");
      } else if (step == Step::kOversize) {
        // A length that cannot be ours: the header is lost, not the line.
        Trace("[COMM] Packet Loss Search Header!!");
        step = reassembler.DropHeader();
        continue;
      } else if (step == Step::kPacket) {
        if (shared->shutting_down) break;
        Deliver(shared, port);
        reassembler.Reset();
      }
      break;
    }
  }
  Trace("[COMM] Comm thread shutting down !!!");
  ::tcflush(shared->fd, TCIFLUSH);
  RequestStop(shared, port);
}

void CCommPort::WriterThread(std::shared_ptr<Shared> shared, CCommPort* port) {
  bool failed = false;
  while (!shared->shutting_down && !failed) {
    pollfd fds[2] = {{shared->shutdown.fd(), POLLIN, 0}, {shared->wake.fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
      Trace("[COMM] Write WAIT_FAILED : %ld", static_cast<long>(errno));
      break;
    }
    if (fds[0].revents) break;
    shared->wake.Reset();
    for (;;) {
      std::vector<uint8_t> chunk;
      {
        std::lock_guard guard(shared->lock);
        if (shared->chunks.empty()) break;
        chunk = std::move(shared->chunks.front());
        shared->chunks.pop_front();
      }
      Trace("[COMM] Writing to comm port.");
      size_t written = 0;
      while (written < chunk.size() && !shared->shutting_down) {
        const ssize_t n = ::write(shared->fd, chunk.data() + written, chunk.size() - written);
        if (n > 0) {
          written += static_cast<size_t>(n);
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
          pollfd wait[2] = {{shared->shutdown.fd(), POLLIN, 0}, {shared->fd, POLLOUT, 0}};
          ::poll(wait, 2, -1);
          continue;
        }
        if (errno == EIO || errno == EBADF || errno == ENXIO || errno == ENODEV) {
          Trace("[COMM] Likely that the Service Provider has closed the port.");
        } else {
          Trace("[COMM] Error to writing to CommFile : %ld", static_cast<long>(errno));
        }
        failed = true;
        break;
      }
      if (failed || shared->shutting_down) break;
      Trace("[COMM] writing to CommFile succeeded !!!");
    }
  }
  Trace("[COMM] Write thread shutting down.");
  ::tcflush(shared->fd, TCOFLUSH);
  if (failed) RequestStop(shared, port);
}

}  // namespace modem
