// Drives quendle.exe's real main window inside the test process: creates it,
// sends it messages, reads the controls back, and answers modal dialogs from
// a thread timer that runs inside the dialog's own message loop.
#ifndef QUENDLE_TESTS_WINDOW_DRIVER_H
#define QUENDLE_TESTS_WINDOW_DRIVER_H

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "window.h"

namespace driver {

std::wstring text_of(HWND hwnd);
void set_text(HWND hwnd, const std::wstring &text);
std::wstring widen(const std::string &s);

// A command as the menu, the toolbar and the accelerators send it.
LRESULT command(int id);

// Puts `text` on the clipboard and pastes it into `edit` (WM_PASTE, as
// Ctrl+V and the context menu do); false when the clipboard refused it.
bool paste(HWND edit, const std::wstring &text);

// A key pressed with Ctrl held, as the message loop takes it: through the
// accelerators, else translated into characters for the edit control.
void press_with_control(UINT key);

// The edit control's selection, [first, second).
std::pair<DWORD, DWORD> selection_of(HWND edit);

// From now on every operator new of `bytes` or more throws std::bad_alloc
// (SIZE_MAX: none does).
void fail_allocations_from(std::size_t bytes);

// Removes every queued message of the thread, WM_QUIT included.
void drain_messages();

// Refuses the creation of windows of one class on this thread while alive.
class RefuseWindows {
public:
    explicit RefuseWindows(const wchar_t *class_name);
    ~RefuseWindows();
    RefuseWindows(const RefuseWindows &) = delete;
    RefuseWindows &operator=(const RefuseWindows &) = delete;
};

// What a modal dialog looked like when it came up, and how it was closed.
struct DialogSeen {
    bool seen = false;   // a dialog came up at all (the fields below describe the first)
    int count = 0;       // how many came up, one after another
    bool forced = false; // the requested way did not close one
    std::wstring caption;
    std::vector<std::wstring> texts; // the static controls' texts, in order
    bool has_icon = false;           // a static control shows an icon
    HWND owner = nullptr;
    bool owner_enabled = true; // false while a modal dialog is up
};

enum class CloseBy { ok_button, enter, escape };

// Watches for dialogs of this thread while alive; when one comes up it is
// counted (the first recorded) into `seen` and closed `how`.
class DialogAnswer {
public:
    DialogAnswer(DialogSeen &seen, CloseBy how);
    ~DialogAnswer();
    DialogAnswer(const DialogAnswer &) = delete;
    DialogAnswer &operator=(const DialogAnswer &) = delete;

private:
    UINT_PTR timer_;
};

// Each test gets a fresh main window, shown, with the focus elsewhere.
class MainWindow : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND main() const { return quendle::app.main; }
    HWND edit() const { return quendle::app.edit; }
    HWND toolbar() const { return quendle::app.toolbar; }
};

} // namespace driver

#endif
