// The players' "Export": one channel of a recording into an MP4 file, with a
// progress dialog the operator may cancel; a failure shows its reason in a
// box, a success its line in the event log.
//
// Threads: user-interface thread only (the export runs there, the dialog
// kept alive by the progress calls).
#pragma once

#include <QString>

#include "client/media/engine/local_recording.h"

namespace shell {

class IShellWindow;

bool ExportWithProgress(IShellWindow& window, media::LoadedRecording& recording, const QString& out_path);

}  // namespace shell
