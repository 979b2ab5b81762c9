#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/receive_ring.h"
#include "platform/trace.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal stands in for the line: the port opens its slave side,
// the test plays the far end on the master.
class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128];
    ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    slave_path_ = name;
  }
  void TearDown() override {
    port_.Close();
    ::close(master_);
    ::close(slave_);
  }
  SerialPort::Notify Notify() {
    return [this](int port_index) {
      std::lock_guard guard(lock_);
      notified_index_ = port_index;
      ++notifications_;
      changed_.notify_all();
    };
  }
  bool WaitForNotifications(int count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, 30s, [&] { return notifications_ >= count; });
  }

  TraceCapture trace_;
  SerialPort port_{"[MODEM]"};
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
  std::mutex lock_;
  std::condition_variable changed_;
  int notifications_ = 0;    // guarded by lock_
  int notified_index_ = -1;  // guarded by lock_
};

TEST_F(SerialPortTest, ReceivedBytesArriveInOrderWithTheirNotificationAndWritesReachTheLine) {
  ASSERT_TRUE(port_.Open(slave_path_, 115200, 3, Notify()));
  EXPECT_TRUE(port_.IsConnected());
  EXPECT_EQ(port_.name(), "COM3");
  EXPECT_TRUE(trace_.Contains("[MODEM] COM3 open on " + slave_path_ + " at 115200 baud"));

  ASSERT_EQ(::write(master_, "AT", 2), 2);
  ASSERT_TRUE(WaitForNotifications(1));
  {
    std::lock_guard guard(lock_);
    EXPECT_EQ(notified_index_, 2);
  }
  ASSERT_EQ(::write(master_, "Z\r", 2), 2);
  std::vector<uint8_t> received;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (received.size() < 4 && std::chrono::steady_clock::now() < deadline) {
    port_.DrainReceived(received);
    std::this_thread::yield();
  }
  EXPECT_EQ(std::string(received.begin(), received.end()), "ATZ\r");
  // A reader that drains on each notification gets every later burst. (A
  // notification may come for bytes the loop above already took; draining
  // in answer to it re-arms the port, as a reader does.)
  int seen = 0;
  {
    std::lock_guard guard(lock_);
    seen = notifications_;
  }
  port_.DrainReceived(received);
  ASSERT_EQ(::write(master_, "!", 1), 1);
  std::vector<uint8_t> later;
  while (std::find(later.begin(), later.end(), '!') == later.end()) {
    ASSERT_TRUE(WaitForNotifications(seen + 1));
    {
      std::lock_guard guard(lock_);
      seen = notifications_;
    }
    port_.DrainReceived(later);
  }

  EXPECT_EQ(port_.Write("OK\r"), 3u);
  char echoed[3] = {};
  size_t got = 0;
  while (got < sizeof echoed) {
    const ssize_t n = ::read(master_, echoed + got, sizeof echoed - got);
    ASSERT_GT(n, 0);
    got += static_cast<size_t>(n);
  }
  EXPECT_EQ(std::string(echoed, 3), "OK\r");
}

TEST_F(SerialPortTest, CloseEndsTheWatchThreadAndOpeningBadSettingsFails) {
  ASSERT_TRUE(port_.Open(slave_path_, 9600, 1, Notify()));
  port_.Close();
  EXPECT_FALSE(port_.IsConnected());
  EXPECT_TRUE(trace_.Contains("[MODEM] COM1 closed"));
  EXPECT_FALSE(trace_.Contains("[MODEM] ThreadWatchComm of COM1 did not end in time"));
  EXPECT_EQ(port_.Write("x"), 0u);

  std::string error;
  EXPECT_FALSE(port_.Open(slave_path_, 1234, 1, Notify(), &error));
  EXPECT_EQ(error, "unsupported baud rate");
  EXPECT_FALSE(port_.Open("", 9600, 2, Notify(), &error));
  EXPECT_EQ(error, "no device for this port");
  EXPECT_FALSE(port_.IsConnected());
}

TEST(ReceiveRing, HoldsAtMost8191BytesAndDropsTheRest) {
  ReceiveRing ring;
  for (int i = 0; i < 9000; ++i) ring.Push(static_cast<uint8_t>(i));
  EXPECT_EQ(ring.Size(), 8191u);
  EXPECT_EQ(ring.Dropped(), 9000u - 8191u);
  std::vector<uint8_t> out;
  EXPECT_EQ(ring.Drain(out), 8191u);
  EXPECT_EQ(out.back(), static_cast<uint8_t>(8190));
  EXPECT_TRUE(ring.Push(1));
}

TEST(ReceiveRing, OneProducerOneConsumerKeepOrder) {
  ReceiveRing ring;
  constexpr int kBytes = 200000;
  std::thread producer([&] {
    for (int i = 0; i < kBytes; ++i) {
      while (!ring.Push(static_cast<uint8_t>(i % 251))) std::this_thread::yield();
    }
  });
  std::vector<uint8_t> out;
  while (out.size() < static_cast<size_t>(kBytes)) ring.Drain(out);
  producer.join();
  for (int i = 0; i < kBytes; ++i) ASSERT_EQ(out[i], i % 251) << i;
}

}  // namespace
}  // namespace platform
