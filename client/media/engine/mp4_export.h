// One channel of a recording into an MP4 file that any player opens: the
// coded pictures are copied as they are (no re-encoding) by libavformat's
// muxer, each presented at the time its own user data gives, and the
// wall-clock time of the first picture goes into the file's creation_time.
//
// This module is the only one that includes libavformat.
//
// Threads: runs on the caller's thread; `progress` is called there.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "client/media/engine/local_recording.h"

namespace media {

struct ExportSummary {
  int pictures = 0;
  int width = 0;
  int height = 0;
  double duration_s = 0;
  vistrel::PictureTime start;  // of the first picture exported
};

// `progress(done, total)` after each picture; returning false cancels (the
// partial file is removed). False with a reason when the channel has no
// picture, the VOL header names no size, or the file cannot be written.
bool ExportMp4(LoadedRecording& recording, int channel, const std::string& out_path,
               const std::function<bool(int, int)>& progress, ExportSummary* summary, std::string* error);

}  // namespace media
