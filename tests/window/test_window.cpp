// The main window: start-up, layout, focus, toolbar, tooltips, font, the
// Clear/Help/Solve commands, and the ways the program ends.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "driver.h"
#include "solve_command.h"
#include "utf16.h"

using namespace driver;
using quendle::app;
using quendle::help_text;

namespace {

const std::wstring example = L"3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14";
const std::wstring example_report = L"\r\n\r\nSolution Vector:\r\n\r\n"
                                    L" x[  0] :   3.0000000\r\n"
                                    L" x[  1] :   1.0000000\r\n"
                                    L" x[  2] :   2.0000000\r\n";

std::wstring error_line(const std::wstring &why) { return L"\r\n\r\n ERROR: " + why + L"\r\n"; }

RECT client_rect_of(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

// A file of the console tool's tests, byte for byte.
std::wstring file_text(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return widen(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The bytes of a file of the console tool's tests.
std::string file_bytes(const std::string &name)
{
    std::ifstream in(QUENDLE_DATA_DIR + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The help text as the console tool's tests hold it.
std::wstring help_file() { return file_text(QUENDLE_HELP_FILE); }

} // namespace

TEST_F(MainWindow, StartsWithTheHelpText)
{
    EXPECT_EQ(text_of(edit()), help_text);
    EXPECT_EQ(std::wstring(help_text), help_file());
    EXPECT_EQ(text_of(main()), L"Quendle");
    RECT r;
    GetWindowRect(main(), &r);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
}

TEST_F(MainWindow, ClearAndHelpReplaceTheText)
{
    command(IDM_CLEAR);
    EXPECT_EQ(text_of(edit()), L"");
    set_text(edit(), L"anything at all");
    command(IDM_HELP);
    EXPECT_EQ(text_of(edit()), help_text);
    command(IDM_HELP);
    EXPECT_EQ(text_of(edit()), help_text);
}

TEST_F(MainWindow, SolveAppendsTheReport)
{
    set_text(edit(), example);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), example + example_report);

    // The help text's "or" line holds no number; the window stays. (Its
    // example's report is taken for one of this program's and replaced.)
    command(IDM_HELP);
    command(IDM_SOLVE);
    EXPECT_TRUE(IsWindow(main()));
    const std::wstring help = help_text;
    EXPECT_EQ(text_of(edit()), help.substr(0, help.rfind(L"\r\n\r\nSolution Vector:")) +
                                   error_line(L"Invalid Format: line 9 holds no number."));

    command(IDM_CLEAR);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), error_line(L"Invalid Format or Matrix Not Found."));
}

TEST_F(MainWindow, SolveAgainReplacesItsReport)
{
    // Twice, and after line ends typed below the report: one report.
    set_text(edit(), example);
    command(IDM_SOLVE);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), example + example_report);
    SendMessageW(edit(), WM_CHAR, VK_RETURN, 1);
    SendMessageW(edit(), WM_CHAR, VK_RETURN, 1);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), example + example_report);

    // A typo fixed above the old report, as a person fixes it: the caret
    // put on it, the wrong characters selected and typed over.
    const std::wstring typos[][2] = {{L"5,-3,1,1.4", L"14"}, {L"5,-3,1,..14", L"14"},
                                     {L"5,-3,1", L",14"}};
    for (const auto &[typo, fix] : typos) {
        const std::wstring text = L"Heading\r\n3,2,-4,3\r\n2,3,3,15\r\n" + typo;
        set_text(edit(), text);
        command(IDM_SOLVE);
        const std::wstring first = text_of(edit());
        ASSERT_NE(first, text + example_report);
        const std::size_t from = fix[0] == L',' ? text.size() : text.rfind(L',') + 1;
        SendMessageW(edit(), EM_SETSEL, from, static_cast<LPARAM>(text.size()));
        for (wchar_t c : fix)
            SendMessageW(edit(), WM_CHAR, c, 1);
        command(IDM_SOLVE);
        EXPECT_EQ(text_of(edit()),
                  L"Heading\r\n3,2,-4,3\r\n2,3,3,15\r\n5,-3,1,14" + example_report)
            << std::string(first.begin(), first.end());
    }
}

TEST_F(MainWindow, SolveWarnsLikeTheConsoleTool)
{
    // A matrix close to singular: the same report, warning included, as
    // quendle-solve writes for the same text.
    const std::wstring text = file_text(QUENDLE_DATA_DIR "hilbert12.txt");
    ASSERT_FALSE(text.empty());
    set_text(edit(), text);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), text + file_text(QUENDLE_DATA_DIR "hilbert12.report"));
}

TEST_F(MainWindow, SolveWritesWhatTheConsoleToolWrites)
{
    // Equations (with U+2212 and Greek names), systems of every case and
    // shape, and their reports solved again: the window's text afterwards,
    // in UTF-8, is quendle-solve's output for the same input, byte for byte.
    struct Case {
        const char *input, *kept, *report;
    };
    const Case cases[] = {{"equations.txt", "equations.txt", "equations.report"},
                          {"greek.txt", "greek.txt", "greek.report"},
                          {"greek_again.txt", "greek.txt", "greek.report"},
                          {"general.txt", "general.txt", "general.report"},
                          {"general_again.txt", "general.txt", "general.report"},
                          {"singular.txt", "singular.txt", "singular.report"},
                          {"nosolution.txt", "nosolution.txt", "nosolution.report"},
                          {"overdetermined.txt", "overdetermined.txt", "overdetermined.report"},
                          {"underdetermined.txt", "underdetermined.txt", "underdetermined.report"}};
    for (const Case &c : cases) {
        const std::string input = file_bytes(c.input);
        ASSERT_FALSE(input.empty()) << c.input;
        set_text(edit(), quendle::utf16_of<wchar_t>(input));
        command(IDM_SOLVE);
        const std::wstring after = text_of(edit());
        EXPECT_EQ(quendle::utf8_of(after.data(), after.size()), file_bytes(c.kept) + file_bytes(c.report))
            << c.input;
    }
}

TEST_F(MainWindow, SolveNamesUnknownsBeyondTheBasicPlane)
{
    // Surrogate pairs and characters above U+00FF before the report: the
    // text stays as it was, the report names the unknowns, the caret ends
    // after it, and Solve again, or after a fix above the report, leaves one.
    const std::wstring heading = L"Heading \xD83D\xDE00 \u4e2d\u00e9:\r\n";
    const std::wstring x = L"\xD835\xDC65", y = L"\xD835\xDC66";
    const std::wstring text = heading + L"2" + x + L" + 3" + y + L" = 8\r\n" + x + L" \u2212 " + y +
                              L" = \u22121";
    const std::wstring report = L"\r\n\r\nSolution Vector:\r\n\r\n " + x + L" :   1.0000000\r\n " +
                                y + L" :   2.0000000\r\n";
    set_text(edit(), text);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), text + report);
    const auto end = static_cast<DWORD>(text.size() + report.size());
    EXPECT_EQ(selection_of(edit()), std::make_pair(end, end));
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), text + report);

    // The second equation made the first one twice over: a general solution.
    const std::size_t second = text.find(x + L" \u2212");
    SendMessageW(edit(), EM_SETSEL, second, static_cast<LPARAM>(text.size()));
    const std::wstring twice = L"4" + x + L" + 6" + y + L" = 16";
    for (wchar_t c : twice)
        SendMessageW(edit(), WM_CHAR, c, 1);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), text.substr(0, second) + twice +
                                   L"\r\n\r\nGeneral Solution:\r\n\r\n " + x +
                                   L" :   4.0000000 - 1.5000000 " + y + L"\r\n " + y +
                                   L" :        free\r\n");
}

TEST_F(MainWindow, SolveKeepsLongTexts)
{
    // The control takes as much text as it can hold at all, not its default
    // 30000 or 32767 characters.
    const auto limit = static_cast<std::size_t>(SendMessageW(edit(), EM_GETLIMITTEXT, 0, 0));
    EXPECT_GE(limit, 0x7FFFFFFEu);
    const std::wstring text = std::wstring(40000, L'=') + L"\r\n" + example;
    set_text(edit(), text);
    DialogSeen seen;
    {
        DialogAnswer answer(seen, CloseBy::ok_button);
        command(IDM_SOLVE);
    }
    EXPECT_FALSE(seen.seen); // (the notice that the control is full)
    EXPECT_EQ(text_of(edit()), text + example_report);
}

TEST_F(MainWindow, SolveKeepsCharactersAboveLatin1)
{
    // As a heading, inside a row (where it separates numbers) and in Latin-1.
    const std::wstring text =
        L"\u4e2d\u6587 \u00e9\u00ff:\r\n3\u4e2d2,-4,3\r\n2,3,3,15\r\n5,-3,1,14";
    set_text(edit(), text);
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), text + example_report);

    set_text(edit(), L"\u4e2d");
    command(IDM_SOLVE);
    EXPECT_EQ(text_of(edit()), L"\u4e2d" + error_line(L"Invalid Format or Matrix Not Found."));
}

TEST(ScanText, TheCoreReadsUtf8)
{
    const wchar_t text[] = L"a\u00e9\u4e2d\u00ff 1\xd834\xdd1e.5\xd834";
    EXPECT_EQ(quendle::utf8_of(text, std::size(text) - 1),
              "a\xC3\xA9\xE4\xB8\xAD\xC3\xBF 1\xF0\x9D\x84\x9E.5?");
    EXPECT_EQ(quendle::utf8_of(L"", 0), "");
}

TEST_F(MainWindow, SolveWithoutMemoryLeavesTheTextAndSaysSo)
{
    const std::wstring text = std::wstring(50000, L'=') + L"\r\n" + example;
    set_text(edit(), text);
    DialogSeen seen;
    {
        DialogAnswer answer(seen, CloseBy::ok_button);
        fail_allocations_from(60000); // the text's own buffer is about 100000 bytes
        command(IDM_SOLVE);
        fail_allocations_from(SIZE_MAX);
    }
    EXPECT_TRUE(seen.seen);
    EXPECT_FALSE(seen.forced);
    EXPECT_EQ(seen.owner, main());
    EXPECT_EQ(seen.caption, L"Quendle");
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ(seen.texts.back(),
              L"Not enough memory to solve this system. The text was left as it was.");
    EXPECT_EQ(text_of(edit()), text);
}

TEST_F(MainWindow, LayoutFollowsTheSize)
{
    // What the window asks of the toolbar; the control may then set its own
    // height, as toolbars without CCS_NORESIZE do.
    static std::vector<WINDOWPOS> requests;
    static WNDPROC toolbar_proc;
    toolbar_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        toolbar(), GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_WINDOWPOSCHANGING &&
                !(reinterpret_cast<WINDOWPOS *>(l)->flags & SWP_NOSIZE))
                requests.push_back(*reinterpret_cast<WINDOWPOS *>(l));
            return CallWindowProcW(toolbar_proc, h, m, w, l);
        })));

    for (auto [w, h] : {std::pair{500, 300}, {800, 600}, {321, 123}, {640, 41}, {200, 10}}) {
        requests.clear();
        SendMessageW(main(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h));
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.front().x, 0);
        EXPECT_EQ(requests.front().y, 0);
        EXPECT_EQ(requests.front().cx, w);
        EXPECT_EQ(requests.front().cy, 40);
        RECT e = client_rect_of(edit());
        EXPECT_EQ(e.left, 0);
        EXPECT_EQ(e.top, 40);
        EXPECT_EQ(e.right, w);
        EXPECT_EQ(e.bottom, std::max(h, 40)) << w << " x " << h;
    }

    // A real resize: the edit control fills the client area below the bar.
    SetWindowPos(main(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    RECT c, e = client_rect_of(edit());
    GetClientRect(main(), &c);
    EXPECT_EQ(e.top, 40);
    EXPECT_EQ(e.right, c.right);
    EXPECT_EQ(e.bottom, c.bottom);
    SetWindowLongPtrW(toolbar(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(toolbar_proc));
}

TEST_F(MainWindow, FocusIsHandedToTheEdit)
{
    SetFocus(nullptr);
    SetFocus(main());
    EXPECT_EQ(GetFocus(), edit());
    SendMessageW(main(), WM_SETFOCUS, 0, 0);
    EXPECT_EQ(GetFocus(), edit());
}

TEST_F(MainWindow, ToolbarHasFourButtons)
{
    ASSERT_TRUE(toolbar());
    EXPECT_TRUE(IsWindowVisible(toolbar()));

    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar(), TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(images);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
    EXPECT_GT(ImageList_GetImageCount(images), STD_HELP);

    struct Want {
        int command, image;
        const wchar_t *label;
    };
    const Want want[] = {{IDM_CLEAR, STD_DELETE, L"Clear"},
                         {IDM_SOLVE, STD_PROPERTIES, L"Solve"},
                         {IDM_HELP, STD_HELP, L"Help"},
                         {IDM_EXIT, STD_FILEOPEN, L"Exit"}};
    ASSERT_EQ(SendMessageW(toolbar(), TB_BUTTONCOUNT, 0, 0), 4);
    for (int i = 0; i < 4; ++i) {
        TBBUTTON b{};
        ASSERT_TRUE(SendMessageW(toolbar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)));
        EXPECT_EQ(b.idCommand, want[i].command);
        EXPECT_EQ(b.iBitmap, want[i].image);
        EXPECT_TRUE(b.fsState & TBSTATE_ENABLED);
        wchar_t label[32] = {};
        SendMessageW(toolbar(), TB_GETBUTTONTEXTW, b.idCommand, reinterpret_cast<LPARAM>(label));
        EXPECT_STREQ(label, want[i].label);
    }

    // A click on "Clear" reaches the window as its command.
    RECT r;
    SendMessageW(toolbar(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(toolbar(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(toolbar(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(text_of(edit()), L"");
}

TEST_F(MainWindow, TooltipsComeFromTheStringTable)
{
    const std::pair<int, const wchar_t *> tips[] = {{IDM_CLEAR, L"Clear All Text From Window"},
                                                    {IDM_SOLVE, L"Solve System of Equations Shown"},
                                                    {IDM_HELP, L"Display Initial Help Message"},
                                                    {IDM_EXIT, L"Exit Solver"}};
    for (auto [id, text] : tips) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = toolbar();
        info.hdr.idFrom = id;
        info.hdr.code = TTN_GETDISPINFOW;
        EXPECT_EQ(SendMessageW(main(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)), 1);
        ASSERT_TRUE(IS_INTRESOURCE(info.lpszText));
        EXPECT_EQ(info.hinst, GetModuleHandleW(nullptr));
        wchar_t loaded[64] = {};
        LoadStringW(info.hinst, LOWORD(reinterpret_cast<UINT_PTR>(info.lpszText)), loaded, 64);
        EXPECT_STREQ(loaded, text);
    }
    NMTTDISPINFOW other{};
    other.hdr.idFrom = IDM_ABOUT;
    other.hdr.code = TTN_GETDISPINFOW;
    other.lpszText = other.szText;
    SendMessageW(main(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(other.lpszText, other.szText);
}

TEST_F(MainWindow, EditUsesTheFixedPitchFont)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(edit(), WM_GETFONT, 0, 0));
    ASSERT_EQ(font, app.font);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, L"DejaVu Sans Mono");
    EXPECT_EQ(lf.lfHeight, 13);
    EXPECT_EQ(lf.lfPitchAndFamily & 3, FIXED_PITCH);

    // And the system has that face (fonts-dejavu-core).
    HDC dc = GetDC(edit());
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(edit(), dc);
    EXPECT_STREQ(face, L"DejaVu Sans Mono");
    EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH); // (set means variable pitch)
}

TEST_F(MainWindow, MissingChildWindows)
{
    DestroyWindow(main());
    drain_messages();
    {
        // Without a toolbar the program goes on, the edit control in its place.
        RefuseWindows no_toolbar(TOOLBARCLASSNAMEW);
        ASSERT_TRUE(quendle::create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
        EXPECT_FALSE(toolbar());
        EXPECT_FALSE(app.images);
        SendMessageW(main(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
        RECT e = client_rect_of(edit());
        EXPECT_EQ(e.top, 40);
        EXPECT_EQ(e.bottom, 200);
        EXPECT_EQ(text_of(edit()), help_text);
        DestroyWindow(main());
        drain_messages();
    }
    // Without the edit control there is nothing to work with: no window.
    RefuseWindows no_edit(L"Edit");
    EXPECT_FALSE(quendle::create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    EXPECT_FALSE(app.main);
    EXPECT_FALSE(app.images); // released with the window that was not made
}

TEST_F(MainWindow, ExitAndCloseEndTheLoopWithZero)
{
    HACCEL accel = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    PostMessageW(main(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(quendle::message_loop(main(), accel), 0);
    EXPECT_FALSE(app.main);
    EXPECT_FALSE(app.images);
    // The font outlives the window; run() releases it at the very end.
    EXPECT_EQ(GetObjectType(app.font), static_cast<DWORD>(OBJ_FONT));

    ASSERT_TRUE(quendle::create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    HWND second = main();
    PostMessageW(second, WM_CLOSE, 0, 0);
    EXPECT_EQ(quendle::message_loop(second, accel), 0);
    EXPECT_FALSE(IsWindow(second));
}

// The whole program, in a child process: ended by Exit it returns 0 and has
// released its font; without a window it says so and returns 1.
TEST(Program, RunEndsWithZeroAfterExit)
{
    EXPECT_EXIT(
        {
            SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
                PostMessageW(app.main, WM_COMMAND, IDM_EXIT, 0);
            });
            HFONT font = app.font;
            int code = quendle::run(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
            std::exit(code == 0 && !app.font && GetObjectType(font) == 0 ? 0 : 10 + code);
        },
        testing::ExitedWithCode(0), "");
}

TEST(Program, RunWithoutAWindowReturnsOne)
{
    EXPECT_EXIT(
        {
            RefuseWindows nothing(L"Quendle");
            DialogSeen seen;
            DialogAnswer answer(seen, CloseBy::ok_button);
            int code = quendle::run(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
            std::exit(seen.seen && !seen.forced ? code : 10 + code);
        },
        testing::ExitedWithCode(1), "");
}
