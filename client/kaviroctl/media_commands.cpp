#include "client/kaviroctl/media_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QTime>

#include "client/kaviroctl/console_ui.h"
#include "client/kaviroctl/frame_capture.h"
#include "client/media/engine/backup_cd.h"
#include "client/media/engine/local_recording.h"
#include "client/media/engine/media_playback.h"
#include "client/media/engine/mp4_export.h"
#include "client/media/engine/removable_disk.h"

namespace kaviroctl {
namespace {

// Frames looked through for every channel's first picture: channels
// recorded into separate files may start a few groups apart.
constexpr int kFirstPictureFrames = 300;

struct MediaOptions {
  std::string command;
  std::string file;
  std::string image;
  std::string out;
  long disk_index = -1;
  long play_index = -1;
  int channel = 1;
};

bool Number(const std::string& text, long low, long high, long* value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc() && end == text.data() + text.size() && *value >= low && *value <= high;
}

bool Parse(const std::vector<std::string>& args, MediaOptions* options, std::string* error) {
  options->command = args[0];
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--trace") continue;
    if (flag != "--image" && flag != "--out" && flag != "--play" && flag != "--disk" && flag != "--channel" &&
        flag.starts_with("--")) {
      *error = "unknown option " + flag;
      return false;
    }
    if (!flag.starts_with("--")) {
      if (!options->file.empty()) {
        *error = "more than one file: " + flag;
        return false;
      }
      options->file = flag;
      continue;
    }
    if (i + 1 >= args.size()) {
      *error = flag + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    long number = 0;
    if (flag == "--image") {
      options->image = value;
    } else if (flag == "--out") {
      options->out = value;
    } else if (flag == "--play" && Number(value, 0, 0xFFFF, &number)) {
      options->play_index = number;
    } else if (flag == "--disk" && Number(value, 0, 0xFFFF, &number)) {
      options->disk_index = number;
    } else if (flag == "--channel" && Number(value, 1, 16, &number)) {
      options->channel = static_cast<int>(number);
    } else {
      *error = "bad value for " + flag + ": " + value;
      return false;
    }
  }
  const bool from_disk = options->command == "disk" ? options->play_index >= 0 : options->disk_index >= 0;
  if (options->command == "play-file" && options->file.empty()) *error = "FILE is required";
  if (options->command == "export" && options->file.empty() == !from_disk) *error = "export needs FILE or --disk INDEX";
  if (options->command == "disk" && !options->file.empty()) *error = "disk takes no FILE";
  if (options->command == "cd" && (!options->file.empty() || !options->out.empty() || options->play_index >= 0)) {
    *error = "cd takes only --image FILE";
  }
  if ((options->command == "play-file" || from_disk || options->command == "export") && options->out.empty()) {
    *error = "--out is required";
  }
  return error->empty();
}

// The index table of the disk, or exit 14 when there is none.
int ListDisk(const MediaOptions& options, media::CRemovableDisk* disk, media::IndexTable* table, std::ostream& err) {
  if (!options.image.empty()) setenv("KAVIRO_DISKS", options.image.c_str(), 1);
  disk->AttachIndexTable(table);
  if (!disk->OpenAndList()) {
    err << "kaviroctl: " << OutcomeText(Outcome::kNoDisk) << "\n";
    return static_cast<int>(Outcome::kNoDisk);
  }
  return 0;
}

// The backup CD's header as `time`, `size` and `date` lines, or exit 14.
int ShowBackupCd(const MediaOptions& options, CtlReport& report, std::ostream& err) {
  if (!options.image.empty()) setenv("KAVIRO_CDROMS", options.image.c_str(), 1);
  media::CBackupCd cd;
  if (!cd.FindBackupCd()) {
    err << "kaviroctl: [CDROM-Player] No match Veldmark backup CD!\n"
        << "kaviroctl: Can not find Backup CD !!!\n";
    return static_cast<int>(Outcome::kNoDisk);
  }
  const std::string size = media::SizeText(static_cast<long>(cd.size_sectors()));
  report.text() << "time " << cd.time_text() << "\n"
                << "size " << size << "\n"
                << "date " << cd.year() << "-" << cd.month() << "-" << cd.day() << "\n";
  report.Set("time", JsonText(cd.time_text()));
  report.Set("size", JsonText(size));
  report.Set("sectors", static_cast<qint64>(cd.size_sectors()));
  // The header's month and day are texts off the disc: no number, no date.
  const QDate date(cd.year(), JsonText(cd.month()).toInt(), JsonText(cd.day()).toInt());
  report.Set("date", date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue());
  return 0;
}

int LoadFromDisk(const MediaOptions& options, long index, media::LoadedRecording* loaded, std::ostream& err) {
  media::CRemovableDisk disk;
  media::IndexTable table;
  if (const int code = ListDisk(options, &disk, &table, err)) return code;
  const int row = disk.FindRow(index);
  if (row < 0) {
    err << "kaviroctl: no file " << index << " on the disk\n";
    return static_cast<int>(Outcome::kFailed);
  }
  std::string error;
  if (!media::LoadDiskFile(disk.disk_path(), static_cast<uint32_t>(disk.StartAddress(row)),
                           static_cast<uint32_t>(disk.Size(row)), disk.VideoMode(row) == 1, loaded, &error)) {
    err << "kaviroctl: file " << index << ": " << error << "\n";
    return static_cast<int>(Outcome::kFailed);
  }
  return 0;
}

// DIR/chNN.png: the first picture of each channel, decoded by the players' playback.
int WriteFirstPictures(media::LoadedRecording loaded, const std::string& folder, CtlReport& report, std::ostream& err) {
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made || !std::filesystem::is_directory(folder)) {
    err << "kaviroctl: cannot make the folder " << folder << "\n";
    return static_cast<int>(Outcome::kFailed);
  }
  std::vector<int> channels;
  for (const auto& picture : loaded.media.pictures) {
    if (std::find(channels.begin(), channels.end(), picture.channel) == channels.end())
      channels.push_back(picture.channel);
  }
  std::sort(channels.begin(), channels.end());
  vistrel::SteadyPlaybackClock clock;
  FrameCapture capture;
  media::MediaPlayback playback(clock, &capture);
  if (!playback.Open(std::move(loaded.media), std::move(loaded.sources), loaded.pictures_per_second)) {
    err << "kaviroctl: the recording does not open\n";
    return static_cast<int>(Outcome::kFailed);
  }
  auto all_in = [&] {
    for (int channel : channels) {
      if (capture.first(channel - 1).isNull()) return false;
    }
    return true;
  };
  for (int frame = 0; frame < kFirstPictureFrames && !all_in(); ++frame) {
    const auto before = playback.frame();
    playback.SetMode(media::PlayMode::kFrameForward);
    if (playback.frame() == before) break;  // the end
  }
  int written = 0;
  for (int channel : channels) {
    const PictureSaved saved = SaveChannelPicture(capture.first(channel - 1), channel, folder, report, err);
    if (saved == PictureSaved::kFailed) return static_cast<int>(Outcome::kFailed);
    if (saved == PictureSaved::kSaved) ++written;
  }
  return written == static_cast<int>(channels.size()) ? 0 : static_cast<int>(Outcome::kFailed);
}

int Export(media::LoadedRecording loaded, const MediaOptions& options, CtlReport& report, std::ostream& err) {
  media::ExportSummary summary;
  std::string error;
  if (!media::ExportMp4(loaded, options.channel, options.out, nullptr, &summary, &error)) {
    err << "kaviroctl: export: " << error << "\n";
    return static_cast<int>(Outcome::kFailed);
  }
  char line[128];
  std::snprintf(line, sizeof line, ": channel %d, %d pictures %dx%d, %.3f s from %04d-%02d-%02d %02d:%02d:%02d\n",
                options.channel, summary.pictures, summary.width, summary.height, summary.duration_s,
                summary.start.year + 1900, summary.start.month, summary.start.day, summary.start.hour,
                summary.start.minute, summary.start.second);
  report.text() << options.out << line;
  const QDateTime start(QDate(summary.start.year + 1900, summary.start.month, summary.start.day),
                        QTime(summary.start.hour, summary.start.minute, summary.start.second));
  report.Set("out", JsonText(options.out));
  report.Set("channel", options.channel);
  report.Set("pictures", summary.pictures);
  report.Set("width", summary.width);
  report.Set("height", summary.height);
  report.Set("duration_s", summary.duration_s);
  report.Set("start", start.isValid() && start.time().isValid() ? QJsonValue(QString::fromStdString(IsoTime(start)))
                                                                : QJsonValue());
  return 0;
}

}  // namespace

bool IsMediaCommand(const std::string& command) {
  return command == "disk" || command == "cd" || command == "play-file" || command == "export";
}

int RunMediaCommand(const std::vector<std::string>& args, CtlReport& report, std::ostream& err) {
  MediaOptions options;
  std::string error;
  if (!Parse(args, &options, &error)) return ReportUsageError({error}, err);

  if (options.command == "cd") return ShowBackupCd(options, report, err);
  media::LoadedRecording loaded;
  if (options.command == "disk" && options.play_index < 0) {
    media::CRemovableDisk disk;
    media::IndexTable table;
    if (const int code = ListDisk(options, &disk, &table, err)) return code;
    const auto& columns = table.columns();
    for (size_t column = 0; column < columns.size(); ++column) {
      report.text() << (column == 0 ? "" : "\t") << columns[column].heading;
    }
    report.text() << "\n";
    report.Set("rows", QJsonArray());
    for (const auto& row : table.rows()) {
      QJsonObject json;
      for (size_t column = 0; column < row.size(); ++column) {
        report.text() << (column == 0 ? "" : "\t") << row[column];
        // The disk's own headings name the fields.
        if (column < columns.size()) json[JsonText(columns[column].heading)] = JsonText(row[column]);
      }
      report.text() << "\n";
      report.Append("rows", json);
    }
    return 0;
  }
  const long disk_index = options.command == "disk" ? options.play_index : options.disk_index;
  if (disk_index >= 0) {
    if (const int code = LoadFromDisk(options, disk_index, &loaded, err)) return code;
  } else if (!media::LoadLocalFile(options.file, &loaded, &error)) {
    err << "kaviroctl: " << error << "\n";
    return static_cast<int>(Outcome::kFailed);
  }
  if (options.command == "export") return Export(std::move(loaded), options, report, err);
  return WriteFirstPictures(std::move(loaded), options.out, report, err);
}

}  // namespace kaviroctl
