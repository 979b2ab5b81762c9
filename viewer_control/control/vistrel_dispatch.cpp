// Calls by dispatch identifier: the table automation hosts use.
#include <array>
#include <functional>

#include <QByteArray>
#include <QMetaType>

#include "platform/result_codes.h"
#include "viewer_control/control/vistrel_ctl.h"

namespace vistrel {
namespace {

bool IsInteger(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::Long:
      return true;
    default:
      return false;
  }
}

bool IsString(const QVariant& value) { return value.typeId() == QMetaType::QString; }
bool IsBytes(const QVariant& value) { return value.typeId() == QMetaType::QByteArray; }

std::span<const uint8_t> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

using Check = bool (*)(const QVariant&);

struct Entry {
  std::array<Check, 5> arguments;
  int count;
  std::function<int32_t(VistrelCtl&, const QVariantList&, short*)> call;
};

const std::array<Entry, 7>& Table() {
  static const std::array<Entry, 7> table = {{
      {{IsInteger, IsString, IsInteger, IsString, IsString},
       5,
       [](VistrelCtl& c, const QVariantList& a, short* out) {
         return c.ConnectStreamPort(a[0].toInt(), a[1].toString(), static_cast<short>(a[2].toInt()), a[3].toString(),
                                    a[4].toString(), out);
       }},
      {{IsInteger},
       1,
       [](VistrelCtl& c, const QVariantList& a, short* out) { return c.DisconnectStreamPort(a[0].toInt(), out); }},
      {{}, 0, [](VistrelCtl& c, const QVariantList&, short* out) { return c.DisconnectAllStreamPort(out); }},
      {{IsInteger, IsBytes, IsInteger, IsInteger},
       4,
       [](VistrelCtl& c, const QVariantList& a, short* out) {
         const QByteArray map = a[1].toByteArray();
         return c.SetStreamSessionInfo(a[0].toInt(), Bytes(map), a[2].toInt(), a[3].toInt(), out);
       }},
      {{IsInteger, IsInteger},
       2,
       [](VistrelCtl& c, const QVariantList& a, short* out) {
         return c.SetAlignChannelMode(a[0].toInt(), a[1].toInt(), out);
       }},
      {{IsInteger, IsBytes},
       2,
       [](VistrelCtl& c, const QVariantList& a, short* out) {
         const QByteArray types = a[1].toByteArray();
         return c.SetRecordEventType(a[0].toInt(), Bytes(types), out);
       }},
      {{IsInteger, IsInteger},
       2,
       [](VistrelCtl& c, const QVariantList& a, short* out) {
         return c.SetMpeg4Recording(a[0].toInt(), a[1].toInt(), out);
       }},
  }};
  return table;
}

}  // namespace

int32_t VistrelCtl::Invoke(int dispid, const QVariantList& args, short* pVal) {
  auto fail = [pVal] {
    if (pVal != nullptr) *pVal = 0;
    return E_FAIL;
  };
  if (dispid < 1 || dispid > static_cast<int>(Table().size())) return fail();
  const Entry& entry = Table()[static_cast<size_t>(dispid - 1)];
  if (args.size() != entry.count) return fail();
  for (int i = 0; i < entry.count; ++i) {
    if (!entry.arguments[static_cast<size_t>(i)](args[i])) return fail();
  }
  return entry.call(*this, args, pVal);
}

}  // namespace vistrel
