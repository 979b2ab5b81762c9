// The control as a host sees it: the factory, the events, the method results
// and the dispatch table, and what the video window shows against the DVR
// emulator (RGB mode, as under the offscreen platform).
#include "viewer_control/control/vistrel_ctl.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

#include "platform/result_codes.h"
#include "platform/trace.h"
#include "tools/dvremu/dvr_emulator.h"
#include "tools/dvremu/frame_painter.h"
#include "viewer_control/control/rgb_video_view.h"
#include "viewer_control/control/testing/layout_check.h"
#include "viewer_control/control/video_device_analysis.h"
#include "viewer_control/control/video_view.h"
#include "viewer_control/control/vistrel_factory.h"
#include "viewer_control/control/yuv_converter.h"
#include "viewer_control/engine/testing/engine_test_support.h"

namespace vistrel {
namespace {

using namespace std::chrono_literals;

// The application comes from gui_test_environment.cpp.
void EnsureGuiApplication() { ASSERT_NE(QApplication::instance(), nullptr); }

struct Recorded {
  int count = 0;
  int first = -1;
  int second = -1;
};

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    control = std::make_unique<VistrelCtl>();
    QObject::connect(control.get(), &VistrelCtl::Connect, [this](int a, int b) {
      connects = {connects.count + 1, a, b};
    });
    QObject::connect(control.get(), &VistrelCtl::Close, [this](int a, int b) { closes = {closes.count + 1, a, b}; });
    QObject::connect(control.get(), &VistrelCtl::AuthenticationResult, [this](int a, int b) {
      authentications = {authentications.count + 1, a, b};
    });
    QObject::connect(control.get(), &VistrelCtl::AnalysisVideoDeviceCard, [this](int a, int b) {
      analyses = {analyses.count + 1, a, b};
    });
  }
  void TearDown() override {
    control->DisconnectAllStreamPort(nullptr);
    control.reset();
    if (dvr) dvr->Stop();
  }
  void StartDvr(int channels) {
    dvremu::EmulatorOptions options;
    options.port = 0;
    options.channels = channels;
    options.read_stdin = false;
    dvr = std::make_unique<dvremu::DvrEmulator>(options);
    std::string error;
    ASSERT_TRUE(dvr->Start(&error)) << error;
  }
  int32_t Connect(int session, short* out) {
    return control->ConnectStreamPort(session, "127.0.0.1", static_cast<short>(dvr->stream_port()), "admin", "1234",
                                      out);
  }
  bool WaitPictures(int slot, int pictures) {
    const int target = control->engine().decoder(slot).pictures_drawn() + pictures;
    return test::PumpUntil([&] { return control->engine().decoder(slot).pictures_drawn() >= target; }, 8s);
  }

  platform::TraceCapture trace;
  std::unique_ptr<dvremu::DvrEmulator> dvr;
  std::unique_ptr<VistrelCtl> control;
  Recorded connects, closes, authentications, analyses;
};

// The background as the RGB mode scales it into a cell.
QImage BackgroundIn(const QRect& cell, const QSize& area) {
  QImage image(area, QImage::Format_RGB32);
  image.fill(Qt::black);
  struct Peek : VideoView {
    static const QImage& Picture() { return Background(); }
  };
  const QImage& background = Peek::Picture();
  ScaleIntoCell(background.constBits(), static_cast<int>(background.bytesPerLine()), 4, background.width(), 0,
                background.height(), &image, cell);
  return image.copy(cell);
}

// Mean difference of the middle of a cell from a channel's reference picture.
double DistanceToChannel(const QImage& capture, const QRect& cell, int channel, int lines_shown) {
  const int w = 352;
  const int h = 240;
  std::vector<uint8_t> y(w * h), u(w * h / 4), v(w * h / 4);
  dvremu::PlanarPicture picture{y.data(), u.data(), v.data(), w, w / 2, w, h};
  dvremu::PaintChannelPicture(picture, channel, 0, 30, "");
  std::vector<uint8_t> bgr(w * h * 3);
  ConvertToBgr24({y.data(), u.data(), v.data(), w, w / 2, w, h}, bgr.data(), w * 3);
  QImage reference(cell.size(), QImage::Format_RGB32);
  ScaleIntoCell(bgr.data(), w * 3, 3, w, 0, lines_shown, &reference, reference.rect());
  double sum = 0;
  int n = 0;
  // Between the caption bands, away from the picture's clock text.
  for (int row = cell.height() / 4; row < cell.height() * 3 / 4; ++row) {
    for (int col = 4; col < cell.width() - 4; ++col) {
      const QRgb a = capture.pixel(cell.left() + col, cell.top() + row);
      const QRgb b = reference.pixel(col, row);
      sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
      ++n;
    }
  }
  return sum / n;
}

int CountColour(const QImage& image, const QRect& area, QRgb colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  }
  return count;
}

TEST(VistrelFactory, ClassIdentifierAndProgIdsMakeTheControl) {
  EnsureGuiApplication();
  EXPECT_TRUE(IsVistrelClass("{5D1E22A0-7C41-4B8E-9F3A-2C6B90D4E117}"));
  EXPECT_TRUE(IsVistrelClass("5d1e22a0-7c41-4b8e-9f3a-2c6b90d4e117"));
  EXPECT_TRUE(IsVistrelClass("Vistrel.VistrelCtl"));
  EXPECT_TRUE(IsVistrelClass("Vistrel.VistrelCtl.1"));
  EXPECT_FALSE(IsVistrelClass("{71C5A8E2-3D90-4B17-A6F4-98B2E0D5C13A}"));
  QWidget parent;
  EXPECT_EQ(VistrelCreateControl("{71C5A8E2-3D90-4B17-A6F4-98B2E0D5C13A}", &parent), nullptr);
  QWidget* widget = VistrelCreateControl("Vistrel.VistrelCtl.1", &parent);
  ASSERT_NE(qobject_cast<VistrelCtl*>(widget), nullptr);
  EXPECT_EQ(widget->parent(), &parent);
}

// Even where an X display lets the offscreen platform make GL contexts, its
// windows cannot show an OpenGL widget: the YUV mode would crash on them.
TEST(VideoDeviceAnalysis, TheOffscreenPlatformKeepsTheRgbMode) {
  EnsureGuiApplication();
  ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
  EXPECT_FALSE(ProbeVideoDevice().context);
  EXPECT_EQ(AnalyseVideoDevice(), kRgbMode);
}

TEST_F(ControlTest, AnalysisIsAnnouncedOnceAfterCreation) {
  ASSERT_TRUE(test::PumpUntil([&] { return analyses.count > 0; }, 2s));
  QCoreApplication::processEvents();
  EXPECT_EQ(analyses.count, 1);
  EXPECT_EQ(analyses.first, 0);
  EXPECT_EQ(analyses.second, 0);
  EXPECT_EQ(control->display_mode(), 0);
  EXPECT_EQ(control->video_window()->size(), QSize(704, 480));
}

TEST_F(ControlTest, MethodResultsAndArgumentChecks) {
  short out = 7;
  // Never connected: S_OK and the out value as the caller left it.
  EXPECT_EQ(control->DisconnectStreamPort(1, &out), S_OK);
  EXPECT_EQ(out, 7);
  EXPECT_EQ(control->SetRecordEventType(0, std::vector<uint8_t>(4, 1), &out), E_FAIL);
  EXPECT_EQ(out, 0);
  out = 7;
  EXPECT_EQ(control->ConnectStreamPort(0, "127.0.0.1", 4001, "", "1234", &out), E_FAIL);
  EXPECT_EQ(out, 0);
  EXPECT_FALSE(control->engine().session(0).running());
  for (auto [first, per_row] : {std::pair{16, 2}, std::pair{0, 0}, std::pair{0, 5}, std::pair{-1, 2}}) {
    out = 7;
    EXPECT_EQ(control->SetAlignChannelMode(first, per_row, &out), E_FAIL);
    EXPECT_EQ(out, 0);
  }
  EXPECT_EQ(control->engine().channels_per_row(), 3);
  EXPECT_EQ(control->SetAlignChannelMode(12, 2, &out), S_OK);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(control->engine().first_slot(), 12);

  // The same through the dispatch table, with the checks left open elsewhere.
  const QByteArray map("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 16);
  out = 7;
  EXPECT_EQ(control->Invoke(4, {4, map, 4, 1}, &out), E_FAIL);
  EXPECT_EQ(out, 0);
  out = 7;
  EXPECT_EQ(control->Invoke(4, {0, map, 17, 1}, &out), E_FAIL);
  EXPECT_EQ(out, 0);
  QByteArray bad = map;
  bad[2] = 16;
  EXPECT_EQ(control->Invoke(4, {0, bad, 4, 1}, &out), E_FAIL);
  EXPECT_EQ(control->Invoke(8, {}, &out), E_FAIL);
  EXPECT_EQ(control->Invoke(5, {0}, &out), E_FAIL);
  EXPECT_EQ(control->Invoke(5, {QString("0"), 4}, &out), E_FAIL);
  out = 7;
  EXPECT_EQ(control->Invoke(4, {0, map, 4, 1}, &out), S_OK);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(control->Invoke(6, {0, QByteArray("\x01\x04\x08\x02", 4)}, &out), S_OK);
  EXPECT_EQ(control->engine().record_event_type(2), 8);
  EXPECT_EQ(control->Invoke(5, {0, 4}, &out), S_OK);
  EXPECT_EQ(control->engine().channels_per_row(), 4);
  out = 7;
  EXPECT_EQ(control->Invoke(3, {}, &out), S_OK);
  EXPECT_EQ(out, 7);  // not written
  EXPECT_EQ(control->Invoke(6, {0, QByteArray("\x01\x04\x08\x02", 4)}, &out), E_FAIL);
  out = 7;
  EXPECT_EQ(control->Invoke(1, {0, QString("127.0.0.1"), 4001, QString("admin"), QString()}, &out), E_FAIL);
  EXPECT_EQ(out, 0);
  EXPECT_EQ(control->Invoke(2, {0}, &out), S_OK);
  EXPECT_EQ(control->Invoke(7, {5, 1}, &out), E_FAIL);
}

TEST_F(ControlTest, CellsShowTheirChannelsTheBackgroundAndCaptions) {
  StartDvr(8);
  // Channel 8 goes to the ninth cell, which the 3x3 layout keeps blank; the
  // eighth cell has no channel.
  const uint8_t map[16] = {0, 1, 2, 3, 4, 5, 6, 8};
  short out = 0;
  ASSERT_EQ(control->SetStreamSessionInfo(0, map, 8, 1, &out), S_OK);
  ASSERT_EQ(control->SetAlignChannelMode(0, 3, &out), S_OK);
  ASSERT_EQ(Connect(0, &out), S_OK);
  ASSERT_TRUE(test::PumpUntil([&] { return authentications.count > 0; }, 5s));
  EXPECT_EQ(connects.count, 1);
  EXPECT_EQ(connects.first, 0);
  EXPECT_EQ(authentications.first, 0);
  EXPECT_EQ(authentications.second, 0);
  const uint8_t types[8] = {1, 4, 8, 2, 0, 0, 0, 0};
  ASSERT_EQ(control->SetRecordEventType(0, types, &out), S_OK);
  for (int slot : {0, 1, 2, 3, 4, 5, 6, 8}) ASSERT_TRUE(WaitPictures(slot, 2)) << slot;

  // A second connect fails and leaves the running one alone.
  out = 7;
  EXPECT_EQ(Connect(0, &out), E_FAIL);
  EXPECT_EQ(out, 0);
  ASSERT_TRUE(WaitPictures(0, 3));

  const QImage capture = control->CaptureVideo();
  ASSERT_EQ(capture.size(), QSize(704, 480));
  for (int k = 0; k < 7; ++k) {
    const QRect cell = CellRect(704, 480, 3, 0, k + 1);
    const double own = DistanceToChannel(capture, cell, k + 1, 237);
    for (int other = 1; other <= 8; ++other) {
      if (other != k + 1) {
        EXPECT_LT(own + 10, DistanceToChannel(capture, cell, other, 237)) << k + 1 << " " << other;
      }
    }
  }
  for (int slot : {8, 9}) {
    const QRect cell = CellRect(704, 480, 3, 0, slot);
    EXPECT_EQ(capture.copy(cell), BackgroundIn(cell, capture.size())) << slot;
  }
  // "Ch.n" in the record event type's colour; the date in white at the top.
  const auto bottom_band = [](const QRect& cell) {
    return QRect(cell.left() + 4, cell.bottom() - 21, cell.width() - 8, 20);
  };
  const auto top_band = [](const QRect& cell) { return QRect(cell.left() + 4, cell.top() + 2, cell.width() - 8, 20); };
  EXPECT_GT(CountColour(capture, bottom_band(CellRect(704, 480, 3, 0, 1)), qRgb(0, 255, 0)), 10);
  EXPECT_GT(CountColour(capture, bottom_band(CellRect(704, 480, 3, 0, 2)), qRgb(255, 0, 0)), 10);
  EXPECT_GT(CountColour(capture, bottom_band(CellRect(704, 480, 3, 0, 3)), qRgb(0, 0, 255)), 10);
  EXPECT_GT(CountColour(capture, bottom_band(CellRect(704, 480, 3, 0, 5)), qRgb(255, 255, 255)), 10);
  EXPECT_EQ(CountColour(capture, bottom_band(CellRect(704, 480, 3, 0, 2)), qRgb(0, 255, 0)), 0);
  EXPECT_GT(CountColour(capture, top_band(CellRect(704, 480, 3, 0, 1)), qRgb(255, 255, 255)), 30);

  // Right click: the menu of an open channel is enabled, that of a cell
  // whose slot never had a VOL is greyed; outside every cell nothing.
  std::unique_ptr<QMenu> menu = control->ChannelMenu(QPoint(300, 20));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(control->menu_slot(), 1);
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0]->text(), "&Setting...");
  EXPECT_TRUE(menu->actions()[1]->isEnabled());
  menu = control->ChannelMenu(QPoint(300, 400));  // the eighth cell
  ASSERT_NE(menu, nullptr);
  EXPECT_FALSE(menu->actions()[0]->isEnabled());
  EXPECT_FALSE(menu->actions()[1]->isEnabled());
  EXPECT_EQ(control->ChannelMenu(QPoint(800, 20)), nullptr);
}

TEST_F(ControlTest, DoubleClickSelectsACellAndReturnsToTheGrid) {
  StartDvr(4);
  const uint8_t map[16] = {0, 1, 2, 3};
  short out = 0;
  ASSERT_EQ(control->SetStreamSessionInfo(0, map, 4, 1, &out), S_OK);
  ASSERT_EQ(control->SetAlignChannelMode(0, 2, &out), S_OK);
  ASSERT_EQ(Connect(0, &out), S_OK);
  for (int slot = 0; slot < 4; ++slot) ASSERT_TRUE(WaitPictures(slot, 2));
  QWidget* window = control->video_window();
  auto double_click = [&](QPoint point) {
    QMouseEvent event(QEvent::MouseButtonDblClick, point, window->mapToGlobal(point), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
  };
  double_click(QPoint(500, 100));  // slot 2
  EXPECT_EQ(control->engine().selected_cell(), 2);
  ASSERT_TRUE(WaitPictures(1, 2));
  QImage capture = control->CaptureVideo();
  const QRect whole(0, 0, 704, 480);
  EXPECT_LT(DistanceToChannel(capture, whole, 2, 237) + 10, DistanceToChannel(capture, whole, 1, 237));
  // The menu of a selected cell is that cell's wherever the click was.
  ASSERT_NE(control->ChannelMenu(QPoint(10, 400)), nullptr);
  EXPECT_EQ(control->menu_slot(), 1);

  double_click(QPoint(10, 400));
  EXPECT_EQ(control->engine().selected_cell(), -1);
  capture = control->CaptureVideo();
  EXPECT_LT(DistanceToChannel(capture, CellRect(704, 480, 2, 0, 3), 3, 237) + 10,
            DistanceToChannel(capture, CellRect(704, 480, 2, 0, 3), 2, 237));
  // A layout change clears a selection too.
  double_click(QPoint(10, 10));
  EXPECT_EQ(control->engine().selected_cell(), 1);
  ASSERT_EQ(control->SetAlignChannelMode(0, 2, &out), S_OK);
  EXPECT_EQ(control->engine().selected_cell(), -1);
}

TEST_F(ControlTest, ResizedCellsAndDisconnectedCellsShowTheBackground) {
  StartDvr(4);
  const uint8_t map[16] = {4, 5, 6, 7};
  short out = 0;
  ASSERT_EQ(control->SetStreamSessionInfo(1, map, 4, 1, &out), S_OK);
  ASSERT_EQ(control->SetAlignChannelMode(0, 4, &out), S_OK);
  ASSERT_EQ(Connect(1, &out), S_OK);
  for (int slot = 4; slot < 8; ++slot) ASSERT_TRUE(WaitPictures(slot, 2));
  // The host places the control; a shown widget hears of its new size at once.
  control->show();
  control->resize(640, 480);
  ASSERT_TRUE(WaitPictures(4, 2));
  QImage capture = control->CaptureVideo();
  ASSERT_EQ(capture.size(), QSize(640, 480));
  const QRect empty = CellRect(640, 480, 4, 0, 1);
  EXPECT_EQ(empty, QRect(0, 0, 160, 120));
  EXPECT_EQ(capture.copy(empty), BackgroundIn(empty, capture.size()));
  EXPECT_NE(capture.copy(CellRect(640, 480, 4, 0, 5)), BackgroundIn(CellRect(640, 480, 4, 0, 5), capture.size()));

  out = 7;
  EXPECT_EQ(control->DisconnectStreamPort(1, &out), S_OK);
  EXPECT_EQ(out, 1);
  capture = control->CaptureVideo();
  for (int slot = 5; slot <= 8; ++slot) {
    const QRect cell = CellRect(640, 480, 4, 0, slot);
    EXPECT_EQ(capture.copy(cell), BackgroundIn(cell, capture.size())) << slot;
  }
}

// Four 4-channel DVRs, DVR 4 selected, 3x3: first slot 12 once crashed here.
TEST_F(ControlTest, LayoutsPastSlotSixteenLeaveTheirExtraCellsBlank) {
  ASSERT_EQ(control->display_mode(), 0);
  CheckLayoutsPastSlotSixteen(*control);
}

TEST_F(ControlTest, RecordedCellsCarryTheRecMark) {
  ASSERT_EQ(control->display_mode(), 0);
  CheckRecordingMarks(*control);
}

// The marks follow the sessions' recordings: every slot of the recorded
// session, none of another, and none once it stops.
TEST_F(ControlTest, RecordingASessionMarksItsSlotsUntilItStops) {
  const std::string dir =
      (std::filesystem::temp_directory_path() / ("vistrel-rec-mark-" + std::to_string(getpid()))).string();
  std::filesystem::remove_all(dir);
  test::UseVideoFolder(dir, dir + "/video/");
  StartDvr(4);
  const uint8_t map[16] = {4, 5, 6, 7};
  short out = 0;
  ASSERT_EQ(control->SetStreamSessionInfo(1, map, 4, 1, &out), S_OK);
  ASSERT_EQ(control->SetAlignChannelMode(0, 3, &out), S_OK);
  ASSERT_EQ(Connect(1, &out), S_OK);
  for (int slot : {4, 5, 6, 7}) ASSERT_TRUE(WaitPictures(slot, 2)) << slot;
  auto* view = dynamic_cast<VideoView*>(control->video_window());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(control->SetMpeg4Recording(1, 1, &out), S_OK);
  std::array<bool, 16> expected{};
  for (int slot : {4, 5, 6, 7}) expected[slot] = true;
  EXPECT_EQ(view->layout().recording, expected);
  ASSERT_TRUE(WaitPictures(5, 2));
  EXPECT_GT(RecordingMarkPixels(control->CaptureVideo(), CellRect(704, 480, 3, 0, 6)), 40);
  EXPECT_EQ(control->SetMpeg4Recording(1, 0, &out), S_OK);
  EXPECT_EQ(view->layout().recording, (std::array<bool, 16>{}));
  control->DisconnectAllStreamPort(nullptr);
  std::filesystem::remove_all(dir);
}

// The project's own host hears which session it was; automation hosts hear 0.
TEST_F(ControlTest, CloseCarriesZeroWhicheverSessionClosed) {
  struct Host : IVistrelEvents {
    void Connect(int session, int) override { connected = session; }
    void Close(int session, int result) override { closed = {closed.count + 1, session, result}; }
    void AuthenticationResult(int session, int) override { authenticated = session; }
    int connected = -1;
    int authenticated = -1;
    Recorded closed;
  } host;
  control->SetEventSink(&host);
  StartDvr(4);
  const uint8_t map[16] = {8, 9, 10, 11};
  short out = 0;
  ASSERT_EQ(control->SetStreamSessionInfo(3, map, 4, 1, &out), S_OK);
  ASSERT_EQ(Connect(3, &out), S_OK);
  ASSERT_TRUE(test::PumpUntil([&] { return authentications.count > 0; }, 5s));
  EXPECT_EQ(connects.first, 3);
  EXPECT_EQ(authentications.first, 0);
  EXPECT_EQ(host.connected, 3);
  EXPECT_EQ(host.authenticated, 3);
  dvr->Drop(dvremu::Target::kStream);
  ASSERT_TRUE(test::PumpUntil([&] { return closes.count > 0; }, 5s));
  EXPECT_EQ(closes.first, 0);
  EXPECT_EQ(closes.second, 0);
  EXPECT_EQ(host.closed.count, 1);
  EXPECT_EQ(host.closed.first, 3);
  EXPECT_EQ(host.closed.second, 0);
  EXPECT_FALSE(control->engine().session(3).connected());
  control->SetEventSink(nullptr);
}

// Sessions outside 0-3 are refused alike through both surfaces.
TEST_F(ControlTest, SessionsOutsideTheirRangeFailWithZero) {
  const uint8_t map[16] = {0, 1, 2, 3};
  for (int session : {-1, 4}) {
    short out = 7;
    EXPECT_EQ(control->ConnectStreamPort(session, "127.0.0.1", 4001, "a", "b", &out), E_FAIL);
    EXPECT_EQ(out, 0);
    out = 7;
    EXPECT_EQ(control->DisconnectStreamPort(session, &out), E_FAIL);
    EXPECT_EQ(out, 0);
    out = 7;
    EXPECT_EQ(control->SetStreamSessionInfo(session, map, 4, 1, &out), E_FAIL);
    EXPECT_EQ(out, 0);
    out = 7;
    EXPECT_EQ(control->SetMpeg4Recording(session, 1, &out), E_FAIL);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(control->DisconnectStreamPort(session), ControlResult::kRefused);
    EXPECT_EQ(control->SetMpeg4Recording(session, 1), ControlResult::kRefused);
  }
  // Nothing to disconnect: S_OK and pVal not written.
  short out = 7;
  EXPECT_EQ(control->DisconnectAllStreamPort(&out), S_OK);
  EXPECT_EQ(out, 7);
}

}  // namespace
}  // namespace vistrel
