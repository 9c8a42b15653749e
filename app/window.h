// quendle.exe's main window: the program's handles, start-up, the window
// procedure and the message loop. The entry point (winmain.cpp) only calls run().
#ifndef QUENDLE_WINDOW_H
#define QUENDLE_WINDOW_H

#include <windows.h>

#include <commctrl.h>

namespace quendle {

// Everything the window program holds from start to exit.
struct app_state {
    HFONT font = nullptr;         // the edit control's font, first made (at 96 DPI) before the
                                  // entry point runs, made again for the window's DPI
    UINT dpi = 96;                // the DPI the window's font, toolbar and layout are made for
    HINSTANCE instance = nullptr; // the module the resources come from
    HWND main = nullptr;          // the top-level window
    HWND toolbar = nullptr;       // null when the toolbar could not be created
    HWND edit = nullptr;          // the text the user works on
    HIMAGELIST images = nullptr;  // the toolbar's button images
    WCHAR title[100] = {};        // string IDS_APP_TITLE
    WCHAR class_name[100] = {};   // string IDS_CLASS_NAME
};

extern app_state app;

// Shown at start and by the Help command.
extern const wchar_t help_text[];

// The toolbar's height as the window lays it out at 96 DPI (it grows with
// the DPI); the edit control fills the client area below it.
constexpr int toolbar_height = 40;

// The edit font's height in pixels at 96 DPI (it grows with the DPI).
constexpr int font_height = 13;

// `pixels` at 96 DPI, for `dpi`.
inline int scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// The DPI of `hwnd` (of the system for a null window, or where Windows
// cannot tell it per window).
UINT dpi_of(HWND hwnd);

// Tells the user, owner `owner`, that the edit control holds all the text it
// can, so that what was typed or pasted last was cut.
void tell_text_full(HWND owner);

// Loads the title and class name, registers the class and creates the main
// window with its toolbar and edit control, shown with `show`. Returns the
// window, or null when it could not be created.
HWND create_main_window(HINSTANCE instance, int show);

// Runs the thread's messages, trying the accelerators for `main` first,
// until the quit message arrives; returns its exit code.
int message_loop(HWND main, HACCEL accelerators);

// The whole program: creates the window, runs the loop, releases the font.
// Returns the exit code: the quit message's, or 1 when there is no window.
int run(HINSTANCE instance, int show);

// The main window's procedure.
LRESULT CALLBACK main_window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

} // namespace quendle

#endif
