// The live viewer's layouts, rotation, pan/tilt and recording against
// emulated DVRs; the control is a recording stand-in whose stream events the
// tests raise themselves.
#include "client/sessions/live_viewer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "client/sessions/testing/session_test_support.h"
#include "platform/result_codes.h"
#include "platform/trace.h"
#include "protocol/command_codes.h"

namespace sessions {
namespace {

using namespace std::chrono_literals;
using testing::PumpUntil;
using testing::Received;
using Bytes = std::vector<uint8_t>;

class LiveViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::Application();
    viewer_ = std::make_unique<CLiveViewer>(ui_, &control_);
  }
  void TearDown() override {
    viewer_.reset();
    for (auto& dvr : dvrs_) dvr->Stop();
  }

  dvremu::DvrEmulator& Dvr(int channels, uint8_t pantilt = 0x05) {
    dvremu::EmulatorOptions options;
    options.channels = channels;
    options.pantilt_mask = pantilt;
    options.users = {{"admin", "1234"}, {"user2", "1234"}, {"user3", "1234"}};
    dvrs_.push_back(testing::StartEmulator(options));
    EXPECT_TRUE(dvrs_.back());
    return *dvrs_.back();
  }

  // Logs the slot on and, unless refused, brings its stream up.
  bool Connect(int slot, dvremu::DvrEmulator& dvr, const std::string& user = "admin") {
    CLiveSession& session = viewer_->session(slot);
    const size_t messages = ui_.messages().size();
    const int connects = control_.connects();
    EXPECT_EQ(session.SetLogonData("127.0.0.1", dvr.command_port(), user, "1234", true), 0);
    // The control asked to connect, or a box that says why not.
    PumpUntil([&] { return control_.connects() > connects || ui_.messages().size() > messages; });
    if (viewer_->cells().CellsOf(slot).empty()) return false;
    viewer_->Connect(slot, 0);  // the control's Connect event
    return viewer_->IsActive(slot);
  }

  // CHANNEL_CHANGE masks a user sent, waiting until there are `count`.
  Bytes Masks(dvremu::DvrEmulator& dvr, const std::string& user, size_t count) {
    Bytes masks;
    PumpUntil(
        [&] {
          masks.clear();
          for (const auto& payload : Received(dvr, user, protocol::cmd::CHANNEL_CHANGE)) masks.push_back(payload.at(0));
          return masks.size() >= count;
        },
        2s);
    return masks;
  }

  // Sends a marker and returns the masks up to and including it: what the
  // step before it sent, if anything.
  Bytes MasksUpToMarker(dvremu::DvrEmulator& dvr, int slot, const std::string& user = "admin") {
    viewer_->session(slot).SendChannelChange(0xAA);
    Bytes masks;
    PumpUntil(
        [&] {
          masks = Masks(dvr, user, 0);
          return !masks.empty() && masks.back() == 0xAA;
        },
        2s);
    return masks;
  }

  std::vector<std::unique_ptr<dvremu::DvrEmulator>> dvrs_;
  testing::RecordingUi ui_;
  testing::RecordingControl control_;
  std::unique_ptr<CLiveViewer> viewer_;
  platform::TraceCapture trace_;
};

TEST_F(LiveViewerTest, CellsFillInConnectOrderAndAFourthDvrIsRefused) {
  auto& four = Dvr(4);
  auto& eight = Dvr(8);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, eight));
  ASSERT_TRUE(Connect(2, four, "user2"));
  EXPECT_EQ(viewer_->cells().CellsOf(0), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(viewer_->cells().CellsOf(1), (Bytes{4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(viewer_->cells().CellsOf(2), (Bytes{12, 13, 14, 15}));
  // Each stream start shows its slot's grid: 2x2 or 3x3 from its first cell.
  EXPECT_EQ(control_.aligns(), (std::vector<std::pair<int, int>>{{0, 2}, {4, 3}, {12, 2}}));

  EXPECT_FALSE(Connect(3, four, "user3"));
  ASSERT_TRUE(PumpUntil([&] { return !viewer_->session(3).connected(); }));
  EXPECT_TRUE(ui_.HasMessageContaining("It passed over the maximum DVR connection possibility."));
  EXPECT_TRUE(viewer_->cells().CellsOf(3).empty());
  EXPECT_EQ(viewer_->cells().total(), 16);
}

TEST_F(LiveViewerTest, AThirdEightChannelDvrIsRefusedWithItsBox) {
  auto& eight = Dvr(8);
  ASSERT_TRUE(Connect(0, eight));
  ASSERT_TRUE(Connect(1, eight, "user2"));
  EXPECT_FALSE(Connect(2, eight, "user3"));
  EXPECT_TRUE(ui_.HasMessageContaining("It passed over the maximum DVR connection possibility."));
  EXPECT_EQ(control_.connects(), 2);
}

TEST_F(LiveViewerTest, LayoutsAskEachDvrForTheChannelsTheyShow) {
  auto& four = Dvr(4);
  auto& eight = Dvr(8);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, eight));
  LiveLayouts& layouts = viewer_->layouts();

  // 2x2 on the fifth cell of the 8-channel DVR: its channels 5-8.
  ASSERT_EQ(layouts.Align2x2(8), 0);
  EXPECT_EQ(Masks(eight, "admin", 1), (Bytes{0xF0}));
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{8, 2}));
  EXPECT_TRUE(ui_.HasLog("[EVENT] 2x2 Align Mode"));
  // Its third cell cannot start a 2x2: nothing goes out.
  EXPECT_EQ(layouts.Align2x2(6), E_FAIL);
  EXPECT_EQ(MasksUpToMarker(eight, 1), (Bytes{0xF0, 0xAA}));

  ASSERT_EQ(layouts.Align1x1(9), 0);  // the 8-channel DVR's sixth channel
  EXPECT_EQ(Masks(eight, "admin", 3).back(), 0x20);
  EXPECT_TRUE(ui_.HasLog("[EVENT] Ch.10 1X1 Align Mode"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 1] 1x1 Align mode, Ch 5"));
  EXPECT_EQ(viewer_->selected_slot(), 1);

  ASSERT_EQ(layouts.Align4x4(), 0);
  EXPECT_EQ(Masks(four, "admin", 1), (Bytes{0x0F}));
  EXPECT_EQ(Masks(eight, "admin", 4).back(), 0xFF);
  EXPECT_EQ(control_.aligns().back(), (std::pair<int, int>{0, 4}));

  // A cell no slot owns changes nothing.
  EXPECT_EQ(layouts.Align1x1(13), E_FAIL);
  EXPECT_EQ(layouts.Align3x3(12), E_FAIL);
  EXPECT_EQ(layouts.layout(), Layout::k4x4);
}

TEST_F(LiveViewerTest, ThreeByThreeOnAFourChannelDvrAlsoAsksTheNextSlot) {
  auto& four = Dvr(4);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, four, "user2"));
  ASSERT_EQ(viewer_->layouts().Align3x3(0), 0);
  EXPECT_EQ(Masks(four, "admin", 1), (Bytes{0x0F}));
  EXPECT_EQ(Masks(four, "user2", 1), (Bytes{0x0F}));
  EXPECT_TRUE(trace_.Contains("Dest channel : 0"));
  EXPECT_TRUE(ui_.HasLog("[EVENT] 3x3 Align Mode"));
}

TEST_F(LiveViewerTest, RotationInOneByOneStepsThroughTheOccupiedCells) {
  auto& eight = Dvr(8);
  ASSERT_TRUE(Connect(0, eight));
  LiveLayouts& layouts = viewer_->layouts();
  layouts.set_rotation_period_ms(20);
  ASSERT_EQ(layouts.Align1x1(0), 0);
  const size_t before = control_.aligns().size();

  layouts.ToggleRotation();
  EXPECT_TRUE(layouts.rotating());
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Channel Rotation Start !!!"));
  ASSERT_TRUE(PumpUntil([&] { return control_.aligns().size() >= before + 9; }));
  layouts.ToggleRotation();
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Channel Rotation Stop !!!"));
  const auto aligns = control_.aligns();
  std::vector<int> cells;
  for (size_t i = before; i < before + 9; ++i) {
    EXPECT_EQ(aligns[i].second, 1);
    cells.push_back(aligns[i].first);
  }
  EXPECT_EQ(cells, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0, 1}));
  // The rotation's start asks for all channels, each step for the one shown.
  const Bytes masks = Masks(eight, "admin", 11);
  EXPECT_EQ(masks[1], 0xFF);
  EXPECT_EQ(masks[2], 0x02);

  // A layout button stops a running rotation.
  layouts.ToggleRotation();
  ASSERT_EQ(layouts.Align2x2(0), 0);
  EXPECT_FALSE(layouts.rotating());
}

TEST_F(LiveViewerTest, TwoByTwoRotationVisitsEachDvrBlock) {
  auto& four = Dvr(4);
  auto& eight = Dvr(8);
  ASSERT_TRUE(Connect(0, eight));
  ASSERT_TRUE(Connect(1, four));
  LiveLayouts& layouts = viewer_->layouts();
  layouts.set_rotation_period_ms(20);
  ASSERT_EQ(layouts.Align2x2(0), 0);
  const size_t before = control_.aligns().size();
  layouts.ToggleRotation();
  ASSERT_TRUE(PumpUntil([&] { return control_.aligns().size() >= before + 4; }));
  layouts.StopRotation();
  const auto aligns = control_.aligns();
  EXPECT_EQ(aligns[before].first, 4);
  EXPECT_EQ(aligns[before + 1].first, 8);
  EXPECT_EQ(aligns[before + 2].first, 0);  // cell 12 is empty: back to 0
  EXPECT_EQ(Masks(four, "admin", 1).front(), 0x0F);
}

TEST_F(LiveViewerTest, PanTiltDrivesOnlyASingleShownCamera) {
  auto& eight = Dvr(8, 0x05);  // pan/tilt cameras on channels 1 and 3
  ASSERT_TRUE(Connect(0, eight));
  PtzControl& ptz = viewer_->ptz();
  auto pantilts = [&] { return Received(eight, "admin", protocol::cmd::REQ_PANTILT); };

  // 2x2 of an 8-channel DVR has no single camera: nothing is sent.
  ASSERT_EQ(viewer_->layouts().Align2x2(0), 0);
  EXPECT_EQ(ptz.Camera(), 0);
  EXPECT_EQ(ptz.ArrowDown(Arrow::kUp), 1);
  EXPECT_EQ(ptz.ArrowUp(Arrow::kUp), 1);

  ASSERT_EQ(viewer_->layouts().Align1x1(2), 0);  // channel 3
  EXPECT_EQ(ptz.Camera(), 3);
  ASSERT_EQ(ptz.ArrowDown(Arrow::kLeft), 0);
  EXPECT_EQ(ptz.ArrowDown(Arrow::kRight), 1);  // already held
  ASSERT_EQ(ptz.ArrowUp(Arrow::kLeft), 0);
  ptz.SetMode(PanTiltMode::kZoom);
  EXPECT_TRUE(ui_.HasLog("[EVENT] PTZ Zoom Control"));
  EXPECT_EQ(ptz.ArrowDown(Arrow::kLeft), 1);  // zoom acts on up and down only
  ASSERT_EQ(ptz.ArrowDown(Arrow::kDown), 0);
  ASSERT_EQ(ptz.ArrowUp(Arrow::kDown), 0);
  ASSERT_EQ(ptz.Preset(2, kPresetGo), 0);
  ASSERT_EQ(ptz.OnPresetMessage(1231, kPresetStoreCommand), 0);
  ASSERT_TRUE(PumpUntil([&] { return pantilts().size() >= 6; }));
  EXPECT_EQ(pantilts(),
            (std::vector<Bytes>{
                {0x16, 3, 3}, {0x16, 3, 0}, {0x16, 3, 5}, {0x16, 3, 9}, {0x16, 0x23, 0x14}, {0x16, 0x43, 0x12}}));
  EXPECT_TRUE(trace_.Contains("Left button down"));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] Request pantilt moving."));

  ASSERT_EQ(viewer_->layouts().Align1x1(1), 0);  // channel 2 has no camera
  EXPECT_EQ(ptz.ArrowDown(Arrow::kUp), 1);
}

TEST_F(LiveViewerTest, TwoByTwoOfAFourChannelDvrDrivesItsOnlyCamera) {
  auto& four = Dvr(4, 0x04);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_EQ(viewer_->layouts().Align2x2(0), 0);
  EXPECT_EQ(viewer_->ptz().Camera(), 3);
  ASSERT_EQ(viewer_->layouts().Align3x3(0), 0);
  EXPECT_EQ(viewer_->ptz().Camera(), 0);  // 3x3 drives only 8-channel DVRs
}

TEST_F(LiveViewerTest, RecordingFollowsTheSelectedSlotAndEndsWithTheStream) {
  auto& four = Dvr(4);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, four, "user2"));
  viewer_->SelectSlotButton(0);
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR1 Selected"));
  EXPECT_TRUE(trace_.Contains("Active Channel: start channel 0, Channel of row 2"));
  viewer_->ToggleRecording();
  EXPECT_TRUE(viewer_->IsRecording(0));
  EXPECT_FALSE(viewer_->IsRecording(1));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] File Recording Start..."));
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR1 File Recording Start..."));

  // The stream ending stops the recording, and the log says so.
  viewer_->DisconnectSlot(0);
  EXPECT_EQ(control_.recordings(), (std::vector<std::pair<int, int>>{{0, 1}, {0, 0}}));
  EXPECT_TRUE(trace_.Contains("[LIVE DVR 0] File Recording Stop..."));
  EXPECT_TRUE(ui_.HasLog("[EVENT] DVR1 File Recording Stop..."));
  EXPECT_EQ(viewer_->selected_slot(), 1);  // the first slot still streaming
}

// The control names the session of each event; two slots waiting for their
// stream logon each get their own result.
TEST_F(LiveViewerTest, AnAuthenticationResultStartsTheChannelsOfItsOwnSlot) {
  auto& four = Dvr(4);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, four, "user2"));
  viewer_->AuthenticationResult(2, 0);  // a slot that never connected its stream
  viewer_->AuthenticationResult(1, 0);
  EXPECT_EQ(Masks(four, "user2", 1), (Bytes{0x0F}));
  EXPECT_EQ(MasksUpToMarker(four, 0), (Bytes{0xAA}));  // slot 0 still waits for its own
  viewer_->AuthenticationResult(0, 0);
  EXPECT_EQ(Masks(four, "admin", 2), (Bytes{0xAA, 0x0F}));
  // A second result for a slot already started asks for nothing more.
  viewer_->AuthenticationResult(1, 0);
  EXPECT_EQ(MasksUpToMarker(four, 1, "user2"), (Bytes{0x0F, 0xAA}));
}

TEST_F(LiveViewerTest, ACloseEndsOnlyTheSlotItNames) {
  auto& four = Dvr(4);
  ASSERT_TRUE(Connect(0, four));
  ASSERT_TRUE(Connect(1, four, "user2"));
  viewer_->Close(3, 0);  // no stream there: nothing to end
  EXPECT_TRUE(viewer_->session(0).stream_connected());
  EXPECT_TRUE(viewer_->session(1).stream_connected());

  viewer_->Close(1, 0);
  ASSERT_TRUE(PumpUntil([&] { return !viewer_->session(1).connected(); }));
  EXPECT_FALSE(viewer_->IsActive(1));
  EXPECT_TRUE(viewer_->session(0).connected());
  EXPECT_TRUE(viewer_->IsActive(0));
  EXPECT_EQ(viewer_->selected_slot(), 0);
  EXPECT_EQ(viewer_->cells().CellsOf(0), (Bytes{0, 1, 2, 3}));
}

TEST(LiveViewerLeaving, SlotsStillPingingAreStoppedSideBySideWithinOneBound) {
  testing::Application();
  platform::TraceCapture trace;
  testing::RecordingUi ui;
  testing::RecordingControl control;
  // Pings that ignore the stop request, as workers stuck elsewhere would; they
  // are shared with the workers, which are abandoned and end later.
  auto released = std::make_shared<std::atomic<bool>>(false);
  auto stubborn = [released](const std::string&, int, int, int) {
    for (int waited_ms = 0; waited_ms < 30000 && !*released; waited_ms += 10) std::this_thread::sleep_for(10ms);
    return 0;
  };
  {
    CLiveViewer viewer(ui, &control, stubborn);
    for (int slot = 0; slot < kSlotCount; ++slot) {
      ASSERT_EQ(viewer.session(slot).SetLogonData("127.0.0.1", 4000, "admin", "1234", true), 0);
    }
    const auto start = std::chrono::steady_clock::now();
    viewer.DisconnectAll();
    // One five-second bound for all four, not one after the other.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(trace.Count("[COMMAND SOCKET] command receive thread proc not exiting. Terminating it."), 4u);
    for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_FALSE(viewer.session(slot).in_use());
    EXPECT_FALSE(ui.busy());
  }
  *released = true;
  EXPECT_TRUE(PumpUntil([&] { return trace.Count("[COMMAND SOCKET] command port thread exit !!!") == 4; }));
}

}  // namespace
}  // namespace sessions
