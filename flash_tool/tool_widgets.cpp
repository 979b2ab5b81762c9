#include "flash_tool/tool_widgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tarvek {
namespace {

constexpr int kBauds[] = {115200, 57600, 38400, 19200};

QGroupBox* RadioGroup(const QString& title, const QStringList& labels, QButtonGroup* group, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  for (int i = 0; i < labels.size(); ++i) {
    auto* button = new QRadioButton(labels[i], box);
    layout->addWidget(button);
    if (group) group->addButton(button, i);
  }
  return box;
}

// "download file (*.bin)|*.bin||" in the Qt filter form "download file (*.bin)".
QString QtFilter(const std::string& filter) {
  const std::string::size_type bar = filter.find('|');
  return QString::fromStdString(bar == std::string::npos ? filter : filter.substr(0, bar));
}

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kStop:
      return QMessageBox::Critical;
    case BoxIcon::kQuestion:
      return QMessageBox::Question;
    case BoxIcon::kInformation:
      return QMessageBox::Information;
    case BoxIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

PortSettingDialog::PortSettingDialog(int port, int baud, QWidget* parent)
    : QDialog(parent), ports_(new QButtonGroup(this)), bauds_(new QButtonGroup(this)) {
  setWindowTitle("COM Port Setting");
  auto* grid = new QGridLayout(this);
  grid->addWidget(RadioGroup("COM Port", {"COM1", "COM2", "COM3", "COM4"}, ports_, this), 0, 0);
  grid->addWidget(RadioGroup("BAUD Rate", {"115200", "57600", "38400", "19200"}, bauds_, this), 0, 1);
  // The line is always 8 data bits, no parity, 1 stop bit: shown, not offered.
  QButtonGroup* data_bits = new QButtonGroup(this);
  QButtonGroup* stop_bits = new QButtonGroup(this);
  QButtonGroup* parity = new QButtonGroup(this);
  QGroupBox* data_box = RadioGroup("Data Bit", {"7 bit", "8 bit"}, data_bits, this);
  QGroupBox* stop_box = RadioGroup("Stop Bit", {"1 Bit", "2 Bit"}, stop_bits, this);
  QGroupBox* parity_box = RadioGroup("Parity Bit", {"none", "even", "odd"}, parity, this);
  data_bits->button(1)->setChecked(true);
  stop_bits->button(0)->setChecked(true);
  parity->button(0)->setChecked(true);
  for (QGroupBox* box : {data_box, stop_box, parity_box}) box->setEnabled(false);
  grid->addWidget(data_box, 1, 0);
  grid->addWidget(stop_box, 1, 1);
  grid->addWidget(parity_box, 2, 0);
  auto* ok = new QPushButton("OK", this);
  auto* cancel = new QPushButton("Cancel", this);
  ok->setDefault(true);
  grid->addWidget(ok, 3, 0);
  grid->addWidget(cancel, 3, 1);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // Initial choice COM1 and 115200 unless the configuration says otherwise.
  ports_->button(port >= 1 && port <= 4 ? port - 1 : 0)->setChecked(true);
  int baud_index = 0;
  for (int i = 0; i < 4; ++i) {
    if (kBauds[i] == baud) baud_index = i;
  }
  bauds_->button(baud_index)->setChecked(true);
  setFixedSize(sizeHint());
}

int PortSettingDialog::port() const { return ports_->checkedId() + 1; }
int PortSettingDialog::baud() const { return kBauds[bauds_->checkedId() < 0 ? 0 : bauds_->checkedId()]; }

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent),
      path_(new QLabel(this)),
      percent_(new QLabel("0", this)),
      length_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
  setWindowTitle("DownLoad Progress");
  auto* grid = new QGridLayout(this);
  grid->addWidget(path_, 0, 0, 1, 4);
  grid->addWidget(bar_, 1, 0, 1, 4);
  grid->addWidget(percent_, 2, 0);
  grid->addWidget(new QLabel("%  /", this), 2, 1);
  grid->addWidget(length_, 2, 2);
  auto* cancel = new QPushButton("Cancel", this);
  grid->addWidget(cancel, 2, 3);
  bar_->setTextVisible(false);
  connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
  setMinimumWidth(420);
}

void ProgressDialog::Show(const std::string& image_path, uint32_t length, int range_max) {
  cancelled_ = false;
  path_->setText(QString::fromStdString(image_path));
  length_->setText(QString::number(length));
  bar_->setRange(0, range_max);
  show();
  QApplication::processEvents();
}

void ProgressDialog::SetPercent(int percent) { percent_->setText(QString::number(percent)); }

void ProgressDialog::SetPosition(int position) {
  bar_->setValue(position);
  QApplication::processEvents();
}

bool ProgressDialog::Cancelled() {
  // Lets the Cancel button's click through while the transfer runs.
  QApplication::processEvents();
  return cancelled_;
}

void ProgressDialog::Hide() { hide(); }

void InstallQtDialogs(ToolDialogs& dialogs, QWidget* parent) {
  QPointer<QWidget> owner(parent);
  dialogs.SetPresenter(
      [owner](const DialogRequest& request) -> DialogAnswer {
        switch (request.kind) {
          case DialogKind::kMessage: {
            QMessageBox box(QtIcon(request.icon), QString::fromStdString(request.caption),
                            QString::fromStdString(request.text), QMessageBox::Ok, owner);
            box.exec();
            return {true, ""};
          }
          case DialogKind::kBootCode: {
            const auto button = QMessageBox::question(owner, "Boot code", QString::fromStdString(request.text),
                                                      QMessageBox::Yes | QMessageBox::No);
            return {button == QMessageBox::Yes, ""};
          }
          case DialogKind::kOpenFile: {
            const QString path = QFileDialog::getOpenFileName(owner, QString(), QString(), QtFilter(request.filter));
            return {!path.isEmpty(), path.toStdString()};
          }
          case DialogKind::kSaveFile: {
            const QString path = QFileDialog::getSaveFileName(owner, QString(), QString(), QtFilter(request.filter));
            return {!path.isEmpty(), path.toStdString()};
          }
        }
        return {};
      },
      [owner]() -> std::unique_ptr<ProgressView> {
        // Owned by the transfer for its duration, not by the Qt parent.
        auto dialog = std::make_unique<ProgressDialog>(nullptr);
        if (owner) dialog->setWindowModality(Qt::ApplicationModal);
        return dialog;
      });
}

}  // namespace tarvek
