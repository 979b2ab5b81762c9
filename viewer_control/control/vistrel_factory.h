// The class factory of the library: makes the control from its class
// identifier or one of its ProgIDs, as the host found it in its template.
//
// Threads: user-interface thread.
#pragma once

#include <QString>

class QWidget;

namespace vistrel {

class VistrelCtl;

inline constexpr const char* kVistrelClsid = "{5D1E22A0-7C41-4B8E-9F3A-2C6B90D4E117}";
inline constexpr const char* kVistrelProgId = "Vistrel.VistrelCtl.1";
inline constexpr const char* kVistrelVersionIndependentProgId = "Vistrel.VistrelCtl";

// Whether the identifier names the control (the CLSID with or without
// braces, in any case, or a ProgID).
bool IsVistrelClass(const QString& class_id);

// A new control owned by `parent`, or null for an identifier of another class.
VistrelCtl* CreateControl(const QString& class_id, QWidget* parent);

}  // namespace vistrel

// The same, reachable by name for a host that loads libvistrel.so at run time.
extern "C" QWidget* VistrelCreateControl(const char* class_id, QWidget* parent);
