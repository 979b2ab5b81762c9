#include "client/kaviroctl/ctl_report.h"

#include <QDate>
#include <QJsonDocument>
#include <QTime>

namespace kaviroctl {
namespace {

constexpr char kPrefix[] = "kaviroctl: ";
// Enough for the reason and what was kept; a flood of messages (a peer's
// texts) must not grow without end.
constexpr size_t kMessageLimit = 32;
constexpr size_t kLineLimit = 4096;

// A packed BCD field, or -1 when either digit is not one.
int BcdValue(uint8_t bcd) {
  if ((bcd >> 4) > 9 || (bcd & 0x0F) > 9) return -1;
  return (bcd >> 4) * 10 + (bcd & 0x0F);
}

}  // namespace

QString JsonText(const std::string& bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string IsoTime(const QDateTime& time) {
  const QDateTime local = time.toLocalTime();
  return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
  // Whole seconds, as the DVR's own times are.
  return IsoTime(QDateTime::fromSecsSinceEpoch(ms / 1000));
}

QJsonValue BcdTimeJson(int year, int month, int day, uint8_t hour, uint8_t minute, uint8_t second) {
  const QTime time(BcdValue(hour), BcdValue(minute), BcdValue(second));
  // QDateTime takes an invalid time as midnight: check it on its own.
  const QDateTime when(QDate(year, month, day), time);
  if (!time.isValid() || !when.isValid()) return QJsonValue();
  return QString::fromStdString(IsoTime(when));
}

CtlReport::CtlReport(std::ostream& out, bool json) : out_(out), json_(json) {}

void CtlReport::Append(const QString& key, const QJsonValue& value) {
  // Taken out before the append, so that a long list (a disk's index) is not
  // copied for every row.
  QJsonValueRef field = result_[key];
  QJsonArray array = field.toArray();
  field = QJsonValue();
  array.append(value);
  field = array;
}

void CtlReport::Stream(const QJsonObject& line) {
  if (!json_) return;
  out_ << QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString() << "\n" << std::flush;
}

void CtlReport::Finish(int code, const std::vector<std::string>& messages) {
  if (!json_) return;
  QJsonObject result = result_;
  if (code != 0) {
    QJsonArray texts;
    for (const std::string& message : messages) texts.append(JsonText(message));
    result["error"] = messages.empty() ? QString("failed") : JsonText(messages.front());
    result["messages"] = texts;
    result["exit"] = code;
  }
  out_ << QJsonDocument(result).toJson(QJsonDocument::Compact).toStdString() << "\n" << std::flush;
}

std::vector<std::string> MessageTap::messages() const { return messages_; }

void MessageTap::Take(char c) {
  if (c != '\n' && c != '\r') {
    if (line_.size() < kLineLimit) line_.push_back(c);
    return;
  }
  if (line_.starts_with(kPrefix) && messages_.size() < kMessageLimit) {
    messages_.push_back(line_.substr(sizeof kPrefix - 1));
  }
  line_.clear();
}

int MessageTap::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  err_.put(static_cast<char>(c));
  Take(static_cast<char>(c));
  return c;
}

std::streamsize MessageTap::xsputn(const char* text, std::streamsize count) {
  err_.write(text, count);
  for (std::streamsize i = 0; i < count; ++i) Take(text[i]);
  return count;
}

int MessageTap::sync() {
  err_.flush();
  return 0;
}

}  // namespace kaviroctl
