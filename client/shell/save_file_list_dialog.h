// CSaveFileListDialog: the captured bitmaps of the image folder, with their
// date, time and size; Preview opens the chosen one's page.
//
// Threads: user-interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "client/media/engine/still_capture.h"
#include "client/shell/skinned_widgets.h"

class QTreeWidget;

namespace shell {

class CSaveFileListDialog : public CSkinnedDialog {
 public:
  // `preview` is called with the chosen row's file; nothing without a selection.
  using Preview = std::function<void(const std::string& path, const media::SavedImage& image)>;
  CSaveFileListDialog(QWidget* parent, std::string folder, Preview preview);

  QTreeWidget* list() const { return list_; }
  const std::vector<media::SavedImage>& images() const { return images_; }
  void PreviewChosen();

 private:
  std::string folder_;
  Preview preview_;
  std::vector<media::SavedImage> images_;
  QTreeWidget* list_ = nullptr;
};

}  // namespace shell
