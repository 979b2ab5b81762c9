// The terminal's text: echoed characters gather in a line buffer that goes to
// the screen at a line feed or when the 500 ms timer flushes it, so that a
// prompt without a line end still shows. Carriage returns are not shown; the
// monitor's "\r\n" becomes one line end.
//
// UI thread only.
#pragma once

#include <functional>
#include <string>

namespace tarvek {

class TerminalBuffer {
 public:
  // Receives each piece of text as it goes to the screen.
  using Insert = std::function<void(const std::string& text)>;

  void SetInsert(Insert insert) { insert_ = std::move(insert); }

  void Echo(char c) {
    if (c != '\r') line_.push_back(c);
  }
  void EndLine() {
    line_.push_back('\n');
    Flush();
  }
  // Shows whatever the line buffer holds.
  void Flush() {
    if (line_.empty()) return;
    text_ += line_;
    if (insert_) insert_(line_);
    line_.clear();
  }
  void Clear() {
    text_.clear();
    line_.clear();
  }

  // Everything shown so far, and what waits for the next flush.
  const std::string& text() const { return text_; }
  const std::string& pending() const { return line_; }

 private:
  std::string text_;
  std::string line_;
  Insert insert_;
};

}  // namespace tarvek
