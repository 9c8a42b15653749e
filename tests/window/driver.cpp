#include "driver.h"

#include <cstring>

namespace driver {

std::wstring text_of(HWND hwnd)
{
    std::wstring s(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    s.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, s.data(), static_cast<int>(s.size()))));
    return s;
}

void set_text(HWND hwnd, const std::wstring &text)
{
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring widen(const std::string &s)
{
    std::wstring w;
    for (unsigned char c : s)
        w += static_cast<wchar_t>(c);
    return w;
}

LRESULT command(int id)
{
    return SendMessageW(quendle::app.main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool paste(HWND edit, const std::wstring &text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block)
        return false;
    std::memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (!OpenClipboard(GetParent(edit))) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    if (!put) {
        GlobalFree(block);
        return false;
    }
    SendMessageW(edit, WM_PASTE, 0, 0);
    return true;
}

void press_with_control(UINT key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    HACCEL accel = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    MSG m{quendle::app.edit, WM_KEYDOWN, key, 1, 0, {}};
    if (!TranslateAcceleratorW(quendle::app.main, accel, &m)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    drain_messages();
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

std::pair<DWORD, DWORD> selection_of(HWND edit)
{
    DWORD first = 0, second = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&first),
                 reinterpret_cast<LPARAM>(&second));
    return {first, second};
}

void drain_messages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            DispatchMessageW(&msg);
    }
}

namespace {

const wchar_t *refused_class;
HHOOK refusal_hook;

LRESULT CALLBACK refuse_proc(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_CREATEWND) {
        wchar_t name[64] = {};
        GetClassNameW(reinterpret_cast<HWND>(wparam), name, 64);
        if (lstrcmpiW(name, refused_class) == 0)
            return 1;
    }
    return CallNextHookEx(refusal_hook, code, wparam, lparam);
}

HWND thread_dialog()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, 16);
            if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd)) {
                *reinterpret_cast<HWND *>(out) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Watch {
    DialogSeen *seen;
    CloseBy how;
    HWND dialog;
    int ticks_since_close;
};
Watch watch;

void record(HWND dlg, DialogSeen &seen)
{
    seen.seen = true;
    seen.caption = text_of(dlg);
    seen.owner = GetWindow(dlg, GW_OWNER);
    seen.owner_enabled = seen.owner && IsWindowEnabled(seen.owner);
    EnumChildWindows(
        dlg,
        [](HWND child, LPARAM p) -> BOOL {
            auto &s = *reinterpret_cast<DialogSeen *>(p);
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (lstrcmpiW(name, L"Static") != 0)
                return TRUE;
            if (SendMessageW(child, STM_GETICON, 0, 0))
                s.has_icon = true;
            else
                s.texts.push_back(text_of(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
}

void CALLBACK watch_timer(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dlg = thread_dialog();
    // The first dialog, or another after the last one was answered.
    if (!watch.dialog || (dlg && dlg != watch.dialog && !IsWindow(watch.dialog))) {
        if (!dlg)
            return;
        if (++watch.seen->count == 1)
            record(dlg, *watch.seen);
        watch.dialog = dlg;
        watch.ticks_since_close = 0;
        switch (watch.how) {
        case CloseBy::ok_button:
            SendMessageW(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
            break;
        case CloseBy::enter:
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
            break;
        case CloseBy::escape:
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
            break;
        }
        return;
    }
    // Still up a second after it was answered: end it so the test can fail.
    if (dlg == watch.dialog && ++watch.ticks_since_close > 50) {
        watch.seen->forced = true;
        EndDialog(dlg, 0);
    }
}

} // namespace

RefuseWindows::RefuseWindows(const wchar_t *class_name)
{
    refused_class = class_name;
    refusal_hook = SetWindowsHookExW(WH_CBT, refuse_proc, nullptr, GetCurrentThreadId());
}

RefuseWindows::~RefuseWindows() { UnhookWindowsHookEx(refusal_hook); }

DialogAnswer::DialogAnswer(DialogSeen &seen, CloseBy how)
{
    watch = {&seen, how, nullptr, 0};
    timer_ = SetTimer(nullptr, 0, 20, watch_timer);
}

DialogAnswer::~DialogAnswer() { KillTimer(nullptr, timer_); }

void MainWindow::SetUp()
{
    ASSERT_TRUE(quendle::create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    drain_messages();
}

void MainWindow::TearDown()
{
    if (quendle::app.main)
        DestroyWindow(quendle::app.main);
    drain_messages();
}

} // namespace driver
