// The Capture button: what the viewer window shows on the screen (the
// captions over the video included) into a bitmap in the image folder.
//
// Threads: user-interface thread only.
#pragma once

#include <string>

class QWidget;

namespace shell {

enum class CaptureResult {
  kSaved = 0,
  kNoFolder,   // the image folder is not set or not a folder
  kNoPicture,  // the viewer has no area on the screen
  kWriteFailed,
};

// `viewer` as it shows within `window`; the file's path in *path on success.
CaptureResult CaptureViewer(QWidget& window, QWidget& viewer, std::string* path);

// The image folder of the settings, with its separator.
std::string ImageFolder();

}  // namespace shell
