#include "about_box.h"

#include "resource.h"

namespace quendle {

namespace {

INT_PTR CALLBACK about_proc(HWND dialog, UINT msg, WPARAM wparam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

INT_PTR show_about_box(HINSTANCE instance, HWND owner)
{
    return DialogBoxW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, about_proc);
}

} // namespace quendle
