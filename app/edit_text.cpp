#include "edit_text.h"

namespace quendle {

void replace_text(HWND edit, std::size_t from, std::size_t to, const wchar_t *text)
{
    SendMessageW(edit, EM_SETSEL, from, static_cast<LPARAM>(to));
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
}

void show_caret_at(HWND edit, std::size_t at)
{
    SendMessageW(edit, EM_SETSEL, at, static_cast<LPARAM>(at));
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

} // namespace quendle
