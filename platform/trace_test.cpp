#include "platform/trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/string_table.h"

namespace platform {
namespace {

TEST(Trace, LineFormatAndCounterWrap) {
  TraceCapture capture;
  SetTraceCounter(0x2A);
  EXPECT_EQ(Trace("[PING] %s", "Request timed out."), 0x2Bu);
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Lines()[0], "[0x0000002A] DEBUG\t: [PING] Request timed out.\r\n");
  EXPECT_TRUE(capture.Contains("[PING] Request timed out."));

  SetTraceCounter(kTraceCounterLimit);
  EXPECT_EQ(Trace("last"), 0u);
  EXPECT_EQ(capture.Lines()[1], "[0x7FFFFFFE] DEBUG\t: last\r\n");
  EXPECT_EQ(Trace("first again"), 1u);
}

TEST(Trace, LongTextIsCutAt1023Characters) {
  TraceCapture capture;
  const std::string text(5000, 'x');
  Trace("%s", text.c_str());
  EXPECT_EQ(capture.Texts()[0].size(), kTraceTextLimit);
}

TEST(Trace, WatchingCaptureHoldsEachWatchedTextOnceAndNothingElse) {
  TraceCapture everything;
  TraceCapture watching({"link down", "link up"});
  for (int i = 0; i < 10000; ++i) Trace("noise %d", i);
  EXPECT_TRUE(watching.Texts().empty());
  Trace("link down");
  Trace("link down");
  Trace("link downstairs");
  EXPECT_EQ(watching.Texts(), std::vector<std::string>{"link down"});
  EXPECT_TRUE(watching.Contains("link down"));
  EXPECT_FALSE(watching.Contains("link up"));
  // The nested full capture still sees every line.
  EXPECT_EQ(everything.Texts().size(), 10003u);
}

TEST(Trace, NewTraceFileIsOwnerOnlyAndAnExistingOneIsAppendedTo) {
  const auto path = std::filesystem::temp_directory_path() / ("kaviro-trace-" + std::to_string(getpid()));
  std::filesystem::remove(path);
  const mode_t saved = umask(022);
  std::FILE* file = OpenTraceFile(path.c_str());
  umask(saved);
  ASSERT_NE(file, nullptr);
  std::fputs("one\n", file);
  std::fclose(file);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  file = OpenTraceFile(path.c_str());
  ASSERT_NE(file, nullptr);
  std::fputs("two\n", file);
  std::fclose(file);
  EXPECT_EQ(std::filesystem::file_size(path), 8u);
  std::filesystem::remove(path);
}

TEST(StringTable, TextsByNumberAndFormatting) {
  EXPECT_STREQ(LoadString(104), "TOLVA");
  EXPECT_STREQ(LoadString(99999), "");
  EXPECT_EQ(FormatString(183, 2, 7), "[ALERT] DVR2, Sensor #7 Detection");
}

}  // namespace
}  // namespace platform
