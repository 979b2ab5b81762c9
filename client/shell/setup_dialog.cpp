#include "client/shell/setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>

#include "client/shell/event_log.h"
#include "client/shell/hover_button.h"
#include "client/shell/operator_dialogs.h"
#include "client/shell/settings_keys.h"
#include "client/shell/window_scale.h"
#include "platform/registry.h"
#include "platform/string_table.h"

namespace shell {
namespace {

std::string ReadValue(const char* key_path, const char* name) {
  const auto key = platform::RegistryKey::Open(key_path);
  return key ? key->ReadString(name).value_or("") : std::string();
}

// The settings keys exist from installation on: a missing key loses the write.
void WriteValue(const char* key_path, const char* name, const std::string& value) {
  if (const auto key = platform::RegistryKey::Open(key_path)) key->WriteString(name, value);
}

}  // namespace

CSetupDialog::CSetupDialog(QWidget* parent, COperatorDialogs& dialogs, const std::vector<std::string>& modems)
    : CSkinnedDialog(parent, skin::res::kSetupBackground, QSize(597, 535),
                     QString::fromUtf8(platform::LoadString(161))),
      dialogs_(dialogs),
      video_(new QLineEdit(this)),
      image_(new QLineEdit(this)),
      wave_(new QLineEdit(this)),
      modem_(new QComboBox(this)),
      scale_(new QComboBox(this)),
      log_times_(new QCheckBox("Show the time of each event log line", this)) {
  AddCaption("VIDEO RECORD FOLDER", 308, 100, 260);
  AddCaption("CAPTURE IMAGE FOLDER", 308, 158, 260);
  AddCaption("MODEM", 308, 268, 260);
  AddCaption("ALARM BUZZER WAVE FILE", 308, 388, 260);
  AddCaption("WINDOW SCALE (AT THE NEXT START)", 308, 328, 260);
  video_->setGeometry(308, 123, 182, 20);
  image_->setGeometry(308, 181, 182, 20);
  modem_->setGeometry(308, 291, 205, 22);
  wave_->setGeometry(308, 411, 182, 20);
  scale_->setGeometry(308, 351, 100, 22);
  FillScales(parent);
  for (QLineEdit* edit : {video_, image_, wave_}) edit->setMaxLength(255);
  log_times_->setGeometry(308, 446, 260, 20);

  struct Browse {
    int id;
    int y;
    void (CSetupDialog::*handler)();
  };
  for (const Browse& browse :
       {Browse{1123, 123, &CSetupDialog::OnBrowseVideo}, Browse{1121, 181, &CSetupDialog::OnBrowseImage},
        Browse{1078, 411, &CSetupDialog::OnBrowseWave}}) {
    auto* button = new CHoverButton(this, browse.id);
    button->SetBitmaps(skin::FacesOfControl(-1));
    button->Place(493, browse.y);
    connect(button, &QAbstractButton::clicked, this, browse.handler);
  }
  auto* ok = new CHoverButton(this, 1);
  ok->SetBitmaps(207, 209, 208, 0);
  ok->Place(422, 484);
  connect(ok, &QAbstractButton::clicked, this, &CSetupDialog::OnOk);
  auto* cancel = new CHoverButton(this, 2);
  cancel->SetBitmaps(421, 423, 422, 0);
  cancel->Place(500, 484);
  connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);

  const std::string stored_modem = ReadValue(kLocalSettingKey, kModemValue);
  int selected = 0;
  for (size_t i = 0; i < modems.size(); ++i) {
    modem_->addItem(QString::fromStdString(modems[i]));
    if (modems[i] == stored_modem) selected = static_cast<int>(i);
  }
  if (!modems.empty()) modem_->setCurrentIndex(selected);
  video_->setText(QString::fromStdString(ReadValue(kVideoPathKey, kSavePathValue)));
  image_->setText(QString::fromStdString(ReadValue(kImagePathKey, kSavePathValue)));
  wave_->setText(QString::fromStdString(ReadValue(kLocalSettingKey, kBuzzerPathValue)));
  log_times_->setChecked(CEventLog::TimesShownSetting());
}

void CSetupDialog::FillScales(const QWidget* parent) {
  const int stored = ReadWindowScale();
  const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  // A window taller or wider than its screen hides the lower panels out of
  // reach: such a step is offered only while it is the stored one. The
  // screen is measured in the units of the scale now in effect.
  const QSize room = screen != nullptr ? screen->availableGeometry().size() : QSize();
  auto* model = qobject_cast<QStandardItemModel*>(scale_->model());
  for (int percent : kWindowScales) {
    scale_->addItem(QString("%1 %").arg(percent), percent);
    const QSize needed = QSize(1024, 768) * percent / stored;
    const bool fits = !room.isValid() || (needed.width() <= room.width() && needed.height() <= room.height());
    if (!fits && percent != stored && percent != kDefaultWindowScale && model != nullptr) {
      model->item(scale_->count() - 1)->setEnabled(false);
    }
  }
  scale_->setCurrentIndex(scale_->findData(stored));
}

void CSetupDialog::BrowseFolder(QLineEdit* edit, int title_id) {
  const auto folder = dialogs_.BrowseForFolder(this, platform::LoadString(title_id));
  if (!folder) return;
  std::string path = *folder;
  // Folder paths end with a separator, as consumers append file names.
  if (path.empty() || path.back() != '/') path += '/';
  edit->setText(QString::fromStdString(path));
}

void CSetupDialog::OnBrowseVideo() { BrowseFolder(video_, 124); }
void CSetupDialog::OnBrowseImage() { BrowseFolder(image_, 125); }

void CSetupDialog::OnBrowseWave() {
  const auto file = dialogs_.ChooseOpenFile(this, "Open", "Wave Files (*.wav)", wave_->text().toStdString());
  if (!file) return;
  // Only a lower-case "wav" extension is taken.
  if (QFileInfo(QString::fromStdString(*file)).suffix() != "wav") return;
  wave_->setText(QString::fromStdString(*file));
}

void CSetupDialog::OnOk() {
  if (modem_->currentIndex() >= 0 && !modem_->currentText().isEmpty()) {
    WriteValue(kLocalSettingKey, kModemValue, modem_->currentText().toStdString());
  }
  WriteValue(kVideoPathKey, kSavePathValue, video_->text().toStdString());
  WriteValue(kImagePathKey, kSavePathValue, image_->text().toStdString());
  WriteValue(kLocalSettingKey, kBuzzerPathValue, wave_->text().toStdString());
  // Left alone while it stays: an absent value keeps reading as 100 %.
  if (const int percent = scale_->currentData().toInt(); percent != ReadWindowScale()) WriteWindowScale(percent);
  if (const auto key = platform::RegistryKey::Open(kLocalSettingKey)) {
    key->WriteNumber(kEventLogTimeValue, log_times_->isChecked() ? 1 : 0);
  }
  accept();
}

}  // namespace shell
