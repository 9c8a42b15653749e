// The Solve command of quendle.exe: the edit control's text in (to the
// Solve core as UTF-8), the same text with the report appended out.
#ifndef QUENDLE_SOLVE_COMMAND_H
#define QUENDLE_SOLVE_COMMAND_H

#include <windows.h>

namespace quendle {

// Reads the whole text of `edit`, solves the system it holds and writes the
// report after it (solve_core.h), in place of a report of this program's
// that ended the text, through the control's undo buffer; the user's
// characters stay as they were. The caret then stands at the end, the
// report in view. If memory runs out the text is left as it was and a
// message box says so.
void cmd_solve(HWND edit);

} // namespace quendle

#endif
