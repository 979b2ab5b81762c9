// Receives the decoded pictures of every display slot: counts them and keeps
// the first picture of each slot as an RGB image.
//
// Threads: DrawPicture runs on the sessions' receive threads; the accessors
// on the owner thread. `lock_` guards everything below it.
#pragma once

#include <QImage>

#include <array>
#include <mutex>
#include <ostream>
#include <string>

#include "client/kaviroctl/ctl_report.h"
#include "viewer_control/engine/frame_sink.h"

namespace kaviroctl {

class FrameCapture : public vistrel::IFrameSink {
 public:
  int32_t DrawPicture(int slot, const vistrel::PlanarPicture& picture, std::string_view date_text) override;

  int count(int slot) const;
  // The first picture of the slot (null before one arrived).
  QImage first(int slot) const;
  void ResetCounts();

 private:
  mutable std::mutex lock_;
  std::array<int, 16> counts_{};
  std::array<QImage, 16> first_;
};

// A 4:2:0 picture as RGB (BT.601 studio range).
QImage ToImage(const vistrel::PlanarPicture& picture);

enum class PictureSaved { kSaved, kMissing, kFailed };
// Writes channel N's picture as FOLDER/chNN.png and reports "PATH WxH" (in
// JSON under "pictures"); a null image is reported on `err` as missing, a failed write as
// failed.
PictureSaved SaveChannelPicture(const QImage& image, int channel, const std::string& folder, CtlReport& report,
                                std::ostream& err);

}  // namespace kaviroctl
