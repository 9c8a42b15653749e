// A long run of the real window: hundreds of Solve, Clear and Help commands
// on generated texts. After every Solve the text must begin with what was
// there before (less the report of this program's that ended it, which
// Solve replaces) and end in a solution, a general solution or one error line;
// the window must stay alive throughout.
#include <random>

#include "driver.h"
#include "solve_command.h"
#include "solve_core.h"
#include "utf16.h"

using namespace driver;
using quendle::help_text;

namespace {

std::wstring generated_text(std::mt19937 &g, int kind)
{
    std::uniform_int_distribution<int> small(-9, 9), size(1, 6);
    std::wstring t;
    int n = size(g);
    switch (kind) {
    case 0: // a system, sometimes with a heading
        if (g() % 2)
            t += L"System of " + std::to_wstring(n) + L":\r\n";
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j <= n; ++j)
                t += std::to_wstring(small(g) + (i == j ? 20 : 0)) + (j < n ? L", " : L"\r\n");
        }
        break;
    case 1: // ragged rows
        for (int i = 0; i < n + 1; ++i) {
            for (int j = 0; j < 1 + static_cast<int>(g() % 5); ++j)
                t += std::to_wstring(small(g)) + L" ";
            t += L"\r\n";
        }
        break;
    case 2: // singular: the second row repeats the first
        t = L"1 2 3\r\n1 2 3\r\n";
        break;
    case 3: // a huge line
        t = L"2" + std::wstring(20000 + g() % 5000, L' ') + L"6\r\n";
        break;
    case 4: // characters above U+00FF in a heading and inside a row
        t = L"\x4E2D\x6587 \x03A3 x:\r\n2 \x2212 6\r\n";
        break;
    case 5: // equations in names of every plane, U+2212, of any rank
        t = L"\xD835\xDC65 + 2\x03B2 \x2212 \x4E2D = " + std::to_wstring(small(g)) + L"\r\n";
        if (g() % 2)
            t += L"2\xD835\xDC65 + 4\x03B2 = " + std::to_wstring(small(g)) + L"\r\n";
        break;
    case 6: // fewer or more equations than unknowns
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < 3; ++j)
                t += std::to_wstring(small(g)) + L" ";
            t += L"\r\n";
        }
        break;
    default: // numbers out of range, malformed numbers, words
        t = (g() % 2) ? L"1 1e999\r\n" : L"words .. and -.x\r\n1 ..5\r\n";
        break;
    }
    return t;
}

bool ends_in_a_report(const std::wstring &added)
{
    for (const std::wstring opening :
         {L"\r\n\r\nSolution Vector:\r\n\r\n", L"\r\n\r\nGeneral Solution:\r\n\r\n"})
        if (added.rfind(opening, 0) == 0)
            return added.size() > opening.size() && added.compare(added.size() - 2, 2, L"\r\n") == 0;
    if (added.rfind(L"\r\n\r\n ERROR: ", 0) == 0)
        return added.find(L"\r\n", 12) == added.size() - 2;
    return false;
}

} // namespace

TEST_F(MainWindow, StressOfSolveClearAndHelp)
{
    std::mt19937 g(20261208);
    int solves = 0;
    for (int step = 0; step < 420; ++step) {
        SCOPED_TRACE(step);
        unsigned what = g() % 10;
        if (what == 0) {
            command(IDM_CLEAR);
            ASSERT_EQ(text_of(edit()), L"");
        } else if (what == 1) {
            command(IDM_HELP);
            ASSERT_EQ(text_of(edit()), help_text);
        } else {
            // Mostly a fresh text; sometimes Solve again on what is there.
            if (what > 3)
                set_text(edit(), generated_text(g, static_cast<int>(g() % 8)));
            std::wstring before = text_of(edit());
            if (before.size() > 200000) // keep repeated reports from growing forever
                set_text(edit(), before = generated_text(g, 0));
            command(IDM_SOLVE);
            ++solves;
            const std::string utf8 = quendle::utf8_of(before.data(), before.size());
            const std::size_t kept = quendle::units_before(
                before.data(), before.size(), quendle::report_start(utf8.data(), utf8.size()));
            if (what > 3) { // a fresh text: nothing of it is a report
                ASSERT_EQ(kept, before.size());
            }
            std::wstring after = text_of(edit());
            ASSERT_GE(after.size(), kept);
            ASSERT_EQ(after.compare(0, kept, before, 0, kept), 0);
            ASSERT_TRUE(ends_in_a_report(after.substr(kept)))
                << "appended: " << std::string(after.begin() + static_cast<std::ptrdiff_t>(kept),
                                               after.end());
        }
        ASSERT_TRUE(IsWindow(main()));
        ASSERT_TRUE(IsWindow(edit()));
    }
    EXPECT_GE(solves, 300);
}
