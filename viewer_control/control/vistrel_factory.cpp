#include "viewer_control/control/vistrel_factory.h"

#include "viewer_control/control/vistrel_ctl.h"

namespace vistrel {

bool IsVistrelClass(const QString& class_id) {
  QString id = class_id.trimmed();
  if (id.compare(QLatin1String(kVistrelProgId), Qt::CaseInsensitive) == 0 ||
      id.compare(QLatin1String(kVistrelVersionIndependentProgId), Qt::CaseInsensitive) == 0) {
    return true;
  }
  if (!id.startsWith(QLatin1Char('{'))) id = QLatin1Char('{') + id + QLatin1Char('}');
  return id.compare(QLatin1String(kVistrelClsid), Qt::CaseInsensitive) == 0;
}

VistrelCtl* CreateControl(const QString& class_id, QWidget* parent) {
  if (!IsVistrelClass(class_id)) return nullptr;
  return new VistrelCtl(parent);  // owned by its Qt parent
}

}  // namespace vistrel

extern "C" QWidget* VistrelCreateControl(const char* class_id, QWidget* parent) {
  if (class_id == nullptr) return nullptr;
  return vistrel::CreateControl(QString::fromUtf8(class_id), parent);
}
