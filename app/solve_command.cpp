#include "solve_command.h"

#include <memory>
#include <new>
#include <string>

#include "buf.h"
#include "edit_text.h"
#include "solve_core.h"
#include "utf16.h"

namespace quendle {

namespace {

struct buf_deleter {
    void operator()(wchar_t *p) const noexcept { buf_free(p); }
};
using wide_buffer = std::unique_ptr<wchar_t[], buf_deleter>;

wide_buffer new_wide(wide_buffer old, std::size_t old_len, std::size_t new_len)
{
    void *p = buf_resize(old.get(), sizeof(wchar_t), old_len, new_len);
    old.release(); // buf_resize has released it
    return wide_buffer(static_cast<wchar_t *>(p));
}

void solve_edit_text(HWND edit)
{
    // The whole text, by its own length.
    const std::size_t length = static_cast<std::size_t>(GetWindowTextLengthW(edit));
    wide_buffer text = new_wide(nullptr, 0, length + 1);
    const std::size_t got = static_cast<std::size_t>(
        SendMessageW(edit, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.get())));

    const std::string utf8 = utf8_of(text.get(), got);
    const solve_outcome out = solve_text(utf8.data(), utf8.size());

    // The report after the user's text, in place of the old report if the
    // text ended with one; the user's characters are not rewritten. (What
    // the core keeps is counted in bytes of UTF-8, the control's places in
    // UTF-16 units.)
    const std::size_t kept = units_before(text.get(), got, out.kept);
    const std::wstring report = utf16_of<wchar_t>(out.report);
    replace_text(edit, kept, got, report.c_str());
    show_caret_at(edit, kept + report.size());
}

} // namespace

void cmd_solve(HWND edit)
{
    try {
        solve_edit_text(edit);
    } catch (const std::bad_alloc &) {
        MessageBoxW(GetAncestor(edit, GA_ROOT),
                    L"Not enough memory to solve this system. The text was left as it was.",
                    L"Quendle", MB_OK | MB_ICONERROR);
    }
}

} // namespace quendle
