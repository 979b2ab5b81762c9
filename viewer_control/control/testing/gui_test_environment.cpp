// The QApplication of the GUI tests, made before the first test and destroyed
// after the last one, while Qt's own globals still exist. The RGB mode is
// forced so that captured pixels do not depend on the machine's GL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <QApplication>

namespace {

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("VISTREL_VIDEO_MODE", "rgb", 1);
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[17] = "vistrel_ctl_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

// gtest owns registered environments.
[[maybe_unused]] ::testing::Environment* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
