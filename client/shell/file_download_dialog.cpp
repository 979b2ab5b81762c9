#include "client/shell/file_download_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

#include <cstdio>

#include "client/sessions/download_file_name.h"
#include "client/sessions/owner_call.h"
#include "client/shell/hover_button.h"
#include "platform/trace.h"
#include "protocol/payload.h"

namespace shell {
namespace {

int High(uint8_t bcd) { return (bcd >> 4) & 0x0F; }
int Low(uint8_t bcd) { return bcd & 0x0F; }
int Number(uint8_t bcd) { return High(bcd) * 10 + Low(bcd); }

QString TwoDigits(int value) { return QString::asprintf("%02d", value); }

uint8_t BcdOf(const QComboBox* list) {
  const QByteArray text = list->currentText().toLatin1();
  return text.size() == 2 ? protocol::BcdFromText(text[0], text[1]) : 0;
}

}  // namespace

CFileDownloadDialog::CFileDownloadDialog(QWidget* parent, COperatorDialogs& dialogs,
                                         const sessions::FileDownloadRecord& record,
                                         std::function<void()> disconnect_search)
    : CSkinnedDialog(parent, skin::res::kFileDownloadBackground, QSize(kWidth, kHeight), "Kaviro - File Download"),
      dialogs_(dialogs),
      record_(record),
      disconnect_search_(std::move(disconnect_search)),
      date_(new CColourLabel({}, this)),
      hour_(new CColourLabel({}, this)),
      start_minute_(new QComboBox(this)),
      start_second_(new QComboBox(this)),
      end_minute_(new QComboBox(this)),
      end_second_(new QComboBox(this)),
      start_(new CHoverButton(this, 1)),
      cancel_(new CHoverButton(this, 2)),
      progress_(new QProgressBar(this)),
      size_(new QLabel(this)),
      rate_(new QLabel(this)),
      file_(new QLabel(this)),
      session_(std::make_unique<sessions::CFileDownloadSession>(*this)) {
  AddCaption("DATE", 20, 52, 60);
  AddCaption("HOUR", 200, 52, 60);
  AddCaption("START", 20, 92, 60);
  AddCaption("END", 240, 92, 60);
  date_->setText(QString::asprintf("20%01d%01d/%01d%01d/%01d%01d", High(record.year), Low(record.year),
                                   High(record.month), Low(record.month), High(record.day), Low(record.day)));
  date_->setGeometry(80, 50, 100, 20);
  hour_->setText(QString::asprintf("%01d%01d", High(record.hour), Low(record.hour)));
  hour_->setGeometry(260, 50, 24, 20);
  start_minute_->setGeometry(80, 90, 50, 20);
  start_second_->setGeometry(140, 90, 50, 20);
  end_minute_->setGeometry(300, 90, 50, 20);
  end_second_->setGeometry(360, 90, 50, 20);
  file_->setGeometry(20, 130, 420, 20);
  progress_->setGeometry(20, 156, 420, 16);
  progress_->setTextVisible(false);
  progress_->setRange(0, 0);
  progress_->setValue(0);
  size_->setGeometry(20, 178, 200, 20);
  rate_->setGeometry(300, 178, 140, 20);
  rate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  rate_->setText("0 Kbps");
  for (QWidget* child :
       {static_cast<QWidget*>(start_minute_), static_cast<QWidget*>(start_second_), static_cast<QWidget*>(end_minute_),
        static_cast<QWidget*>(end_second_), static_cast<QWidget*>(progress_), static_cast<QWidget*>(size_),
        static_cast<QWidget*>(rate_), static_cast<QWidget*>(file_)}) {
    SkinChild(child);
  }
  start_->SetBitmaps(skin::res::kStartFaces, skin::res::kStartFaces + 2, skin::res::kStartFaces + 1,
                     skin::res::kStartFaces + 3);
  start_->Place(kWidth - 2 * 68 - 20 - 6, kHeight - 22 - 16);
  cancel_->SetBitmaps(421, 423, 422, 483);
  cancel_->Place(kWidth - 68 - 20, kHeight - 22 - 16);
  connect(start_, &QAbstractButton::clicked, this, &CFileDownloadDialog::OnStart);
  connect(cancel_, &QAbstractButton::clicked, this, &CFileDownloadDialog::OnCancel);

  const int first = Number(record.start_minute);
  const int last = Number(record.end_minute);
  for (int minute = first; minute <= last; ++minute) {
    start_minute_->addItem(TwoDigits(minute));
    end_minute_->addItem(TwoDigits(minute));
  }
  end_minute_->setCurrentIndex(end_minute_->count() - 1);
  FillSeconds(start_second_, first, true);
  FillSeconds(end_second_, last, false);
  end_second_->setCurrentIndex(end_second_->count() - 1);
  connect(start_minute_, &QComboBox::currentIndexChanged, this, [this] {
    FillSeconds(start_second_, start_minute_->currentText().toInt(), true);
    UpdateStart();
  });
  connect(end_minute_, &QComboBox::currentIndexChanged, this, [this] {
    FillSeconds(end_second_, end_minute_->currentText().toInt(), false);
    end_second_->setCurrentIndex(end_second_->count() - 1);
    UpdateStart();
  });
  connect(start_second_, &QComboBox::currentIndexChanged, this, &CFileDownloadDialog::UpdateStart);
  connect(end_second_, &QComboBox::currentIndexChanged, this, &CFileDownloadDialog::UpdateStart);
  UpdateStart();
}

CFileDownloadDialog::~CFileDownloadDialog() { StopSession(); }

// 00-59, from the file's start second in its first minute and up to its end
// second in its last.
void CFileDownloadDialog::FillSeconds(QComboBox* seconds, int minute, bool is_start) {
  const QSignalBlocker quiet(seconds);
  const QString kept = seconds->currentText();
  seconds->clear();
  const int from = minute == Number(record_.start_minute) ? Number(record_.start_second) : 0;
  const int to = minute == Number(record_.end_minute) ? Number(record_.end_second) : 59;
  for (int second = from; second <= to; ++second) seconds->addItem(TwoDigits(second));
  const int again = seconds->findText(kept);
  seconds->setCurrentIndex(again >= 0 ? again : (is_start ? 0 : seconds->count() - 1));
}

sessions::FileDownloadRecord CFileDownloadDialog::Chosen() const {
  sessions::FileDownloadRecord chosen = record_;
  chosen.start_minute = BcdOf(start_minute_);
  chosen.start_second = BcdOf(start_second_);
  chosen.end_minute = BcdOf(end_minute_);
  chosen.end_second = BcdOf(end_second_);
  return chosen;
}

void CFileDownloadDialog::UpdateStart() { start_->setEnabled(sessions::IsDownloadRangeValid(Chosen())); }

void CFileDownloadDialog::EnableRange(bool enabled) {
  for (QComboBox* list : {start_minute_, start_second_, end_minute_, end_second_}) list->setEnabled(enabled);
  if (enabled) {
    UpdateStart();
  } else {
    start_->setEnabled(false);
  }
}

void CFileDownloadDialog::OnStart() {
  sessions::FileDownloadRecord chosen = Chosen();
  if (!sessions::IsDownloadRangeValid(chosen)) return;
  const std::string folder = sessions::VideoStorageFolder();
  if (folder.empty()) {
    dialogs_.ShowMessageBox(this, "The video record folder is not set or cannot be created.", BoxIcon::kError);
    return;
  }
  chosen.local_path = sessions::UniqueDownloadName(sessions::DownloadPathStem(folder, chosen), chosen);
  file_->setText(QString::fromStdString(chosen.local_path));
  outcome_.reset();
  if (session_->Start(chosen) != 0) {
    dialogs_.ShowMessageBox(this, "Can't connect to the file download port of the DVR.", BoxIcon::kError);
  }
}

void CFileDownloadDialog::OnCancel() {
  // The bytes so far are kept with the trailer; closing stops the session.
  session_->Cancel();
  reject();
}

void CFileDownloadDialog::done(int result) {
  if (handovers_ > 0) {
    pending_result_ = result;
    return;
  }
  StopSession();
  CSkinnedDialog::done(result);
}

void CFileDownloadDialog::StopSession() {
  if (session_ && session_->Stop() != 0) Trace("[FILEDOWNLOAD] File session disconnect error !!!");
}

void CFileDownloadDialog::OnUiThread(const std::function<void()>& work) {
  sessions::CallOnOwnerThread(this, [this, &work] {
    ++handovers_;
    work();
    if (--handovers_ == 0 && pending_result_) {
      const int result = *pending_result_;
      pending_result_.reset();
      // Queued: the worker that waits for this work must go on first.
      QMetaObject::invokeMethod(
          this, [this, result] { done(result); }, Qt::QueuedConnection);
    }
  });
}

void CFileDownloadDialog::DownloadStarted() {
  OnUiThread([this] { EnableRange(false); });
}

void CFileDownloadDialog::DownloadEnded(sessions::DownloadOutcome outcome) {
  OnUiThread([this, outcome] {
    outcome_ = outcome;
    EnableRange(true);
    // Queued: the worker reporting the end must be let go before the
    // session is stopped by the close.
    QMetaObject::invokeMethod(
        this, [this] { accept(); }, Qt::QueuedConnection);
  });
}

void CFileDownloadDialog::SetProgressRange(long maximum) {
  OnUiThread([this, maximum] { progress_->setRange(0, static_cast<int>(maximum)); });
}

void CFileDownloadDialog::ShowProgress(const std::string& size_text, const std::string& rate_text, long position) {
  OnUiThread([&] {
    size_->setText(QString::fromStdString(size_text));
    rate_->setText(QString::fromStdString(rate_text));
    progress_->setValue(static_cast<int>(position));
  });
}

void CFileDownloadDialog::ShowMessage(const std::string& text, sessions::MessageIcon icon) {
  OnUiThread([&] { dialogs_.ShowMessageBox(this, text, ToBoxIcon(icon)); });
}

void CFileDownloadDialog::DisconnectSearchViewer() {
  // Posted: the search viewer's disconnect stops sockets and waits for them.
  if (disconnect_search_) platform::PostToOwnerThread(this, disconnect_search_);
}

}  // namespace shell
