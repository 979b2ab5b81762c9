#include "client/shell/splash_screen.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "build_version.h"
#include "client/shell/hover_button.h"
#include "client/shell/skin_artwork.h"
#include "platform/string_table.h"

namespace shell {

CSplashScreen::CSplashScreen()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      timer_(new QTimer(this)) {
  setFixedSize(skin::Pixmap(skin::res::kSplash).deviceIndependentSize().toSize());
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &CSplashScreen::Finish);
}

CSplashScreen::~CSplashScreen() { qApp->removeEventFilter(this); }

void CSplashScreen::Start() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
  }
  qApp->installEventFilter(this);
  show();
  timer_->start(kShowMs);
}

void CSplashScreen::Finish() {
  if (finished_) return;
  finished_ = true;
  timer_->stop();
  qApp->removeEventFilter(this);
  hide();
  emit Finished();
}

void CSplashScreen::paintEvent(QPaintEvent*) { QPainter(this).drawPixmap(0, 0, skin::Pixmap(skin::res::kSplash)); }

bool CSplashScreen::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::KeyPress:
      Finish();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

CAboutBox::CAboutBox(QWidget* parent)
    : CSkinnedDialog(parent, skin::res::kAboutBackground, QSize(420, 230),
                     QString::fromUtf8(platform::LoadString(153))) {
  auto* notice = new QLabel(QString::fromUtf8(platform::LoadString(351)), this);
  notice->setWordWrap(true);
  notice->setGeometry(24, 64, 372, 48);
  notice->setStyleSheet("color: #e4eaf1; font-size: 13px;");
  auto* version = new QLabel(VersionLine(), this);
  version->setObjectName("version");
  version->setGeometry(24, 124, 372, 22);
  version->setStyleSheet("color: #8b97a8; font-size: 12px; font-weight: bold;");
  auto* ok = new CHoverButton(this, 1);
  ok->SetBitmaps(207, 209, 208, 0);
  ok->Place(328, 188);
  connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
}

QString CAboutBox::VersionLine() {
  const QString product = kaviro_build::kProductVersion;
  const QString build = kaviro_build::kCommit;
  if (product.isEmpty() || build.isEmpty()) return {};
  return QString("Ver. %1 (%2)").arg(product, build);
}

}  // namespace shell
