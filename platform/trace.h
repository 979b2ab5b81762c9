// The process-wide debug trace.
//
// Every line reads "[0x%08X] DEBUG\t: <text>\r\n" followed by a separate "\n",
// numbered by one counter shared by all threads. Lines go to the sink named by
// $KAVIRO_TRACE (a file path, or "stderr"); without it they are discarded.
// Any thread may call Trace; the counter is the one global the design names.
#pragma once

#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Formats into at most 1,023 characters, writes the line and returns the new
// counter value (the counter restarts at 0 after 0x7FFFFFFE).
uint32_t Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
uint32_t TraceV(const char* format, va_list args);

namespace platform {

inline constexpr uint32_t kTraceCounterLimit = 0x7FFFFFFE;
inline constexpr size_t kTraceTextLimit = 1023;

// Collects, in process, the texts traced while it lives (for tests and for the
// command-line tools' --verbose output). Captures may nest; each sees every line.
class TraceCapture {
 public:
  TraceCapture();
  // Keeps only the listed texts, each at most once: enough for a long-running
  // program to ask whether one was traced, in memory that a flood of other
  // lines cannot grow.
  explicit TraceCapture(std::vector<std::string> watched);
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // The traced texts, without the numbered prefix.
  std::vector<std::string> Texts() const;
  // The whole lines as written to the sink, "\r\n" included.
  std::vector<std::string> Lines() const;
  bool Contains(std::string_view text) const;
  size_t Count(std::string_view text) const;
  // Waits until `text` has been traced, for lines written by other threads.
  bool WaitFor(std::string_view text, std::chrono::milliseconds timeout) const;
  void Clear();

  void Append(std::string_view text, std::string_view line);

 private:
  struct Entry {
    std::string text;
    std::string line;
  };
  const std::vector<std::string> watched_;  // empty: every text is kept
  std::vector<Entry> entries_;              // guarded by the trace sink's lock
};

// Opens a trace file for appending. A new one is readable by its owner only:
// traces name users and DVR addresses, and get attached to bug reports.
std::FILE* OpenTraceFile(const char* path);

// Moves the shared counter; only tests that check the wrap-around need it.
void SetTraceCounter(uint32_t value);

}  // namespace platform
