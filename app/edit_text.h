// Changes the window program makes to the text of its edit control, each
// through the control's undo buffer, so that Ctrl+Z (or the context menu's
// Undo) brings back the text as it was.
#ifndef QUENDLE_EDIT_TEXT_H
#define QUENDLE_EDIT_TEXT_H

#include <windows.h>

#include <cstddef>

namespace quendle {

// Replaces the characters [from, to) of `edit` with `text` (select, then
// EM_REPLACESEL with undo allowed); the caret then stands after `text`.
void replace_text(HWND edit, std::size_t from, std::size_t to, const wchar_t *text);

// Puts the caret, with nothing selected, at character `at` of `edit` and
// scrolls it into view.
void show_caret_at(HWND edit, std::size_t at);

} // namespace quendle

#endif
