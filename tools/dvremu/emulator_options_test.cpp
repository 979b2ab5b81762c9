#include "tools/dvremu/emulator_options.h"

#include <gtest/gtest.h>

namespace dvremu {
namespace {

TEST(EmulatorOptionsTest, ParsesTheIssueCommandLine) {
  EmulatorOptions options;
  bool help = false;
  std::string error;
  ASSERT_TRUE(
      ParseCommandLine({"--port", "4100", "--channels", "8", "--user", "admin", "--password", "pw", "--size", "704x480",
                        "--fps", "15", "--unpaced", "--pantilt", "0x03", "--lights", "0xF5", "--seed", "9"},
                       &options, &help, &error))
      << error;
  EXPECT_EQ(options.port, 4100);
  EXPECT_EQ(options.channels, 8);
  EXPECT_EQ(options.users.size(), 1u);
  EXPECT_EQ(options.users["admin"], "pw");
  EXPECT_EQ(options.width, 704);
  EXPECT_EQ(options.fps, 15);
  EXPECT_TRUE(options.unpaced);
  EXPECT_EQ(options.pantilt_mask, 0x03);
  EXPECT_EQ(options.seed, 9u);
}

TEST(EmulatorOptionsTest, RefusesBadValues) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--channels", "5"}, {"--size", "1x1"}, {"--port"}, {"--fps", "0"}, {"--password", "x"}, {"--what"}}) {
    EmulatorOptions options;
    bool help = false;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, &options, &help, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace dvremu
