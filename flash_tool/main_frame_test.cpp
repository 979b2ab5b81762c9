// The window on Qt's offscreen platform: panes, command states, and the
// received text reaching the terminal through the queued notification and
// the 500 ms flush.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <filesystem>
#include <fstream>

#include "flash_tool/main_frame.h"

namespace tarvek {
namespace {

namespace fs = std::filesystem;

QAction* FindAction(QWidget& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

QStringList Panes(QWidget& window) {
  QStringList texts;
  for (QLabel* label : window.findChildren<QLabel*>()) texts << label->text();
  return texts;
}

TEST(MainFrame, ReceivedPromptShowsWithinTheFlushInterval) {
  int argc = 1;
  char name[] = "tarvek_gui_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  const fs::path home = fs::temp_directory_path() / ("tarvek_gui_" + std::to_string(::getpid()));
  fs::remove_all(home);
  int master = -1, slave = -1;
  char pty_name[128];
  ASSERT_EQ(::openpty(&master, &slave, pty_name, nullptr, nullptr), 0);
  {
    MainFrame frame(home.string());
    std::vector<std::string> boxes;
    frame.dialogs().SetAnswerHook([&](const DialogRequest& request) {
      boxes.push_back(request.text);
      return DialogAnswer{};
    });
    EXPECT_TRUE(Panes(frame).contains("OFF Line"));
    EXPECT_TRUE(Panes(frame).contains("Save OFF"));
    QAction* connect = FindAction(frame, "&Connect");
    QAction* disconnect = FindAction(frame, "&Disconnect");
    ASSERT_TRUE(connect && disconnect);
    EXPECT_TRUE(connect->isEnabled());
    EXPECT_FALSE(disconnect->isEnabled());

    connect->trigger();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0], "Serial port not setting!!!");
    EXPECT_EQ(frame.windowTitle(), "Not Setting Serial Port.");

    std::ofstream(home / "tarvek.cfg") << "1\n38400\n";
    std::ofstream(home / "tarvek.ports") << pty_name << "\n";
    connect->trigger();
    ASSERT_TRUE(frame.logic().connected());
    EXPECT_FALSE(connect->isEnabled());
    EXPECT_TRUE(disconnect->isEnabled());
    EXPECT_TRUE(Panes(frame).contains("ON 38400"));

    ASSERT_EQ(::write(master, "monitor\r\n>", 10), 10);
    auto* terminal = frame.findChild<QPlainTextEdit*>();
    ASSERT_NE(terminal, nullptr);
    QElapsedTimer clock;
    clock.start();
    while (!terminal->toPlainText().endsWith(">") && clock.elapsed() < 2000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(terminal->toPlainText(), "monitor\n>");
    EXPECT_LT(clock.elapsed(), 1000);

    disconnect->trigger();
    EXPECT_TRUE(Panes(frame).contains("OFF Line"));
  }
  ::close(master);
  ::close(slave);
  fs::remove_all(home);
}

}  // namespace
}  // namespace tarvek
