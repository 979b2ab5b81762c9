// What a kaviroctl command prints for its caller. As text, lines on
// standard output; with --json, one JSON object for the command's result,
// and one JSON line for each event of a streaming command (watch, play,
// download). A failure adds {"error": ..., "messages": [...], "exit": N},
// the messages being what went to standard error.
//
// Threads: the command's, which runs the event loop.
#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <chrono>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace kaviroctl {

// Untrusted bytes (DVR aliases and texts, file names) as a JSON string:
// invalid UTF-8 becomes U+FFFD, so the document stays valid.
QString JsonText(const std::string& bytes);
// ISO 8601 with the local offset ("2026-12-09T23:05:01+01:00").
std::string IsoTime(const QDateTime& time);
std::string IsoTime(std::chrono::system_clock::time_point time);
// A DVR's time of day (packed BCD) on a date, as ISO 8601; null when the
// peer's bytes are no time or the date is none.
QJsonValue BcdTimeJson(int year, int month, int day, uint8_t hour, uint8_t minute, uint8_t second);

class CtlReport {
 public:
  CtlReport(std::ostream& out, bool json);

  bool json() const { return json_; }
  // Where the text lines go: standard output, or nowhere with --json.
  std::ostream& text() { return json_ ? null_ : out_; }

  void Set(const QString& key, const QJsonValue& value) { result_[key] = value; }
  void Append(const QString& key, const QJsonValue& value);
  // A streamed event, written and flushed at once; nothing without --json.
  void Stream(const QJsonObject& line);
  // With --json: the result object, with the failure's fields when `code`
  // is not 0. Called once, at the end.
  void Finish(int code, const std::vector<std::string>& messages);

 private:
  std::ostream& out_;
  const bool json_;
  std::ostream null_{nullptr};
  QJsonObject result_;
};

// Passes standard error through and keeps the "kaviroctl: " messages, for the
// failure's fields of the JSON result.
class MessageTap : public std::streambuf {
 public:
  explicit MessageTap(std::ostream& err) : err_(err) {}
  std::vector<std::string> messages() const;

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  void Take(char c);

  std::ostream& err_;
  std::string line_;
  std::vector<std::string> messages_;
};

}  // namespace kaviroctl
