// render_icons: a build-time tool that draws a program's icon from its own
// artwork into the icon-theme layout, as PNG at each size and as SVG.
//
//   render_icons kaviro|tarvek OUTDIR SIZE...
//
// writes OUTDIR/SIZExSIZE/apps/NAME.png for each size, and
// OUTDIR/scalable/apps/NAME.svg.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "client/shell/skin_artwork.h"
#include "flash_tool/tool_icon.h"

namespace {

using DrawIcon = void (*)(QPainter&, const QRectF&);

constexpr int kSvgUnits = 64;

bool RenderPng(DrawIcon draw, int size, const QString& file) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  draw(painter, QRectF(0, 0, size, size));
  painter.end();
  return image.save(file, "PNG");
}

bool RenderSvg(DrawIcon draw, const char* name, const QString& file) {
  QSvgGenerator svg;
  svg.setFileName(file);
  svg.setSize(QSize(kSvgUnits, kSvgUnits));
  svg.setViewBox(QRect(0, 0, kSvgUnits, kSvgUnits));
  svg.setTitle(QString::fromLatin1(name));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  draw(painter, QRectF(0, 0, kSvgUnits, kSvgUnits));
  return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: render_icons kaviro|tarvek OUTDIR SIZE...\n");
    return 2;
  }
  const char* name = argv[1];
  DrawIcon draw = nullptr;
  if (std::strcmp(name, "kaviro") == 0) draw = shell::skin::DrawProgramIcon;
  if (std::strcmp(name, "tarvek") == 0) draw = tarvek::DrawToolIcon;
  if (draw == nullptr) {
    std::fprintf(stderr, "render_icons: no artwork for %s\n", name);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[2]));
  const QString file = QString::fromLatin1(name);
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString folder = QString("%1x%1/apps").arg(size);
    if (size <= 0 || !out.mkpath(folder) || !RenderPng(draw, size, out.filePath(folder + "/" + file + ".png"))) {
      std::fprintf(stderr, "render_icons: cannot write the %s px icon of %s\n", argv[i], name);
      return 1;
    }
  }
  if (!out.mkpath("scalable/apps") || !RenderSvg(draw, name, out.filePath("scalable/apps/" + file + ".svg"))) {
    std::fprintf(stderr, "render_icons: cannot write the scalable icon of %s\n", name);
    return 1;
  }
  return 0;
}
