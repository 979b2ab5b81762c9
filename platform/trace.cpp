#include "platform/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace {

std::atomic<uint32_t> g_counter{0};

// The sink: opened once from $KAVIRO_TRACE, plus the in-process captures.
struct Sink {
  std::mutex lock;
  FILE* file = nullptr;                           // protected by lock
  std::vector<platform::TraceCapture*> captures;  // protected by lock

  Sink() {
    const char* target = std::getenv("KAVIRO_TRACE");
    if (target == nullptr || *target == '\0') return;
    if (std::strcmp(target, "stderr") == 0) {
      file = stderr;
    } else {
      file = platform::OpenTraceFile(target);
    }
  }
};

Sink& TheSink() {
  static Sink sink;
  return sink;
}

uint32_t NextCounter(uint32_t* used) {
  uint32_t current = g_counter.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = current >= platform::kTraceCounterLimit ? 0 : current + 1;
  } while (!g_counter.compare_exchange_weak(current, next, std::memory_order_relaxed));
  *used = current;
  return next;
}

}  // namespace

uint32_t TraceV(const char* format, va_list args) {
  char text[platform::kTraceTextLimit + 1];
  if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';

  uint32_t number;
  const uint32_t next = NextCounter(&number);
  char line[sizeof text + 32];
  std::snprintf(line, sizeof line, "[0x%08X] DEBUG\t: %s\r\n", number, text);

  Sink& sink = TheSink();
  std::lock_guard guard(sink.lock);
  if (sink.file != nullptr) {
    std::fputs(line, sink.file);
    std::fputs("\n", sink.file);
    std::fflush(sink.file);
  }
  for (platform::TraceCapture* capture : sink.captures) capture->Append(text, line);
  return next;
}

uint32_t Trace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const uint32_t next = TraceV(format, args);
  va_end(args);
  return next;
}

namespace platform {

TraceCapture::TraceCapture() : TraceCapture(std::vector<std::string>{}) {}

TraceCapture::TraceCapture(std::vector<std::string> watched) : watched_(std::move(watched)) {
  Sink& sink = TheSink();
  std::lock_guard guard(sink.lock);
  sink.captures.push_back(this);
}

TraceCapture::~TraceCapture() {
  Sink& sink = TheSink();
  std::lock_guard guard(sink.lock);
  std::erase(sink.captures, this);
}

void TraceCapture::Append(std::string_view text, std::string_view line) {
  if (!watched_.empty()) {
    if (std::find(watched_.begin(), watched_.end(), text) == watched_.end()) return;
    if (std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.text == text; })) {
      return;
    }
  }
  entries_.push_back({std::string(text), std::string(line)});
}

std::vector<std::string> TraceCapture::Texts() const {
  std::lock_guard guard(TheSink().lock);
  std::vector<std::string> texts;
  for (const Entry& entry : entries_) texts.push_back(entry.text);
  return texts;
}

std::vector<std::string> TraceCapture::Lines() const {
  std::lock_guard guard(TheSink().lock);
  std::vector<std::string> lines;
  for (const Entry& entry : entries_) lines.push_back(entry.line);
  return lines;
}

size_t TraceCapture::Count(std::string_view text) const {
  std::lock_guard guard(TheSink().lock);
  return std::count_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.text == text; });
}

bool TraceCapture::Contains(std::string_view text) const { return Count(text) > 0; }

bool TraceCapture::WaitFor(std::string_view text, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Contains(text)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void TraceCapture::Clear() {
  std::lock_guard guard(TheSink().lock);
  entries_.clear();
}

std::FILE* OpenTraceFile(const char* path) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "ab");
  if (file == nullptr) ::close(fd);
  return file;
}

void SetTraceCounter(uint32_t value) { g_counter.store(value); }

}  // namespace platform
