// Tarvek: the serial firmware download tool. With --pack or --unpack it runs
// as a command-line tool and needs no display.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "flash_tool/command_line.h"
#include "flash_tool/main_frame.h"
#include "flash_tool/tool_config.h"

namespace {

// A small drawn icon: a chip with a downward arrow.
QIcon ToolIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setBrush(QColor(40, 60, 90));
  painter.drawRect(6, 14, 20, 14);
  painter.setBrush(QColor(250, 200, 40));
  painter.drawPolygon(QPolygon({QPoint(10, 2), QPoint(22, 2), QPoint(22, 8), QPoint(26, 8),
                                QPoint(16, 14), QPoint(6, 8), QPoint(10, 8)}));
  return QIcon(pixmap);
}

}  // namespace

int main(int argc, char** argv) {
  if (tarvek::IsCommandLineMode(argc, argv)) return tarvek::RunCommandLine(argc, argv, stdout, stderr);

  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarvek");
  tarvek::MainFrame frame(tarvek::DefaultTarvekHome());
  frame.setWindowIcon(ToolIcon());
  frame.show();
  return QApplication::exec();
}
