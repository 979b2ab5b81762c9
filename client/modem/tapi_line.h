// CTapiLine: places the data call to the DVR's modem with Hayes commands on
// a serial device, and once the call is connected hands the line to the
// serial transport. Also lists the data modems for the settings.
//
// Threads: every method runs on the owner thread (the bridge's). The
// command dialogue runs on a worker of its own, which waits only on the
// line and its cancel event and hands its result back as queued work.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "client/modem/comm_port.h"
#include "client/modem/loopback_server_dlg.h"
#include "platform/bounded_worker.h"
#include "platform/close_event.h"

class QObject;

namespace modem {

// The data modems found now: the paths in $KAVIRO_MODEMS (colon-separated),
// then /dev/ttyS* that have a UART, /dev/ttyUSB*, /dev/ttyACM*.
std::vector<std::string> FindDataModems();

// What the modem answered to the dial; kNone when it said nothing in time.
enum class DialResult { kConnect, kBusy, kNoCarrier, kNoDialTone, kNoAnswer, kError, kNone, kNoModem };

class CTapiLine : public IModemDialer {
 public:
  struct Timing {
    std::chrono::milliseconds command_wait{5000};  // each init command's OK
    std::chrono::milliseconds dial_wait{60000};    // the dial's result
    std::chrono::milliseconds guard{1000};         // "+++" guard time
    std::chrono::milliseconds dtr_drop{1000};
  };

  CTapiLine(QObject& owner, Timing timing);
  explicit CTapiLine(QObject& owner) : CTapiLine(owner, Timing{}) {}
  ~CTapiLine() override;

  // Lists the data modems (`modems` when given, else FindDataModems) and
  // keeps `sink` (the bridge) for the transport. False without any modem.
  bool Initialise(ICommPortSink* sink, std::vector<std::string> modems);
  bool Initialise(ICommPortSink* sink) { return Initialise(sink, FindDataModems()); }
  const std::vector<std::string>& modems() const { return modems_; }
  // The modem names one by one, back to the first after the last.
  std::string NextModemName();

  bool MakeCall(const std::string& modem, const std::string& number) override;
  void StopCall() override;
  CCommPort& transport() override { return transport_; }
  bool call_in_progress() const { return call_in_progress_; }
  // The device the current or last call opened.
  const std::string& device() const { return device_; }

 private:
  struct Dialogue;
  void OnDialResult(DialResult result);
  void HangUp();

  QObject& owner_;
  const Timing timing_;
  CCommPort transport_;
  ICommPortSink* sink_ = nullptr;
  std::vector<std::string> modems_;
  size_t cursor_ = 0;
  std::string device_;
  std::string number_;
  int fd_ = -1;
  bool call_in_progress_ = false;
  bool stopping_ = false;
  bool comms_started_ = false;
  std::shared_ptr<Dialogue> dialogue_;
  platform::BoundedWorker worker_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace modem
