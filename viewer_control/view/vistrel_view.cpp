// vistrel-view: hosts the viewer control alone and connects it to a DVR's
// stream port, for trying the control without the client.
//
//   vistrel-view [--host 127.0.0.1] [--port 4000] [--user admin] [--password 1234]
//                [--channels 4|8|16] [--recorded] [--layout 1|4|9|16]
//                [--screenshot FILE --after SECONDS]
//
// --port is the DVR's command port; the stream port is the next one. Keys:
// 1, 4, 9 and 6 (for 16) choose the layout; Page Up / Page Down move the
// first cell; Escape quits.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "build_version.h"
#include "platform/trace.h"
#include "viewer_control/control/vistrel_ctl.h"
#include "viewer_control/control/vistrel_factory.h"

namespace {

constexpr char kUsage[] =
    "Usage: vistrel-view [--host H] [--port P] [--user U] [--password W] [--channels 1-16] [--recorded]\n"
    "                    [--layout 1|4|9|16] [--screenshot FILE --after S]\n"
    "Hosts the viewer control alone, connected to a DVR's stream port (the command port + 1).\n"
    "  --host H             the DVR's address (127.0.0.1)\n"
    "  --port P             its command port (4000)\n"
    "  --user U             user name (admin)\n"
    "  --password W         password (1234)\n"
    "  --channels N         channels to show, 1-16 (16)\n"
    "  --recorded           ask for the recorded stream instead of live video\n"
    "  --layout 1|4|9|16    cells on screen\n"
    "  --screenshot FILE    save a picture of the window after --after seconds (5), then leave\n"
    "  --version            print the version and the commit it was built from\n"
    "  --help               print this help\n"
    "Keys: 1, 4, 9 and 6 (for 16) choose the layout; Page Up / Page Down move the first cell;\n"
    "Escape quits.\n";
const char kLogonRefused[] = "[STREAM SESSION 0] Stream port authentication failed !!!";

struct Options {
  QString host = QStringLiteral("127.0.0.1");
  int port = 4000;
  QString user = QStringLiteral("admin");
  QString password = QStringLiteral("1234");
  int channels = 16;
  int stream_mode = 1;
  int per_row = 4;
  QString screenshot;
  int after_s = 5;
};

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vistrel-view: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    const char* v = nullptr;
    if (arg == "--recorded") {
      options->stream_mode = 2;
    } else if (arg == "--host" && (v = value("--host"))) {
      options->host = QString::fromLocal8Bit(v);
    } else if (arg == "--port" && (v = value("--port"))) {
      options->port = std::atoi(v);
    } else if (arg == "--user" && (v = value("--user"))) {
      options->user = QString::fromLocal8Bit(v);
    } else if (arg == "--password" && (v = value("--password"))) {
      options->password = QString::fromLocal8Bit(v);
    } else if (arg == "--channels" && (v = value("--channels"))) {
      options->channels = std::atoi(v);
    } else if (arg == "--layout" && (v = value("--layout"))) {
      const int cells = std::atoi(v);
      options->per_row = cells >= 16 ? 4 : cells >= 9 ? 3 : cells >= 4 ? 2 : 1;
    } else if (arg == "--screenshot" && (v = value("--screenshot"))) {
      options->screenshot = QString::fromLocal8Bit(v);
    } else if (arg == "--after" && (v = value("--after"))) {
      options->after_s = std::atoi(v);
    } else {
      std::fputs(kUsage, stderr);
      return false;
    }
  }
  if (options->channels < 1 || options->channels > 16 || options->port <= 0 || options->port > 65534) {
    std::fprintf(stderr, "vistrel-view: channels 1-16, port 1-65534\n");
    return false;
  }
  return true;
}

// The window: the control fills it; keys change the layout.
class ViewWindow : public QWidget {
 public:
  explicit ViewWindow(const Options& options) : options_(options) {
    setWindowTitle(QStringLiteral("Vistrel - %1:%2").arg(options.host).arg(options.port));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    control_ = vistrel::CreateControl(QString::fromLatin1(vistrel::kVistrelClsid), this);
    layout->addWidget(control_);
    resize(704, 480);
    connect(control_, &vistrel::VistrelCtl::AnalysisVideoDeviceCard, this,
            [](int mode, int) { std::printf("video mode: %s\n", mode == 1 ? "YUV (OpenGL)" : "RGB (software)"); });
    connect(control_, &vistrel::VistrelCtl::Connect, this,
            [](int session, int) { std::printf("stream session %d connected\n", session); });
    connect(control_, &vistrel::VistrelCtl::AuthenticationResult, this,
            [](int, int) { std::printf("stream logon accepted\n"); });
    connect(control_, &vistrel::VistrelCtl::Close, this, [](int, int) { std::printf("stream closed\n"); });
  }

  bool Start() {
    uint8_t map[16];
    for (int i = 0; i < 16; ++i) map[i] = static_cast<uint8_t>(i);
    short out = 0;
    control_->SetStreamSessionInfo(0, map, options_.channels, options_.stream_mode, &out);
    control_->SetAlignChannelMode(0, options_.per_row, &out);
    const int32_t result = control_->ConnectStreamPort(0, options_.host, static_cast<short>(options_.port + 1),
                                                       options_.user, options_.password, &out);
    if (result < 0) {
      std::fprintf(stderr, "vistrel-view: ConnectStreamPort failed\n");
      return false;
    }
    return true;
  }

  ~ViewWindow() override {
    short out = 0;
    control_->DisconnectAllStreamPort(&out);
  }

  vistrel::VistrelCtl* control() const { return control_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    short out = 0;
    const int first = control_->engine().first_slot();
    const int per_row = control_->engine().channels_per_row();
    switch (event->key()) {
      case Qt::Key_1:
        control_->SetAlignChannelMode(first, 1, &out);
        break;
      case Qt::Key_4:
        control_->SetAlignChannelMode(first - first % 4, 2, &out);
        break;
      case Qt::Key_9:
        control_->SetAlignChannelMode(first > 7 ? 7 : first, 3, &out);
        break;
      case Qt::Key_6:
        control_->SetAlignChannelMode(0, 4, &out);
        break;
      case Qt::Key_PageDown: {
        // The last page ends at slot 16, as the 3x3 key's first slot 7 does.
        const int step = per_row * per_row;
        const int next = std::min(first + step, 16 - step);
        if (next > first) control_->SetAlignChannelMode(next, per_row, &out);
        break;
      }
      case Qt::Key_PageUp: {
        const int step = per_row * per_row;
        control_->SetAlignChannelMode(first >= step ? first - step : 0, per_row, &out);
        break;
      }
      case Qt::Key_Escape:
        close();
        break;
      default:
        QWidget::keyPressEvent(event);
    }
  }

 private:
  Options options_;
  vistrel::VistrelCtl* control_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (kaviro_build::AnswerVersion(argc, argv, "vistrel-view")) return 0;
  // Answered before the application object, which needs a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  QApplication app(argc, argv);
  Options options;
  if (!Parse(argc, argv, &options)) return 2;
  ViewWindow window(options);
  window.show();
  platform::TraceCapture refused({kLogonRefused});
  if (!window.Start()) return 1;
  // Neither a refused connection nor a refused logon is an event of the
  // control; either ends the program as a failure, not as an empty window.
  bool accepted = false;
  QObject::connect(window.control(), &vistrel::VistrelCtl::AuthenticationResult, &window,
                   [&accepted](int, int) { accepted = true; });
  QTimer failure_watch;
  QObject::connect(&failure_watch, &QTimer::timeout, &window, [&] {
    if (refused.Contains(kLogonRefused)) {
      std::fprintf(stderr, "vistrel-view: the DVR refused the stream logon (user name or password)\n");
      QApplication::exit(1);
    } else if (!accepted && !window.control()->engine().session(0).running()) {
      std::fprintf(stderr, "vistrel-view: no stream connection to %s port %d\n", qPrintable(options.host),
                   options.port + 1);
      QApplication::exit(1);
    }
  });
  failure_watch.start(50);
  if (!options.screenshot.isEmpty()) {
    QTimer::singleShot(options.after_s * 1000, &window, [&window, &options] {
      // What the screen shows, window frame excluded; the widget's own image
      // when the platform cannot read the screen back.
      QImage image = window.screen()->grabWindow(window.winId()).toImage();
      if (image.isNull()) image = window.grab().toImage();
      const bool saved = image.save(options.screenshot);
      std::printf("screenshot %s: %s\n", saved ? "saved" : "not saved", qPrintable(options.screenshot));
      QApplication::quit();
    });
  }
  return QApplication::exec();
}
