// The text as a person edits it: a megabyte pasted through the clipboard,
// the answer in view after Solve, Ctrl+Z after Clear, Help and Solve,
// Ctrl+A, and the notice when the control is full.
#include <cstdio>
#include <random>

#include "driver.h"

using namespace driver;
using quendle::help_text;

namespace {

const std::wstring example = L"3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14";

// The report for a solution `x`, as the Solve command writes it.
std::wstring report_for(const std::vector<double> &x)
{
    std::string r = "\r\n\r\nSolution Vector:\r\n\r\n";
    char line[64];
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::snprintf(line, sizeof line, " x[%3u] : % 11.7f\r\n", static_cast<unsigned>(i), x[i]);
        r += line;
    }
    return widen(r);
}

// A diagonally dominant n x (n + 1) system with integer coefficients whose
// solution is `x` exactly (every product and sum is an integer below 2^53).
std::wstring system_for(const std::vector<double> &x, std::mt19937 &g)
{
    const std::size_t n = x.size();
    std::uniform_int_distribution<long long> off(-99999, 99999);
    std::wstring t;
    for (std::size_t i = 0; i < n; ++i) {
        long long b = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const long long a = i == j ? 100000 * static_cast<long long>(n) : off(g);
            b += a * static_cast<long long>(x[j]);
            t += std::to_wstring(a) + L' ';
        }
        t += std::to_wstring(b) + L"\r\n";
    }
    return t;
}

} // namespace

TEST_F(MainWindow, AMegabytePastedArrivesWholeAndSolves)
{
    std::mt19937 g(1000000);
    std::vector<double> x(400); // -9 to 9, not 0 (which may come out as -0)
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<double>(static_cast<int>(i % 18) - 9 + (i % 18 >= 9 ? 1 : 0));
    const std::wstring text = L"Four hundred unknowns:\r\n" + system_for(x, g);
    ASSERT_GT(text.size(), 1000000u);

    command(IDM_CLEAR);
    DialogSeen seen;
    DialogAnswer answer(seen, CloseBy::ok_button);
    ASSERT_TRUE(paste(edit(), text));
    EXPECT_FALSE(seen.seen); // no notice: nothing was cut
    const std::wstring pasted = text_of(edit());
    ASSERT_TRUE(pasted == text) << pasted.size() << " of " << text.size() << " characters";

    command(IDM_SOLVE);
    EXPECT_FALSE(seen.seen);
    const std::wstring after = text_of(edit());
    ASSERT_EQ(after.compare(0, text.size(), text), 0);
    EXPECT_TRUE(after.substr(text.size()) == report_for(x))
        << std::string(after.begin() + static_cast<std::ptrdiff_t>(text.size()), after.end());
}

TEST_F(MainWindow, TheAnswerIsInViewAfterSolve)
{
    // A system taller than the window; the view at its top.
    std::mt19937 g(60);
    std::vector<double> x(60);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<double>(i + 1);
    const std::wstring text = system_for(x, g);
    set_text(edit(), text);
    SetFocus(edit());
    SendMessageW(edit(), EM_SETSEL, 0, 0);
    SendMessageW(edit(), EM_SCROLLCARET, 0, 0);
    ASSERT_EQ(SendMessageW(edit(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    command(IDM_SOLVE);
    const std::wstring after = text_of(edit());
    ASSERT_EQ(after, text + report_for(x));
    // The caret at the end, nothing selected; the last solution line shown.
    const auto end = static_cast<DWORD>(after.size());
    EXPECT_EQ(selection_of(edit()), std::make_pair(end, end));
    EXPECT_GT(SendMessageW(edit(), EM_GETFIRSTVISIBLELINE, 0, 0), 60);
    RECT client;
    GetClientRect(edit(), &client);
    const LRESULT at = SendMessageW(edit(), EM_POSFROMCHAR, after.rfind(L" x[ 59]"), 0);
    const int y = static_cast<short>(HIWORD(at));
    EXPECT_GE(y, 0);
    EXPECT_LT(y, client.bottom);

    // What is typed next goes after the report.
    SendMessageW(edit(), WM_CHAR, L'7', 1);
    EXPECT_EQ(text_of(edit()), after + L"7");
}

TEST_F(MainWindow, ClearHelpAndSolveCanBeUndone)
{
    // Each command, then Ctrl+Z as the keyboard gives it (the edit control's
    // context menu offers Undo exactly when EM_CANUNDO says so).
    struct Step {
        int command;
        std::wstring before, after;
    };
    const std::wstring typed = L"Mine:\r\n" + example, report = report_for({3, 1, 2});
    const Step steps[] = {{IDM_CLEAR, typed, L""},
                          {IDM_HELP, typed, help_text},
                          {IDM_SOLVE, typed, typed + report},
                          {IDM_SOLVE, example + L"\r\n\r\n ERROR: Out of memory.\r\n", example + report},
                          {IDM_CLEAR, help_text, L""}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.command);
        set_text(edit(), s.before);
        command(s.command);
        EXPECT_EQ(text_of(edit()), s.after);
        EXPECT_TRUE(SendMessageW(edit(), EM_CANUNDO, 0, 0));
        press_with_control('Z');
        EXPECT_EQ(text_of(edit()), s.before);
    }
}

TEST_F(MainWindow, ControlASelectsEverything)
{
    set_text(edit(), L"Mine:\r\n" + example);
    SendMessageW(edit(), EM_SETSEL, 3, 3);
    press_with_control('A');
    EXPECT_EQ(selection_of(edit()), std::make_pair(DWORD{0}, DWORD(7 + example.size())));
    // And typing then replaces it all, as anywhere else.
    SendMessageW(edit(), WM_CHAR, L'x', 1);
    EXPECT_EQ(text_of(edit()), L"x");
}

TEST_F(MainWindow, AFullControlSaysSo)
{
    // The control refuses what goes past its limit; the user is told, once
    // for each keystroke or paste that did not fit, and the text stays as
    // far as it fits.
    SendMessageW(edit(), EM_SETLIMITTEXT, 12, 0);
    set_text(edit(), L"");
    for (bool by_paste : {false, true}) {
        SCOPED_TRACE(by_paste);
        SendMessageW(edit(), EM_SETSEL, 0, -1);
        SendMessageW(edit(), WM_CLEAR, 0, 0);
        DialogSeen seen;
        {
            DialogAnswer answer(seen, CloseBy::ok_button);
            if (by_paste) {
                ASSERT_TRUE(paste(edit(), L"3 2 -4 3 2 3 3 15"));
            } else {
                for (wchar_t c : std::wstring(L"3 2 -4 3 2 3 3 15"))
                    SendMessageW(edit(), WM_CHAR, c, 1);
            }
        }
        EXPECT_EQ(seen.count, by_paste ? 1 : 5);
        EXPECT_FALSE(seen.forced);
        EXPECT_EQ(seen.owner, main());
        EXPECT_EQ(seen.caption, L"Quendle");
        ASSERT_FALSE(seen.texts.empty());
        EXPECT_EQ(seen.texts.back(), L"This window holds as much text as it can: what was typed or "
                                     L"pasted last did not fit, and was not added in full.");
        EXPECT_EQ(text_of(edit()), L"3 2 -4 3 2 3");
    }
}
