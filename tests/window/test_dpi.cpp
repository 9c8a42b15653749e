// The window at its DPI: its size, the edit font's height, the toolbar's
// images and height follow it, at start and when the window moves to a
// monitor of another DPI. The whole suite runs at Wine's 96 DPI; this file
// runs again at 144 DPI (LogPixels) in a Wine prefix of its own, which sets
// QUENDLE_TEST_DPI to the DPI the system must report.
#include <cstdlib>

#include "driver.h"

using namespace driver;
using quendle::app;

namespace {

// What the window must look like at `dpi`.
void expect_made_for(UINT dpi)
{
    SCOPED_TRACE(dpi);
    LOGFONTW lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(app.edit, WM_GETFONT, 0, 0));
    ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, MulDiv(13, static_cast<int>(dpi), 96));
    EXPECT_STREQ(lf.lfFaceName, L"DejaVu Sans Mono");
    EXPECT_EQ(font, app.font);

    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(app.toolbar, TB_GETIMAGELIST, 0, 0));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, dpi >= 144 ? 24 : 16);
    EXPECT_EQ(cy, cx);
    EXPECT_GT(ImageList_GetImageCount(images), STD_HELP);

    RECT e;
    GetWindowRect(app.edit, &e);
    MapWindowPoints(HWND_DESKTOP, app.main, reinterpret_cast<POINT *>(&e), 2);
    EXPECT_EQ(e.top, MulDiv(40, static_cast<int>(dpi), 96));
}

// The main window's size: 640 x 480 at 96 DPI.
void expect_window_size_for(UINT dpi)
{
    RECT w;
    GetWindowRect(app.main, &w);
    EXPECT_EQ(w.right - w.left, MulDiv(640, static_cast<int>(dpi), 96));
    EXPECT_EQ(w.bottom - w.top, MulDiv(480, static_cast<int>(dpi), 96));
}

} // namespace

TEST_F(MainWindow, FontAndToolbarFollowTheDpi)
{
    const UINT dpi = quendle::dpi_of(main());
    if (const char *want = std::getenv("QUENDLE_TEST_DPI")) {
        EXPECT_EQ(dpi, static_cast<UINT>(std::atoi(want)));
    }
    expect_made_for(dpi);
    expect_window_size_for(dpi);

    // As the system announces a move to another monitor: the suggested
    // rectangle taken, everything made anew, the fonts left behind released.
    for (UINT to : {144u, 192u, dpi, 120u}) {
        HFONT before = app.font;
        const RECT r{20, 30, 20 + MulDiv(640, static_cast<int>(to), 96),
                     30 + MulDiv(480, static_cast<int>(to), 96)};
        SendMessageW(main(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&r));
        expect_made_for(to);
        RECT w;
        GetWindowRect(main(), &w);
        EXPECT_TRUE(EqualRect(&w, &r)) << w.left << "," << w.top << " " << w.right << "," << w.bottom;
        EXPECT_EQ(GetObjectType(before), 0u);
    }

    // A new window is made for its own DPI again.
    DestroyWindow(main());
    drain_messages();
    ASSERT_TRUE(quendle::create_main_window(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    expect_made_for(dpi);
    expect_window_size_for(dpi);
}
