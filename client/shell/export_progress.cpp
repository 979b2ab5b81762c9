#include "client/shell/export_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "client/media/engine/mp4_export.h"
#include "client/sessions/session_ui.h"
#include "client/shell/shell_window.h"

namespace shell {

bool ExportWithProgress(IShellWindow& window, media::LoadedRecording& recording, const QString& out_path) {
  if (recording.media.pictures.empty()) {
    window.ShowMessage("Export failed: nothing to export", BoxIcon::kError);
    return false;
  }
  // The first channel of the recording: a recorder's .rmp holds only it.
  const int channel = recording.media.pictures.front().channel;
  QProgressDialog progress("Exporting to " + out_path, "Cancel", 0, 100, window.host());
  progress.setWindowTitle("Export");
  progress.setMinimumDuration(0);
  media::ExportSummary summary;
  std::string error;
  const bool done = media::ExportMp4(
      recording, channel, out_path.toStdString(),
      [&](int part, int total) {
        progress.setValue(part * 100 / total);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
      },
      &summary, &error);
  progress.reset();
  if (!done) {
    window.ShowMessage("Export failed: " + error, BoxIcon::kError);
    return false;
  }
  window.AddEventLog(sessions::kEventColour, "[EVENT] Exported " + out_path.toStdString());
  return true;
}

}  // namespace shell
