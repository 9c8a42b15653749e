// The About box of quendle.exe.
#ifndef QUENDLE_ABOUT_BOX_H
#define QUENDLE_ABOUT_BOX_H

#include <windows.h>

namespace quendle {

// Shows dialog IDD_ABOUTBOX modally over `owner` until OK, Enter, Escape or
// the close box ends it; returns IDOK or IDCANCEL (or -1 if it could not
// be shown).
INT_PTR show_about_box(HINSTANCE instance, HWND owner);

} // namespace quendle

#endif
