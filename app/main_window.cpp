#include "window.h"

#include <algorithm>
#include <iterator>

#include "about_box.h"
#include "edit_text.h"
#include "resource.h"
#include "solve_command.h"

namespace quendle {

namespace {

HFONT create_edit_font(UINT dpi)
{
    return CreateFontW(scaled(font_height, dpi), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       FIXED_PITCH, L"DejaVu Sans Mono");
}

} // namespace

// The font is made while the program's globals are initialised, before the
// entry point runs, for 96 DPI; a window of another DPI makes its own. run()
// releases the last one once the window is gone.
app_state app = {.font = create_edit_font(96), .dpi = 96};

namespace {

// The DPI of the screen as the system reports it to this process.
UINT system_dpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

} // namespace

UINT dpi_of(HWND hwnd)
{
    if (!hwnd)
        return system_dpi();
    // GetDpiForWindow came with Windows 10 1607; before it every window has
    // the system's DPI. (Cast through void (*)(), the type that stands for
    // any function.)
    using dpi_for_window = UINT(WINAPI *)(HWND);
    static const auto for_window = reinterpret_cast<dpi_for_window>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (for_window) {
        if (const UINT dpi = for_window(hwnd))
            return dpi;
    }
    return system_dpi();
}

void tell_text_full(HWND owner)
{
    MessageBoxW(owner,
                L"This window holds as much text as it can: what was typed or pasted last did "
                L"not fit, and was not added in full.",
                L"Quendle", MB_OK | MB_ICONWARNING);
}

const wchar_t help_text[] =
    L"Click [Clear] and enter Coefficient Matrix with Constant Vector as Last Column\r\n\r\n"
    L"Example (3 x 4):\r\n\r\n"
    L" 3.0  2.0  -4.0   3.0\r\n"
    L" 2.0  3.0   3.0  15.0\r\n"
    L" 5.0 -3.0   1.0  14.0\r\n\r\n"
    L"or\r\n\r\n"
    L"3,2,-4,3\r\n"
    L"2,3,3,15\r\n"
    L"5,-3,1,14\r\n\r\n"
    L"Then click [Solve...]\r\n\r\n"
    L"Solution Vector:\r\n\r\n"
    L" x[  0] :   3.0000000\r\n"
    L" x[  1] :   1.0000000\r\n"
    L" x[  2] :   2.0000000\r\n";

namespace {

// Gives the toolbar its button images for `dpi`: the standard 16-pixel set,
// or the 24-pixel one where 16 pixels would be scaled to 24 or more; the
// images it had are released.
void set_toolbar_images(HWND tb, UINT dpi)
{
    const bool large = scaled(16, dpi) >= 24;
    const int size = large ? 24 : 16;
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR16 | ILC_MASK, 4, 0);
    SendMessageW(tb, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(tb, TB_LOADIMAGES, large ? IDB_STD_LARGE_COLOR : IDB_STD_SMALL_COLOR,
                 reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    if (app.images)
        ImageList_Destroy(app.images);
    app.images = images;
}

// The toolbar with its four buttons; null (and no image list) if the
// control cannot be created, and the program goes on without it.
HWND create_toolbar(HWND parent)
{
    HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                              WS_CHILD | TBSTYLE_WRAPABLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT |
                                  TBSTYLE_LIST,
                              0, 0, 0, 0, parent, nullptr, app.instance, nullptr);
    if (!tb)
        return nullptr;

    set_toolbar_images(tb, app.dpi);
    auto button = [](int image, int command, const wchar_t *label) {
        TBBUTTON b{};
        b.iBitmap = image;
        b.idCommand = command;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_AUTOSIZE;
        b.iString = reinterpret_cast<INT_PTR>(label);
        return b;
    };
    const TBBUTTON buttons[] = {
        button(STD_DELETE, IDM_CLEAR, L"Clear"),
        button(STD_PROPERTIES, IDM_SOLVE, L"Solve"),
        button(STD_HELP, IDM_HELP, L"Help"),
        button(STD_FILEOPEN, IDM_EXIT, L"Exit"),
    };
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(tb, TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<LPARAM>(buttons));
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    ShowWindow(tb, SW_SHOW);
    return tb;
}

// Gives the edit control its font for `dpi`, releasing the one it had.
void set_edit_font(UINT dpi)
{
    HFONT font = create_edit_font(dpi);
    if (!font)
        return;
    SendMessageW(app.edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (app.font)
        DeleteObject(app.font);
    app.font = font;
}

LRESULT on_create(HWND hwnd)
{
    app.main = hwnd;
    const UINT dpi = dpi_of(hwnd);
    const bool font_fits = app.font && dpi == app.dpi;
    app.dpi = dpi;
    app.toolbar = create_toolbar(hwnd);
    app.edit = CreateWindowExW(
        0, L"edit", L"Quendle",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOHSCROLL, 0, 0, 0, 0,
        hwnd, reinterpret_cast<HMENU>(IDC_EDIT), app.instance, nullptr);
    if (!app.edit)
        return -1; // a window without its text is of no use: creation fails
    // As much text as the control can hold at all, so that no paste is cut.
    SendMessageW(app.edit, EM_SETLIMITTEXT, 0, 0);
    if (font_fits)
        SendMessageW(app.edit, WM_SETFONT, reinterpret_cast<WPARAM>(app.font), TRUE);
    else
        set_edit_font(dpi);
    SetWindowTextW(app.edit, help_text);
    return 0;
}

void on_size(int width, int height)
{
    const int bar = scaled(toolbar_height, app.dpi);
    if (app.toolbar)
        MoveWindow(app.toolbar, 0, 0, width, bar, TRUE);
    MoveWindow(app.edit, 0, bar, width, std::max(height - bar, 0), TRUE);
}

// The window has moved to a monitor of another DPI (or the DPI changed):
// font, toolbar and layout are made for `dpi`, and the window takes the
// size and place the system suggests. (The toolbar is made anew: one that
// has loaded a set of standard images once may not load it again.)
void on_dpi_changed(HWND hwnd, UINT dpi, const RECT &suggested)
{
    app.dpi = dpi;
    set_edit_font(dpi);
    if (app.toolbar) {
        DestroyWindow(app.toolbar);
        app.toolbar = create_toolbar(hwnd);
    }
    SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(hwnd, &client);
    on_size(client.right, client.bottom);
}

void on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
}

// Tooltips: the toolbar asks for each button's text by its command id; the
// answer names a string resource. Every notification is answered with 1.
LRESULT on_notify(NMHDR *hdr)
{
    static constexpr struct {
        UINT_PTR command;
        WORD tip;
    } tips[] = {{IDM_CLEAR, IDS_TIP_CLEAR},
                {IDM_SOLVE, IDS_TIP_SOLVE},
                {IDM_HELP, IDS_TIP_HELP},
                {IDM_EXIT, IDS_TIP_EXIT}};
    if (hdr->code == TTN_GETDISPINFOW) {
        auto *info = reinterpret_cast<NMTTDISPINFOW *>(hdr);
        info->hinst = app.instance;
        for (const auto &t : tips) {
            if (hdr->idFrom == t.command)
                info->lpszText = MAKEINTRESOURCEW(t.tip);
        }
    }
    return 1;
}

// The commands, and the edit control's notice that it is full. Clear and
// Help replace the whole text through the control's undo buffer.
bool on_command(HWND hwnd, int id, int code, HWND from)
{
    if (from && from == app.edit) {
        if (code != EN_MAXTEXT)
            return false;
        tell_text_full(hwnd);
        return true;
    }
    const auto length = [] { return static_cast<std::size_t>(GetWindowTextLengthW(app.edit)); };
    switch (id) {
    case IDM_ABOUT:
        show_about_box(app.instance, hwnd);
        return true;
    case IDM_EXIT:
        DestroyWindow(hwnd);
        return true;
    case IDM_CLEAR:
        replace_text(app.edit, 0, length(), L"");
        return true;
    case IDM_HELP:
        replace_text(app.edit, 0, length(), help_text);
        show_caret_at(app.edit, 0);
        return true;
    case IDM_SOLVE:
        cmd_solve(app.edit);
        return true;
    case IDM_SELECT_ALL:
        SendMessageW(app.edit, EM_SETSEL, 0, -1);
        return true;
    }
    return false;
}

// After the children are gone: the image list has no more users.
void on_nc_destroy()
{
    if (app.images)
        ImageList_Destroy(app.images);
    app.images = nullptr;
    app.main = app.toolbar = app.edit = nullptr;
}

} // namespace

LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_CREATE:
        return on_create(hwnd);
    case WM_SIZE:
        on_size(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_SETFOCUS:
        SetFocus(app.edit);
        return 0;
    case WM_PAINT:
        on_paint(hwnd);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        on_nc_destroy();
        break;
    case WM_NOTIFY:
        return on_notify(reinterpret_cast<NMHDR *>(lparam));
    case WM_COMMAND:
        if (on_command(hwnd, LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam)))
            return 0;
        break;
    case WM_DPICHANGED:
        on_dpi_changed(hwnd, LOWORD(wparam), *reinterpret_cast<const RECT *>(lparam));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

HWND create_main_window(HINSTANCE instance, int show)
{
    LoadStringW(instance, IDS_APP_TITLE, app.title, static_cast<int>(std::size(app.title)));
    LoadStringW(instance, IDS_CLASS_NAME, app.class_name,
                static_cast<int>(std::size(app.class_name)));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUENDLE));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINFRAME);
    wc.lpszClassName = app.class_name;
    // The small icon at its own size, so its 16-pixel image is used, not a
    // shrunken 32-pixel one.
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    RegisterClassExW(&wc); // registered already (a second window) is fine

    // 640 x 480 at 96 DPI, grown with the DPI: the system's first, then the
    // window's own, known once it exists (on a monitor of another DPI).
    app.instance = instance;
    const UINT dpi = dpi_of(nullptr);
    HWND hwnd = CreateWindowExW(0, app.class_name, app.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, scaled(640, dpi), scaled(480, dpi), nullptr, nullptr,
                                instance, nullptr);
    if (!hwnd)
        return nullptr;
    if (app.dpi != dpi)
        SetWindowPos(hwnd, nullptr, 0, 0, scaled(640, app.dpi), scaled(480, app.dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return hwnd;
}

int message_loop(HWND main, HACCEL accelerators)
{
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(main, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

int run(HINSTANCE instance, int show)
{
    int code = 1;
    if (HWND main = create_main_window(instance, show)) {
        HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
        code = message_loop(main, accelerators);
    } else {
        MessageBoxW(nullptr, L"Quendle could not create its window.", L"Quendle",
                    MB_OK | MB_ICONERROR);
    }
    if (app.font)
        DeleteObject(app.font);
    app.font = nullptr;
    return code;
}

} // namespace quendle
