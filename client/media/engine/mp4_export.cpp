#include "client/media/engine/mp4_export.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "viewer_control/engine/mpeg4_decoder.h"

namespace media {
namespace {

struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// Seconds of a picture's local date and time, for differences between pictures.
int64_t NaiveSeconds(const vistrel::PictureTime& time) {
  std::tm t{};
  t.tm_year = time.year;
  t.tm_mon = time.month - 1;
  t.tm_mday = time.day;
  t.tm_hour = time.hour;
  t.tm_min = time.minute;
  t.tm_sec = time.second;
  return static_cast<int64_t>(timegm(&t));
}

// The DVR stamps local time; the tag is UTC, as players expect it.
std::string CreationTime(const vistrel::PictureTime& time) {
  std::tm local{};
  local.tm_year = time.year;
  local.tm_mon = time.month - 1;
  local.tm_mday = time.day;
  local.tm_hour = time.hour;
  local.tm_min = time.minute;
  local.tm_sec = time.second;
  local.tm_isdst = -1;
  const time_t utc_seconds = mktime(&local);
  std::tm utc{};
  gmtime_r(&utc_seconds, &utc);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
  return text;
}

// An unfinished clip is taken away, but only a regular file: the output
// may be a device or a pipe (/dev/null, /dev/stdout), which must survive a
// failed export, above all when it runs as root.
void RemoveUnfinishedClip(const std::string& path) {
  std::error_code error;
  if (std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::regular) {
    std::filesystem::remove(path, error);
  }
}

}  // namespace

bool ExportMp4(LoadedRecording& recording, int channel, const std::string& out_path,
               const std::function<bool(int, int)>& progress, ExportSummary* summary, std::string* error) {
  *summary = ExportSummary{};
  const RecordedMedia& media = recording.media;
  std::vector<const RecordedPicture*> pictures;
  for (const auto& picture : media.pictures) {
    if (picture.channel == channel) pictures.push_back(&picture);
  }
  // A stretch may begin after a group start; players need an I picture first.
  while (!pictures.empty() && !pictures.front()->is_intra()) pictures.erase(pictures.begin());
  if (pictures.empty()) {
    *error = "channel " + std::to_string(channel) + " has no picture";
    return false;
  }
  vistrel::VolInfo vol;
  if (!vistrel::FindVol(media.vol, &vol)) {
    *error = "the VOL header names no picture size";
    return false;
  }

  AVFormatContext* raw = nullptr;
  int result = avformat_alloc_output_context2(&raw, nullptr, "mp4", out_path.c_str());
  if (result < 0 || raw == nullptr) {
    *error = "no MP4 muxer: " + AvError(result);
    return false;
  }
  std::unique_ptr<AVFormatContext, OutputCloser> output(raw);
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  if (stream == nullptr) {
    *error = "out of memory";
    return false;
  }
  const int fps = recording.pictures_per_second;
  stream->time_base = AVRational{1, fps};
  stream->avg_frame_rate = AVRational{fps, 1};
  AVCodecParameters* parameters = stream->codecpar;
  parameters->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters->codec_id = AV_CODEC_ID_MPEG4;
  parameters->width = vol.width;
  parameters->height = vol.height;
  parameters->format = AV_PIX_FMT_YUV420P;
  parameters->extradata = static_cast<uint8_t*>(av_mallocz(media.vol.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (parameters->extradata == nullptr) {
    *error = "out of memory";
    return false;
  }
  std::copy(media.vol.begin(), media.vol.end(), parameters->extradata);
  parameters->extradata_size = static_cast<int>(media.vol.size());
  av_dict_set(&output->metadata, "creation_time", CreationTime(pictures.front()->time).c_str(), 0);

  result = avio_open(&output->pb, out_path.c_str(), AVIO_FLAG_WRITE);
  if (result < 0) {
    *error = out_path + ": " + AvError(result);
    return false;
  }
  result = avformat_write_header(output.get(), nullptr);
  if (result < 0) {
    *error = "MP4 header: " + AvError(result);
    RemoveUnfinishedClip(out_path);
    return false;
  }

  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  std::vector<uint8_t> bytes;
  const int64_t first_second = NaiveSeconds(pictures.front()->time);
  int64_t second = -1;
  int in_second = 0;
  int64_t last_pts = -1;
  bool failed = false;
  bool cancelled = false;
  const int total = static_cast<int>(pictures.size());
  for (int i = 0; i < total && !failed && !cancelled; ++i) {
    const RecordedPicture& picture = *pictures[static_cast<size_t>(i)];
    bytes.resize(picture.length);
    if (!recording.sources[picture.source]->ReadAt(picture.offset, bytes) || bytes.size() <= vistrel::kUserDataSize) {
      continue;
    }
    // The time stamp counts whole seconds; pictures within a second follow
    // at the recorded rate, and never before the one shown last.
    const int64_t at = NaiveSeconds(picture.time) - first_second;
    in_second = at == second ? in_second + 1 : 0;
    second = at;
    const int64_t pts = std::max(last_pts + 1, at * fps + std::min(in_second, fps - 1));
    last_pts = pts;
    // The coded picture alone: the DVR's user data means nothing to other players.
    const size_t coded = bytes.size() - vistrel::kUserDataSize;
    if (av_new_packet(packet.get(), static_cast<int>(coded)) < 0) {
      failed = true;
      break;
    }
    std::copy(bytes.begin() + vistrel::kUserDataSize, bytes.end(), packet->data);
    packet->pts = pts;
    packet->dts = pts;
    packet->duration = 1;
    packet->stream_index = stream->index;
    if (picture.is_intra()) packet->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet.get(), AVRational{1, fps}, stream->time_base);
    result = av_interleaved_write_frame(output.get(), packet.get());
    if (result < 0) {
      *error = "MP4 write: " + AvError(result);
      failed = true;
    }
    ++summary->pictures;
    if (progress && !progress(i + 1, total)) cancelled = true;
  }
  if (!failed && !cancelled) {
    result = av_write_trailer(output.get());
    if (result < 0) {
      *error = "MP4 trailer: " + AvError(result);
      failed = true;
    }
  }
  if (failed || cancelled) {
    output.reset();
    RemoveUnfinishedClip(out_path);
    if (cancelled) *error = "cancelled";
    return false;
  }
  summary->width = vol.width;
  summary->height = vol.height;
  summary->duration_s = static_cast<double>(last_pts + 1) / fps;
  summary->start = pictures.front()->time;
  return true;
}

}  // namespace media
