// The captured images through the main window: the Print button's save-file
// list of the image folder.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "client/media/engine/still_capture.h"
#include "client/shell/save_file_list_dialog.h"
#include "client/shell/settings_keys.h"
#include "client/shell/testing/window_fixture.h"
#include "platform/registry.h"

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
  window_->dialogs().SetDialogHook([&](QWidget& widget) {
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

}  // namespace
}  // namespace shell
