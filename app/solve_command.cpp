#include "solve_command.h"

#include <memory>
#include <new>

#include "buf.h"
#include "edit_text.h"
#include "solve_core.h"

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

    const std::string narrow = scan_text(text.get(), got);
    const solve_outcome out = solve_text(narrow.c_str(), narrow.size());

    // The report (ASCII) after the user's text, in place of the old report
    // if the text ended with one; the user's characters are not rewritten.
    // (Every unit of the text is one byte of `narrow`, so its offsets are
    // the control's.)
    const std::size_t n = out.report.size();
    wide_buffer report = new_wide(nullptr, 0, n + 1);
    for (std::size_t i = 0; i < n; ++i)
        report[i] = static_cast<unsigned char>(out.report[i]);
    replace_text(edit, out.kept, got, report.get());
    show_caret_at(edit, out.kept + n);
}

} // namespace

std::string scan_text(const wchar_t *text, std::size_t len)
{
    std::string narrow(len, scan_filler);
    for (std::size_t i = 0; i < len; ++i) {
        if (text[i] > 0 && text[i] <= 0xFF)
            narrow[i] = static_cast<char>(text[i]);
    }
    return narrow;
}

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
