// Tarvek: the serial firmware download tool. With --pack or --unpack it runs
// as a command-line tool and needs no display.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "build_version.h"
#include "flash_tool/command_line.h"
#include "flash_tool/main_frame.h"
#include "flash_tool/tool_config.h"
#include "flash_tool/tool_icon.h"

namespace {

QIcon ToolIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  tarvek::DrawToolIcon(painter, QRectF(0, 0, 32, 32));
  painter.end();
  return QIcon(pixmap);
}

}  // namespace

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "tarvek")) return 0;
  if (tarvek::IsCommandLineMode(argc, argv)) return tarvek::RunCommandLine(argc, argv, stdout, stderr);

  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarvek");
  tarvek::MainFrame frame(tarvek::DefaultTarvekHome());
  frame.setWindowIcon(ToolIcon());
  frame.show();
  return QApplication::exec();
}
