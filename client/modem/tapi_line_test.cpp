#include "client/modem/tapi_line.h"

#include <gtest/gtest.h>

#include <QObject>
#include <atomic>
#include <mutex>
#include <thread>

#include "client/modem/testing/line_pair.h"
#include "platform/trace.h"

namespace modem {
namespace {

using namespace std::chrono_literals;
using testing::LinePair;
using testing::PumpUntil;

// The far modem on the pair's master: answers the init commands "OK" and
// the dial with `answer` (nothing when empty); records what it was sent.
class FakeModem {
 public:
  FakeModem(LinePair& line, std::string answer) : line_(line), answer_(std::move(answer)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~FakeModem() {
    stop_ = true;
    thread_.join();
  }
  std::string received() {
    std::lock_guard guard(lock_);
    return received_;
  }

 private:
  void Run() {
    std::string pending;
    while (!stop_) {
      pollfd wait{line_.master(), POLLIN, 0};
      if (::poll(&wait, 1, 10) != 1) continue;
      char chunk[256];
      const ssize_t n = ::read(line_.master(), chunk, sizeof chunk);
      if (n <= 0) continue;
      std::string reply;
      {
        std::lock_guard guard(lock_);
        received_.append(chunk, static_cast<size_t>(n));
      }
      pending.append(chunk, static_cast<size_t>(n));
      for (size_t end = pending.find('\r'); end != std::string::npos; end = pending.find('\r')) {
        const std::string command = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (command.rfind("ATDT", 0) == 0) {
          if (!answer_.empty()) reply += answer_;
        } else if (command.rfind("AT", 0) == 0) {
          reply += "\r\nOK\r\n";
        }
      }
      if (!reply.empty()) (void)!::write(line_.master(), reply.data(), reply.size());
    }
  }

  LinePair& line_;
  const std::string answer_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::string received_;
  std::thread thread_;
};

struct Sink : ICommPortSink {
  void OnLinkPacket(std::span<const uint8_t>) override {}
  void OnLinkLost() override { ++lost; }
  int lost = 0;
};

constexpr CTapiLine::Timing kQuick{2000ms, 300ms, 20ms, 20ms};

class TapiLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    ASSERT_GE(line_.master(), 0);
    ASSERT_TRUE(dialer_.Initialise(&sink_, {"/dev/null-modem-absent", line_.path()}));
  }
  bool Dial(const std::string& answer) {
    modem_ = std::make_unique<FakeModem>(line_, answer);
    return dialer_.MakeCall(line_.path(), "--1234-5678");
  }

  platform::TraceCapture trace_;
  QObject owner_;
  LinePair line_;
  Sink sink_;
  CTapiLine dialer_{owner_, kQuick};
  std::unique_ptr<FakeModem> modem_;
};

TEST_F(TapiLineTest, ConnectStartsTheTransportOnceAndStopHangsUp) {
  ASSERT_TRUE(Dial("\r\nCONNECT 57600\r\n\r\nCONNECT 57600\r\n"));
  EXPECT_FALSE(dialer_.MakeCall(line_.path(), "1"));
  EXPECT_TRUE(trace_.Contains("[TAPI] A call is already being handled."));
  ASSERT_TRUE(PumpUntil([&] { return dialer_.transport().running(); }));
  PumpUntil([] { return false; }, 100ms);
  EXPECT_EQ(trace_.Count("[TAPI] Connected !!, Starting communications !!"), 1u);
  const std::string sent = modem_->received();
  EXPECT_NE(sent.find("ATZ\r"), std::string::npos);
  EXPECT_NE(sent.find("AT&F E0 V1 Q0 X4\r"), std::string::npos);
  EXPECT_NE(sent.find("ATDT--1234-5678\r"), std::string::npos);

  dialer_.StopCall();
  EXPECT_FALSE(dialer_.transport().running());
  EXPECT_FALSE(dialer_.call_in_progress());
  EXPECT_EQ(sink_.lost, 1);
  // A pseudo-terminal has no DTR to drop: the escape and ATH0 instead.
  ASSERT_TRUE(PumpUntil([&] {
    return modem_->received().find("+++") != std::string::npos &&
           modem_->received().find("ATH0\r") != std::string::npos;
  }));
  EXPECT_TRUE(trace_.Contains("[TAPI] Call stopped."));
}

TEST_F(TapiLineTest, FailedDialsEndTheCallWithTheirDisconnectMode) {
  const std::pair<const char*, const char*> cases[] = {
      {"\r\nBUSY\r\n", "[TAPI] LINE_DISCONNECTMODE: Disconnected: Busy"},
      {"\r\nNO CARRIER\r\n", "[TAPI] LINE_DISCONNECTMODE: Disconnected: Unavaile"},
      {"\r\nNO DIALTONE\r\n", "[TAPI] LINE_DISCONNECTMODE: Disconnected: No Dial Tone"},
      {"\r\nNO ANSWER\r\n", "[TAPI] LINE_DISCONNECTMODE: Disconnected: No Answer"},
      {"", "[TAPI] LINE_DISCONNECTMODE: Disconnected: No Answer"},  // silence until the bound
  };
  int lost = 0;
  for (const auto& [answer, mode] : cases) {
    trace_.Clear();
    ASSERT_TRUE(Dial(answer)) << mode;
    ASSERT_TRUE(PumpUntil([&] { return !dialer_.call_in_progress(); })) << mode;
    modem_.reset();
    EXPECT_TRUE(trace_.Contains(mode)) << mode;
    EXPECT_FALSE(dialer_.transport().running());
    // The bridge hears of it, so that its sessions are not left waiting.
    EXPECT_EQ(sink_.lost, ++lost) << mode;
  }
}

TEST_F(TapiLineTest, ModemChoiceAndRefusals) {
  // An unknown name (or "NoModem") opens the first modem.
  modem_ = std::make_unique<FakeModem>(line_, "");
  EXPECT_FALSE(dialer_.MakeCall("gone", "123"));
  EXPECT_EQ(dialer_.device(), "/dev/null-modem-absent");
  EXPECT_TRUE(trace_.Contains("[TAPI] Unable to Use Line."));
  EXPECT_FALSE(dialer_.call_in_progress());
  EXPECT_FALSE(dialer_.MakeCall(line_.path(), std::string(64, '9')));
  EXPECT_EQ(dialer_.NextModemName(), "/dev/null-modem-absent");
  EXPECT_EQ(dialer_.NextModemName(), line_.path());
  EXPECT_EQ(dialer_.NextModemName(), "/dev/null-modem-absent");  // wraps

  CTapiLine none(owner_, kQuick);
  EXPECT_FALSE(none.Initialise(&sink_, {}));
  EXPECT_TRUE(trace_.Contains("[TAPI] There are no telephony devices installed."));
  EXPECT_FALSE(none.MakeCall("NoModem", "1"));
  EXPECT_EQ(none.NextModemName(), "");
}

}  // namespace
}  // namespace modem
