// The captured images through the main window: the Print button's save-file
// list of the image folder.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTreeWidget>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "client/media/engine/still_capture.h"
#include "client/shell/image_preview_dialog.h"
#include "client/shell/save_file_list_dialog.h"
#include "client/shell/settings_keys.h"
#include "client/shell/testing/window_fixture.h"
#include "platform/registry.h"
#include "platform/trace.h"

namespace shell {
namespace {

using testing::WindowFixture;

class CaptureDialogsTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("kaviro-capture-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(platform::RegistryKey::Create(kImagePathKey)->WriteString(kSavePathValue, dir_.string() + "/"), 0);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    WindowFixture::TearDown();
  }
  std::filesystem::path dir_;
};

TEST_F(CaptureDialogsTest, PrintListsTheImageFolderAndPreviewNeedsASelection) {
  media::CapturedPixels pixels{40, 30, std::vector<uint32_t>(1200, 0x336699)};
  ASSERT_TRUE(media::WriteBmp((dir_ / "202612091405.bmp").string(), pixels, 24));
  std::ofstream((dir_ / "notes.txt").string()) << "not a picture";

  int previews = 0;
  window_->dialogs().SetDialogHook([&](QDialog& widget) {
    auto* dialog = dynamic_cast<CSaveFileListDialog*>(&widget);
    if (dialog == nullptr) return 0;
    EXPECT_EQ(dialog->windowTitle(), "Kaviro - Save file list");
    EXPECT_EQ(dialog->size(), QSize(597, 430));
    QTreeWidget* list = dialog->list();
    EXPECT_EQ(list->headerItem()->text(0), "Name");
    EXPECT_EQ(list->columnWidth(0), 116);
    EXPECT_EQ(list->columnWidth(3), 89);
    EXPECT_EQ(list->topLevelItemCount(), 1);
    if (list->topLevelItemCount() == 1) {
      EXPECT_EQ(list->topLevelItem(0)->text(0), "202612091405.bmp");
      EXPECT_EQ(list->topLevelItem(0)->text(3), "4 KB");  // 54 + 30 rows of 120 bytes
    }
    if (const char* folder = std::getenv("KAVIRO_PLAYER_SCREENSHOTS")) {
      list->setCurrentItem(list->topLevelItem(0));
      dialog->show();
      dialog->grab().save(QString(folder) + "/kaviro-save-file-list.png", "PNG");
      list->clearSelection();
    }
    dialog->PreviewChosen();  // no selection: nothing opens
    EXPECT_EQ(previews, 0);
    return int(QDialog::Rejected);
  });
  window_->OnCommand(ControlId::kPrint);
  EXPECT_TRUE(HasLogLine("[EVENT] Capture image Printing"));
}

// The output of a shell command, or nothing when it fails.
std::optional<std::string> Output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  return pclose(pipe) == 0 ? std::optional(text) : std::nullopt;
}

TEST_F(CaptureDialogsTest, ThePreviewPrintsItsPageToAPdf) {
  // A red picture: where it lands on the rendered page shows the layout.
  media::CapturedPixels pixels{64, 48, std::vector<uint32_t>(64 * 48, 0xFF0000)};
  const std::string bmp = (dir_ / "202612091405.bmp").string();
  ASSERT_TRUE(media::WriteBmp(bmp, pixels, 24));
  CImagePreviewDialog preview(window_.get(), window_->dialogs(), QString::fromStdString(bmp), "2026-12-09", "14:05");
  ASSERT_TRUE(preview.has_picture());
  preview.title_edit()->setPlainText("Gate camera");
  preview.comment_edit()->setPlainText("Night shift");
  if (const char* folder = std::getenv("KAVIRO_PLAYER_SCREENSHOTS")) {
    preview.show();
    preview.grab().save(QString(folder) + "/kaviro-preview.png", "PNG");
  }

  const std::string pdf = (dir_ / "page.pdf").string();
  window_->dialogs().SetDialogHook([&](QDialog& dialog) {
    auto* print = dynamic_cast<QPrintDialog*>(&dialog);
    if (print == nullptr) return int(QDialog::Rejected);
    print->printer()->setOutputFormat(QPrinter::PdfFormat);
    print->printer()->setOutputFileName(QString::fromStdString(pdf));
    print->printer()->setResolution(300);
    return int(QDialog::Accepted);
  });
  ASSERT_TRUE(preview.Print());
  ASSERT_TRUE(std::filesystem::exists(pdf));

  const auto text = Output("pdftotext -raw " + pdf + " -");
  ASSERT_TRUE(text) << "pdftotext (poppler-utils) is needed";
  // Spaces and line breaks are the text tool's guess: compare without them.
  const auto bare = [](std::string t) {
    std::erase_if(t, [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
    return t;
  };
  for (const char* part :
       {"File Name : 202612091405.bmp", "File Date : 2026-12-09", "File Time : 14:05", "Gate camera", "Night shift"}) {
    EXPECT_NE(bare(*text).find(bare(part)), std::string::npos) << part << " in\n" << *text;
  }
  // The rendered page: red inside the picture's rectangle, white well outside it.
  ASSERT_TRUE(Output("pdftoppm -r 72 -png -singlefile " + pdf + " " + (dir_ / "page").string()));
  const QImage page(QString::fromStdString((dir_ / "page.png").string()));
  ASSERT_FALSE(page.isNull());
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setResolution(300);
  const QRect paint = printer.pageLayout().paintRectPixels(300);
  const int w = paint.width() / 100;
  const int h = paint.height() / 100;
  // Printer pixels at 300 per inch, the rendered page at 72.
  const auto at72 = [](QPoint p) { return QPoint(p.x() * 72 / 300, p.y() * 72 / 300); };
  const QRect picture(at72(paint.topLeft() + QPoint(11 * w, 30 * h + 100)),
                      at72(paint.topLeft() + QPoint(91 * w, 70 * h + 100)));
  const QRgb inside = page.pixel(picture.center());
  EXPECT_GT(qRed(inside), 200);
  EXPECT_LT(qGreen(inside), 60);
  const QRgb above = page.pixel(picture.center().x(), picture.top() - 30);
  EXPECT_GT(qGreen(above), 200) << "no red above the picture's rectangle";
  const QRgb below = page.pixel(picture.center().x(), picture.bottom() + 10);
  EXPECT_GT(qGreen(below), 200) << "no red below it";
}

TEST_F(CaptureDialogsTest, APictureThatDoesNotLoadLeavesThePreviewEmpty) {
  std::ofstream((dir_ / "broken.bmp").string()) << "BM not really";
  platform::TraceCapture traces;
  EXPECT_TRUE(LoadPicture(QString::fromStdString((dir_ / "missing.bmp").string())).isNull());
  EXPECT_TRUE(traces.Contains("[PICTURE] File open error !!!"));
  CImagePreviewDialog preview(window_.get(), window_->dialogs(), QString::fromStdString((dir_ / "broken.bmp").string()),
                              "2026-12-09", "14:05");
  EXPECT_FALSE(preview.has_picture());
  EXPECT_TRUE(traces.Contains("[PICTURE] IPicture interface is not supported !!!"));
  // The operator cancels the print dialog: nothing is printed.
  window_->dialogs().SetDialogHook([](QDialog&) { return int(QDialog::Rejected); });
  EXPECT_FALSE(preview.Print());
}

}  // namespace
}  // namespace shell
