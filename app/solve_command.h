// The Solve command of quendle.exe: the edit control's text in, the same
// text with the report appended out.
#ifndef QUENDLE_SOLVE_COMMAND_H
#define QUENDLE_SOLVE_COMMAND_H

#include <windows.h>

#include <cstddef>
#include <string>

namespace quendle {

// Reads the whole text of `edit`, solves the system it holds and writes the
// report after it (solve_core.h), in place of a report of this program's
// that ended the text, through the control's undo buffer; the user's
// characters stay as they were. The caret then stands at the end, the
// report in view. If memory runs out the text is left as it was and a
// message box says so.
void cmd_solve(HWND edit);

// The narrow text the scanner reads for `len` UTF-16 units of `text`:
// U+0001 to U+00FF become the byte of the same value, every other unit
// becomes scan_filler.
std::string scan_text(const wchar_t *text, std::size_t len);

// Stands for a character the scanner cannot read as a byte: it starts no
// number and is neither whitespace nor a line end, so it separates numbers
// like any other letter.
constexpr char scan_filler = '?';

} // namespace quendle

#endif
