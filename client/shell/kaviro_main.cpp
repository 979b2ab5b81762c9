// Kaviro: the operator's client. Start-up: sockets, splash, the main window
// in Idle; optionally straight into live view of an address-book entry, and
// a screenshot of the window before leaving (for unattended runs).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "build_version.h"
#include "client/shell/buzzer.h"
#include "client/shell/connect_panel.h"
#include "client/shell/live_mode.h"
#include "client/shell/local_player.h"
#include "client/shell/main_window.h"
#include "client/shell/modem_link_host.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/removable_player.h"
#include "client/shell/screen_placement.h"
#include "client/shell/search_mode.h"
#include "client/shell/settings_keys.h"
#include "client/shell/splash_screen.h"
#include "client/shell/window_scale.h"
#include "platform/registry.h"
#include "platform/string_table.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace {

struct Options {
  bool splash = true;
  std::string connect_alias;
  std::string screenshot;
  int exit_after_s = 0;
  int captures = 0;
  bool full_screen = false;
};

void Usage(std::FILE* to) {
  std::fprintf(to,
               "Usage: kaviro [--nosplash] [--connect ALIAS] [--full-screen] [--screenshot FILE] [--capture N]\n"
               "              [--exit-after SECONDS]\n"
               "The client for networked DVRs: live view, search and playback, download.\n"
               "  --nosplash          start without the splash screen\n"
               "  --connect ALIAS     enter live view and connect to the Ethernet address-book entry ALIAS\n"
               "  --full-screen       show the video grid alone on the screen once the video of --connect\n"
               "                      shows, as F11 does (Escape returns to the window)\n"
               "  --screenshot FILE   save a picture of the main window (PNG) before leaving; without\n"
               "                      --exit-after, once the video of --connect shows (at most 30 s)\n"
               "  --capture N         press Capture N times once the video of --connect shows (at most\n"
               "                      30 s); without --exit-after, leave then\n"
               "  --exit-after SECS   leave after this many seconds\n"
               "  --version           print the version and the commit it was built from\n"
               "  --help              print this help\n");
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--nosplash" || arg == "/nosplash") {
      options.splash = false;
    } else if (arg == "--connect" && has_value) {
      options.connect_alias = argv[++i];
    } else if (arg == "--full-screen") {
      options.full_screen = true;
    } else if (arg == "--screenshot" && has_value) {
      options.screenshot = argv[++i];
    } else if (arg == "--capture" && has_value) {
      options.captures = std::atoi(argv[++i]);
      if (options.captures < 1) return false;
    } else if (arg == "--exit-after" && has_value) {
      options.exit_after_s = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  // An unattended run has no one to close the splash.
  if (!options.screenshot.empty() || options.exit_after_s > 0 || options.captures > 0) options.splash = false;
  return true;
}

// The sockets layer must be usable before anything else starts.
bool SocketsUsable() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

constexpr int kVideoWaitMs = 30000;

// What the screen shows: the video area draws through OpenGL, which a widget
// grab does not reproduce in full.
void SaveScreenshot(QWidget& window, const std::string& file) {
  QImage image = window.screen()->grabWindow(window.winId()).toImage();
  if (image.isNull()) image = window.grab().toImage();
  const bool saved = image.save(QString::fromStdString(file), "PNG");
  std::fprintf(stderr, saved ? "kaviro: screenshot saved to %s\n" : "kaviro: cannot save %s\n", file.c_str());
}

// Every cell of some DVR has drawn a picture.
bool VideoShows(shell::CLiveMode& live) {
  vistrel::VistrelCtl* control = live.vistrel().control();
  if (control == nullptr) return false;
  for (int slot = 0; slot < sessions::kSlotCount; ++slot) {
    const auto& cells = live.viewer().cells().CellsOf(slot);
    const auto drawn = [&](int cell) { return cell < 16 && control->engine().decoder(cell).pictures_drawn() > 0; };
    if (!cells.empty() && std::all_of(cells.begin(), cells.end(), drawn)) return true;
  }
  return false;
}

// Live view of an address-book entry, as the operator would ask for it.
void ConnectTo(shell::CMainWindow& window, const std::string& alias) {
  window.OnCommand(shell::ControlId::kLiveMode);
  shell::CConnectPanel* panel = window.connect_panel();
  const int index = panel->ethernet_combo()->findText(QString::fromStdString(alias));
  if (index <= 0) {
    std::fprintf(stderr, "kaviro: no Ethernet address-book entry named \"%s\"\n", alias.c_str());
    return;
  }
  panel->ethernet_combo()->setCurrentIndex(index);
  panel->OnEthernetCombo(index);
  if (auto request = panel->EthernetRequest()) emit panel->ConnectRequested(*request);
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that neither needs a display.
  if (kaviro_build::AnswerVersion(argc, argv, "kaviro")) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    Usage(stdout);
    return 0;
  }
  // A file grown to the size limit is a failed write the operator is told
  // about, not a kill.
  std::signal(SIGXFSZ, SIG_IGN);
  shell::ApplyWindowScale();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kaviro");
  Options options;
  if (!Parse(argc, argv, options)) {
    Usage(stderr);
    return 2;
  }
  if (!SocketsUsable()) {
    // No window yet to own the question: the box stands alone.
    shell::COperatorDialogs dialogs;
    dialogs.ShowMessageBox(nullptr, platform::LoadString(103), shell::BoxIcon::kNone);
    return 1;
  }

  // The installation step, for a Kaviro installed from a package.
  if (shell::InstallKeysOnFirstStart() != 0) {
    std::fprintf(stderr, "kaviro: cannot create the configuration keys in %s\n", platform::RegistryFilePath().c_str());
  }

  auto window = std::make_unique<shell::CMainWindow>();
  auto live = std::make_unique<shell::CLiveMode>(*window);
  window->SetViewer(shell::ViewerMode::kRemoteLive, live.get());
  // One Vistrel control serves both remote modes; the live mode hosts it.
  auto search = std::make_unique<shell::CSearchMode>(*window, live->vistrel());
  window->SetViewer(shell::ViewerMode::kRemoteSearch, search.get());
  auto local = std::make_unique<shell::CLocalPlayer>(*window);
  window->SetViewer(shell::ViewerMode::kLocalPlayer, local.get());
  auto removable = std::make_unique<shell::CRemovablePlayer>(*window);
  window->SetViewer(shell::ViewerMode::kRemovablePlayer, removable.get());
  shell::CModemLinkHost modem_link(*window);
  QObject::connect(window.get(), &shell::CMainWindow::TurnedOff, &app, &QApplication::quit);

  shell::CSplashScreen splash;
  if (options.splash) {
    // Off screen while the splash shows, then in the middle.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      window->move(screen->availableGeometry().bottomRight() + QPoint(10, 10));
    }
    QObject::connect(&splash, &shell::CSplashScreen::Finished, window.get(),
                     [&window] { shell::CentreOnItsScreen(*window); });
    window->show();
    splash.Start();
  } else {
    shell::CentreOnItsScreen(*window);
    window->show();
  }

  if (!options.connect_alias.empty()) {
    QTimer::singleShot(0, window.get(), [&window, &options] { ConnectTo(*window, options.connect_alias); });
  }
  QElapsedTimer video_wait;
  bool seen = false;
  bool full_screen_painted = false;
  if (options.captures > 0 && !options.connect_alias.empty()) {
    // The presses follow the first tick that saw the video, so that it is
    // painted. Without --exit-after the program leaves after them, or with 1
    // when no video came in time.
    auto* capture_poll = new QTimer(window.get());
    auto shown = std::make_shared<bool>(false);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(capture_poll, &QTimer::timeout, window.get(), [&, capture_poll, shown, waited] {
      if (!*shown && waited->elapsed() < kVideoWaitMs) {
        *shown = VideoShows(*live);
        return;
      }
      capture_poll->stop();
      if (*shown) {
        for (int i = 0; i < options.captures; ++i) window->OnCommand(shell::ControlId::kCapture);
      } else {
        std::fprintf(stderr, "kaviro: no video within %d s\n", kVideoWaitMs / 1000);
      }
      if (options.exit_after_s <= 0 && options.screenshot.empty()) app.exit(*shown ? 0 : 1);
    });
    capture_poll->start(200);
  }
  if (options.full_screen && !options.connect_alias.empty()) {
    auto* full_screen_poll = new QTimer(window.get());
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(full_screen_poll, &QTimer::timeout, window.get(), [&, full_screen_poll, waited] {
      if (waited->elapsed() >= kVideoWaitMs) return full_screen_poll->stop();
      if (!VideoShows(*live)) return;
      full_screen_poll->stop();
      window->ToggleFullScreen();
    });
    full_screen_poll->start(200);
  }
  if (options.exit_after_s > 0) {
    QTimer::singleShot(options.exit_after_s * 1000, window.get(), [&window, &options, &app] {
      if (!options.screenshot.empty()) SaveScreenshot(*window, options.screenshot);
      app.quit();
    });
  } else if (!options.screenshot.empty()) {
    // The shot follows the first tick that saw the video, so that it is
    // painted; without a DVR to wait for it is taken at once. No video in
    // time is a failure, but the shot still shows why.
    auto* poll = new QTimer(window.get());
    video_wait.start();
    QObject::connect(poll, &QTimer::timeout, window.get(), [&, poll] {
      const bool expecting = !options.connect_alias.empty();
      if (expecting && !seen && video_wait.elapsed() < kVideoWaitMs) {
        seen = VideoShows(*live);
        return;
      }
      // The full-screen grid first, then a tick for it to be painted.
      if (seen && options.full_screen && !window->full_screen() && video_wait.elapsed() < kVideoWaitMs) return;
      if (seen && options.full_screen && !full_screen_painted) {
        full_screen_painted = true;
        return;
      }
      poll->stop();
      SaveScreenshot(*window, options.screenshot);
      if (expecting && !seen) std::fprintf(stderr, "kaviro: no video within %d s\n", kVideoWaitMs / 1000);
      app.exit(expecting && !seen ? 1 : 0);
    });
    poll->start(200);
  }

  const int result = app.exec();
  // Alarm threads finish their boxes through the event loop: let them.
  window->alarms().DismissAll();
  QElapsedTimer waited;
  waited.start();
  while ((window->alarms().open_count() > 0 || window->alarms().buzzer_count() > 0) && waited.elapsed() < 1000) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  window->SetViewer(shell::ViewerMode::kRemovablePlayer, nullptr);
  removable.reset();
  window->SetViewer(shell::ViewerMode::kLocalPlayer, nullptr);
  local.reset();
  window->SetViewer(shell::ViewerMode::kRemoteSearch, nullptr);
  search.reset();
  window->SetViewer(shell::ViewerMode::kRemoteLive, nullptr);
  live.reset();
  window.reset();
  shell::JoinBeepThreads();
  return result;
}
