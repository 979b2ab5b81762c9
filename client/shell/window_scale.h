// The window's "Scale" setting: how large the skinned window and its dialogs
// are drawn, in percent. Qt scales every window of the process uniformly
// (fonts, artwork and hit areas alike), so the scale is taken once, before
// the application object exists; a changed setting applies at the next start.
//
// Threads: any; the store is opened for each call.
#pragma once

#include <array>

namespace shell {

inline constexpr std::array<int, 4> kWindowScales = {100, 125, 150, 200};
inline constexpr int kDefaultWindowScale = 100;

// The stored scale; absent, unreadable or not one of kWindowScales reads as
// the default. A store file that does not exist yet is not created.
int ReadWindowScale();
// Stores one of kWindowScales; anything else is refused. Returns 0 or the
// store's failure code.
int WriteWindowScale(int percent);

// Applies the stored scale to the Qt application about to be created, on top
// of any factor the desktop already asks for. Call before QApplication.
void ApplyWindowScale();

}  // namespace shell
