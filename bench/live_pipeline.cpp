// The live pipeline's cost: four stream sessions fed by four emulated DVRs of
// four channels each (separate processes, so that their encoding and sending
// are not counted), through reassembly, dispatch and decoding; against it, the
// same emulated cameras' pictures decoded by libavcodec alone, in this run.
// This process pins itself to one core, the last it may use, and puts the
// DVRs on the others.
//
// Paced (16 channels x 30 fps): the engine alone and the whole live view (the
// RGB view offscreen, receive, decode, convert, scale, compose, captions and
// the paint) in the 4x4, 3x3, 2x2 and 1x1 layouts, beside the decoder alone
// decoding the same cameras' pictures at the same pace in one thread. They
// are measured in turn, in rounds, each against its round's decoder alone;
// each line ends with the median of its rounds' ratios, and the last line is
// "ratio <worst all-in / decoder alone>". The user-interface thread runs an
// event loop, as the program's does; its part of each picture's time (the
// paints and their events, where the receive threads decode and compose) is
// printed beside the whole.
// Unpaced: the engine alone (no view) against the decoder alone decoding in
// the order the engine did (sessions' turns as long as the engine's), CPU
// time per picture; neither includes decoder set-up (the engine is timed once
// every slot has shown pictures, the decoder alone after one warm loop).
//
// --callgrind [pictures]: a fixed number of pictures per part, each part in a
// callgrind dump of its own, for instruction counts on a shared machine:
//   valgrind --tool=callgrind bench/live_pipeline --callgrind
// (with LD_PRELOAD=testing/libvalgrind_hwy_timer.so where valgrind cannot
// decode the processor's RDTSCP),
// then divide each dump's "summary:" by the pictures the part printed.
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <valgrind/callgrind.h>

#include "bench/emulated_dvrs.h"
#include "tools/dvremu/video_source.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/engine/vistrel_engine.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace {

using Clock = std::chrono::steady_clock;
using bench::Dvr;
using bench::SpawnDvr;
using bench::StopDvr;

// Every thread's context switches, voluntary or not: its wake-ups.
long ProcessContextSwitches() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_nvcsw + usage.ru_nivcsw;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The kernel's part of it: receives, wake-ups, the paint's shared memory.
double ProcessSystemSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Counts the pictures of every slot, then hands them on to the view, if any.
class CountingSink : public vistrel::IFrameSink {
 public:
  explicit CountingSink(vistrel::IFrameSink* next = nullptr) : next_(next) {}
  int32_t DrawPicture(int slot, const vistrel::PlanarPicture& picture, std::string_view date_text) override {
    per_slot[slot].fetch_add(1, std::memory_order_relaxed);
    total.fetch_add(1, std::memory_order_relaxed);
    // Sessions take turns at decoding: count the turns (session s has slots
    // 4s to 4s + 3).
    if (last_session.exchange(slot / 4, std::memory_order_relaxed) != slot / 4) {
      turns.fetch_add(1, std::memory_order_relaxed);
    }
    return next_ != nullptr ? next_->DrawPicture(slot, picture, date_text) : 0;
  }
  void ChannelClosed(int slot) override {
    if (next_ != nullptr) next_->ChannelClosed(slot);
  }
  void ReleasePicture(int slot) override {
    if (next_ != nullptr) next_->ReleasePicture(slot);
  }
  std::array<std::atomic<long>, 16> per_slot{};
  std::atomic<long> total{0};
  std::atomic<int> last_session{-1};
  std::atomic<long> turns{0};

 private:
  vistrel::IFrameSink* next_;
};

class NoEvents : public vistrel::IVistrelEvents {
 public:
  void Connect(int, int) override {}
  void Close(int, int) override {}
  void AuthenticationResult(int, int) override {}
};

// Runs the user-interface thread's event loop, the view's paints among its
// events, as the program's own loop does: asleep until something is posted.
void Pump(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

struct EngineRun {
  long pictures = 0;
  double cpu_seconds = 0;
  double system_seconds = 0;
  double ui_seconds = 0;  // the user-interface thread's: paints and events
  double wall_seconds = 0;
  long switches = 0;
  long resident_kb = 0;
  double pictures_per_turn = 1;  // of one session before another's
  bool ok = false;
};

// Four emulated DVRs and the engine receiving their 16 channels into `view`
// (or into no view): connected and warmed up once, then measured as often as
// wanted, say once per layout.
class LiveRig {
 public:
  LiveRig(int width, int height, bool unpaced, vistrel::IFrameSink* view, std::chrono::seconds warm_up)
      : sink_(view), engine_(&events_, &sink_) {
    for (int i = 0; i < 4; ++i) dvrs_.push_back(SpawnDvr(width, height, unpaced));
    bool started = true;
    for (int s = 0; s < 4; ++s) {
      const uint8_t map[16] = {uint8_t(s * 4), uint8_t(s * 4 + 1), uint8_t(s * 4 + 2), uint8_t(s * 4 + 3)};
      engine_.SetStreamSessionInfo(s, map, 4, 1);
      started = started && dvrs_[s].stream_port != 0 &&
                engine_.ConnectStreamPort(s, "127.0.0.1", static_cast<short>(dvrs_[s].stream_port), "admin", "1234") ==
                    vistrel::ControlResult::kDone;
    }
    // Warm up until every slot has shown pictures.
    const auto deadline = Clock::now() + warm_up;
    while (started && !AllSlots() && Clock::now() < deadline) Pump(std::chrono::milliseconds(20));
    ready_ = started && AllSlots();
    if (ready_) Pump(std::chrono::milliseconds(300));
  }
  ~LiveRig() {
    engine_.DisconnectAllStreamPort();
    for (auto& dvr : dvrs_) StopDvr(dvr);
  }
  bool ready() const { return ready_; }
  // Stopped DVRs send nothing, so the engine's threads wait in the kernel
  // while another part is measured; resumed after more than a second, a DVR
  // keeps its pace from then on rather than catching up.
  void Pause() {
    for (auto& dvr : dvrs_) kill(dvr.pid, SIGSTOP);
  }
  void Resume() {
    for (auto& dvr : dvrs_) kill(dvr.pid, SIGCONT);
  }

  EngineRun Measure(std::chrono::milliseconds measured) {
    EngineRun run;
    if (!ready_) return run;
    const long pictures0 = sink_.total.load();
    const long turns0 = sink_.turns.load();
    const double cpu0 = ProcessCpuSeconds();
    const double system0 = ProcessSystemSeconds();
    const long switches0 = ProcessContextSwitches();
    const double ui0 = ThreadCpuSeconds();
    const auto wall0 = Clock::now();
    Pump(measured);
    run.ui_seconds = ThreadCpuSeconds() - ui0;
    run.switches = ProcessContextSwitches() - switches0;
    run.cpu_seconds = ProcessCpuSeconds() - cpu0;
    run.system_seconds = ProcessSystemSeconds() - system0;
    run.pictures = sink_.total.load() - pictures0;
    run.wall_seconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    run.resident_kb = ResidentKilobytes();
    run.pictures_per_turn = static_cast<double>(run.pictures) / std::max(1L, sink_.turns.load() - turns0);
    run.ok = run.pictures > 0;
    return run;
  }
  // Pumps until `pictures` more have been delivered (or ten minutes passed,
  // should a DVR stop); returns how many were.
  long Deliver(long pictures) {
    const long pictures0 = sink_.total.load();
    const auto deadline = Clock::now() + std::chrono::minutes(10);
    while (sink_.total.load() - pictures0 < pictures && Clock::now() < deadline) Pump(std::chrono::milliseconds(10));
    return sink_.total.load() - pictures0;
  }

 private:
  bool AllSlots() const {
    for (auto& count : sink_.per_slot) {
      if (count.load() < 30) return false;
    }
    return true;
  }

  std::vector<Dvr> dvrs_;
  NoEvents events_;
  CountingSink sink_;
  vistrel::VistrelEngine engine_;
  bool ready_ = false;
};

struct BareRun {
  long pictures = 0;
  double cpu_seconds = 0;
};

// One decoder per channel, as the engine has, fed the emulator's loop of
// pictures `rounds` times over: decoder i gets camera cameras[i].
class BareChannels {
 public:
  BareChannels(const dvremu::VideoSource& video, std::vector<int> cameras)
      : video_(video), cameras_(std::move(cameras)) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    for (size_t i = 0; i < cameras_.size(); ++i) {
      AVCodecContext* context = avcodec_alloc_context3(codec);
      const auto& vol = video.vol_header();
      context->extradata = static_cast<uint8_t*>(av_mallocz(vol.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      std::memcpy(context->extradata, vol.data(), vol.size());
      context->extradata_size = static_cast<int>(vol.size());
      context->thread_count = 1;
      avcodec_open2(context, codec, nullptr);
      contexts_.push_back(context);
    }
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
  }
  ~BareChannels() {
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    for (auto* context : contexts_) avcodec_free_context(&context);
  }
  // Interleaved: picture i of every channel, then picture i + 1.
  long Decode(int rounds) {
    long pictures = 0;
    for (int round = 0; round < rounds; ++round) {
      for (int index = 0; index < dvremu::kGroupLength; ++index) pictures += DecodeTick(index);
    }
    return pictures;
  }
  // In turns of a session (four channels in a row): `ticks` pictures of
  // each of its channels, interleaved, then the next session's.
  long DecodeInTurns(int rounds, int ticks) {
    long pictures = 0;
    for (int round = 0; round < rounds; ++round) {
      for (int start = 0; start < dvremu::kGroupLength; start += ticks) {
        const int end = std::min(start + ticks, dvremu::kGroupLength);
        for (size_t first = 0; first < contexts_.size(); first += 4) {
          for (int index = start; index < end; ++index) pictures += DecodeChannels(index, first, first + 4);
        }
      }
    }
    return pictures;
  }
  // Picture `index` of the loop of every channel, as one tick of the pace.
  long DecodeTick(int index) { return DecodeChannels(index, 0, contexts_.size()); }
  // The tick after the one before, round the loop.
  long DecodeNextTick() {
    const long pictures = DecodeTick(next_tick_);
    next_tick_ = (next_tick_ + 1) % dvremu::kGroupLength;
    return pictures;
  }
  long DecodeChannels(int index, size_t first, size_t last) {
    long pictures = 0;
    for (size_t i = first; i < std::min(last, contexts_.size()); ++i) {
      const auto picture = video_.picture(cameras_[i], index);
      input_.assign(picture.begin(), picture.end());
      input_.resize(picture.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
      packet_->data = input_.data();
      packet_->size = static_cast<int>(picture.size());
      if (avcodec_send_packet(contexts_[i], packet_) < 0) continue;
      if (avcodec_receive_frame(contexts_[i], frame_) == 0) ++pictures;
      av_frame_unref(frame_);
    }
    return pictures;
  }

 private:
  const dvremu::VideoSource& video_;
  const std::vector<int> cameras_;
  std::vector<AVCodecContext*> contexts_;
  AVFrame* frame_;
  AVPacket* packet_;
  std::vector<uint8_t> input_;
  int next_tick_ = 0;
};

// The cameras the engine receives: each of the four DVRs sends its cameras
// 1-4, so cameras 1-4 four times over.
std::vector<int> EngineCameras() {
  std::vector<int> cameras;
  for (int dvr = 0; dvr < 4; ++dvr) {
    for (int camera = 1; camera <= 4; ++camera) cameras.push_back(camera);
  }
  return cameras;
}

// libavcodec alone on what the engine receives, one thread (the machine has
// no spare cores to lend it), in the order the engine decoded it: unpaced,
// each receive thread drains its socket for a scheduler slice, so a session's
// four channels are decoded `ticks` pictures each before another session's
// turn. That order matters at 704x480, where 16 decoders' pictures overflow
// the caches and four do not. Set-up outside the timed region; the median of
// five repetitions.
BareRun RunBare(const dvremu::VideoSource& video, int rounds, int ticks) {
  BareChannels channels(video, EngineCameras());
  channels.Decode(1);  // warm: decoders past their first key picture
  std::vector<double> samples;
  BareRun run;
  for (int repetition = 0; repetition < 5; ++repetition) {
    const double cpu0 = ThreadCpuSeconds();
    run.pictures = channels.DecodeInTurns(rounds, ticks);
    samples.push_back(ThreadCpuSeconds() - cpu0);
  }
  std::sort(samples.begin(), samples.end());
  run.cpu_seconds = samples[samples.size() / 2];
  return run;
}

// The same at the live pace: every 1/30 s one picture of each channel, so
// that the caches are as cold between ticks as the engine's.
BareRun DecodePaced(BareChannels& channels, std::chrono::milliseconds measured) {
  const auto tick = std::chrono::microseconds(1000000 / 30);
  const double cpu0 = ThreadCpuSeconds();
  BareRun run;
  auto next = Clock::now();
  const auto end = next + measured;
  while (next < end) {
    run.pictures += channels.DecodeNextTick();
    next += tick;
    std::this_thread::sleep_until(next);
  }
  run.cpu_seconds = ThreadCpuSeconds() - cpu0;
  return run;
}

double Micros(double seconds, long pictures) { return pictures > 0 ? seconds * 1e6 / pictures : 0; }

vistrel::LayoutState Grid(int per_row) {
  vistrel::LayoutState layout;
  layout.per_row = per_row;
  layout.stream_mode = 1;  // live: the date caption too
  return layout;
}

bool EncodeCameras(int width, int height, dvremu::VideoSource* video) {
  std::string error;
  if (video->Encode({width, height, 30, 16}, "16:35:33", &error)) return true;
  std::fprintf(stderr, "live_pipeline: %s\n", error.c_str());
  return false;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// What one paced part measured in each round.
struct PacedPart {
  explicit PacedPart(std::string part_name) : name(std::move(part_name)) {}
  std::string name;
  std::vector<double> us, ui_us, ratios, cpu_percent, switches, kernel_percent;
  long resident_kb = 0;

  void Add(const EngineRun& run, double bare_us) {
    const double per_picture = Micros(run.cpu_seconds, run.pictures);
    us.push_back(per_picture);
    ui_us.push_back(Micros(run.ui_seconds, run.pictures));
    ratios.push_back(per_picture / bare_us);
    cpu_percent.push_back(100.0 * run.cpu_seconds / run.wall_seconds);
    switches.push_back(static_cast<double>(run.switches) / run.pictures);
    kernel_percent.push_back(100.0 * run.system_seconds / run.cpu_seconds);
    resident_kb = run.resident_kb;
  }
  void Print(int width, int height) const {
    std::printf(
        "paced 16 x 30 fps %dx%d %s: %.1f us/picture (user-interface thread %.1f), CPU %.1f %% of one core, "
        "%.2f context switches/picture, kernel %.0f %%, resident %.1f MB; ratio %.3f (rounds %.3f-%.3f)\n",
        width, height, name.c_str(), Median(us), Median(ui_us), Median(cpu_percent), Median(switches),
        Median(kernel_percent), resident_kb / 1024.0, Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()));
  }
};

// Paced, both sizes: the decoder alone, the engine alone and the view all-in
// in every layout, measured in turn, round after round, each round's parts
// against that round's decoder alone, so that the machine's drift between
// rounds cancels out; the median of the rounds' ratios. Only the measured
// part's DVRs send. Returns the worst all-in ratio, or a negative value when
// a run failed.
double RunAllIn(std::chrono::milliseconds measured, int rounds) {
  const auto settle = std::chrono::milliseconds(300);
  double worst = 0;
  for (auto [width, height] : {std::pair{352, 240}, {704, 480}}) {
    dvremu::VideoSource video;
    if (!EncodeCameras(width, height, &video)) return -1;
    BareChannels channels(video, EngineCameras());
    channels.Decode(1);  // warm: decoders past their first key picture
    vistrel::RgbVideoView view(nullptr);
    view.resize(704, 480);
    view.show();
    LiveRig engine_rig(width, height, false, nullptr, std::chrono::seconds(15));
    engine_rig.Pause();
    LiveRig view_rig(width, height, false, &view, std::chrono::seconds(15));
    view_rig.Pause();
    if (!engine_rig.ready() || !view_rig.ready()) {
      std::fprintf(stderr, "live_pipeline: the paced %dx%d run failed\n", width, height);
      return -1;
    }
    const std::vector<int> layouts = {4, 3, 2, 1};
    std::vector<double> bare_us;
    PacedPart engine_part("engine alone");
    std::vector<PacedPart> view_parts;
    for (int per_row : layouts) {
      view_parts.emplace_back("all-in " + std::to_string(per_row) + "x" + std::to_string(per_row));
    }
    // Round -1 warms every part after the rigs' set-up and is not counted.
    for (int round = -1; round < rounds; ++round) {
      const bool counted = round >= 0;
      std::this_thread::sleep_for(settle);
      const BareRun bare = DecodePaced(channels, measured);
      const double round_bare_us = Micros(bare.cpu_seconds, bare.pictures);
      if (counted) bare_us.push_back(round_bare_us);

      engine_rig.Resume();
      Pump(settle);
      const EngineRun engine = engine_rig.Measure(measured);
      engine_rig.Pause();
      if (!engine.ok || bare.pictures == 0) return -1;
      if (counted) engine_part.Add(engine, round_bare_us);

      view_rig.Resume();
      for (size_t i = 0; i < layouts.size(); ++i) {
        view.SetLayout(Grid(layouts[i]));
        Pump(settle);
        const EngineRun run = view_rig.Measure(measured);
        if (!run.ok) return -1;
        if (counted) view_parts[i].Add(run, round_bare_us);
      }
      view_rig.Pause();
      Pump(settle);  // the last paints
    }
    std::printf("paced 16 x 30 fps %dx%d decoder alone: %.1f us/picture (one thread, %d rounds of %lld ms)\n", width,
                height, Median(bare_us), rounds, static_cast<long long>(measured.count()));
    engine_part.Print(width, height);
    for (const auto& part : view_parts) {
      part.Print(width, height);
      worst = std::max(worst, Median(part.ratios));
    }
  }
  return worst;
}

// A fixed number of pictures per part, each in a dump of its own holding that
// part's instructions only, those of every thread: a dump zeroes the counts
// of every thread (zeroing or toggling collection acts on the calling thread
// only), so what comes before a part goes into a "not counted" dump.
int RunCallgrind(long pictures) {
  for (auto [width, height] : {std::pair{352, 240}, {704, 480}}) {
    dvremu::VideoSource video;
    if (!EncodeCameras(width, height, &video)) return 1;
    {
      BareChannels channels(video, EngineCameras());
      channels.Decode(1);
      const long rounds = std::max(1L, pictures / (16L * dvremu::kGroupLength));
      CALLGRIND_DUMP_STATS_AT("not counted");
      const long decoded = channels.Decode(static_cast<int>(rounds));
      const std::string name = "decoder alone " + std::to_string(width) + "x" + std::to_string(height);
      CALLGRIND_DUMP_STATS_AT(name.c_str());
      std::printf("callgrind %s: %ld pictures\n", name.c_str(), decoded);
    }
    vistrel::RgbVideoView view(nullptr);
    view.resize(704, 480);
    view.show();
    LiveRig rig(width, height, false, &view, std::chrono::seconds(600));
    if (!rig.ready()) {
      std::fprintf(stderr, "live_pipeline: the %dx%d run failed\n", width, height);
      return 1;
    }
    for (int per_row : {4, 3, 2, 1}) {
      view.SetLayout(Grid(per_row));
      rig.Deliver(32);
      CALLGRIND_DUMP_STATS_AT("not counted");
      const long delivered = rig.Deliver(pictures);
      const std::string name = "all-in " + std::to_string(per_row) + "x" + std::to_string(per_row) + " " +
                               std::to_string(width) + "x" + std::to_string(height);
      CALLGRIND_DUMP_STATS_AT(name.c_str());
      std::printf("callgrind %s: %ld pictures\n", name.c_str(), delivered);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  av_log_set_level(AV_LOG_FATAL);
  signal(SIGPIPE, SIG_IGN);
  if (argc >= 2 && std::strcmp(argv[1], "--callgrind") == 0) {
    const long pictures = argc >= 3 ? std::max(16L, std::atol(argv[2])) : 480;
    return RunCallgrind(pictures);
  }
  const bench::Cores cores = bench::PlaceOnCores();
  const auto measured = std::chrono::milliseconds(3000);

  std::printf(
      "live_pipeline: 4 sessions x 4 channels from 4 emulated DVRs (on %d other cores), measured on core %d, "
      "%lld ms per unpaced run\n",
      CPU_COUNT(&cores.dvrs) - (CPU_ISSET(cores.measured, &cores.dvrs) ? 1 : 0), cores.measured,
      static_cast<long long>(measured.count()));
  for (auto [width, height] : {std::pair{704, 480}, {352, 240}}) {
    EngineRun engine;
    {
      LiveRig rig(width, height, true, nullptr, std::chrono::seconds(15));
      engine = rig.Measure(measured);
    }
    dvremu::VideoSource video;
    if (!EncodeCameras(width, height, &video)) return 1;
    const int rounds = width == 352 ? 20 : 6;
    // Turns of whole ticks of the session's four channels, one loop at most.
    const int ticks = std::clamp(static_cast<int>(engine.pictures_per_turn / 4 + 0.5), 1, dvremu::kGroupLength);
    const BareRun bare = RunBare(video, rounds, ticks);
    if (!engine.ok || bare.pictures == 0) {
      std::fprintf(stderr, "live_pipeline: the %dx%d run failed\n", width, height);
      return 1;
    }
    const double engine_us = Micros(engine.cpu_seconds, engine.pictures);
    const double bare_us = Micros(bare.cpu_seconds, bare.pictures);
    std::printf(
        "unpaced %dx%d: engine %.1f us/picture (%ld pictures, %.0f/s, %.1f a session's turn, resident %.1f MB); "
        "decoder alone %.1f us/picture (%ld pictures, turns of %d per channel, one thread, median of 5); "
        "ratio %.3f\n",
        width, height, engine_us, engine.pictures, engine.pictures / engine.wall_seconds, engine.pictures_per_turn,
        engine.resident_kb / 1024.0, bare_us, bare.pictures, ticks, engine_us / bare_us);
  }
  const double worst = RunAllIn(std::chrono::milliseconds(1000), 5);
  if (worst < 0) return 1;
  std::printf("ratio %.3f\n", worst);
  return 0;
}
