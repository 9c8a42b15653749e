// The menu, the accelerators, the About box, the icons, the version
// information and the manifest, as the running program sees them.
#include <cstring>
#include <cwctype>
#include <string>

#include "about_box.h"
#include "driver.h"

using namespace driver;
using quendle::app;

namespace {

HINSTANCE self() { return GetModuleHandleW(nullptr); }

std::wstring menu_text(HMENU menu, int pos)
{
    wchar_t buf[64] = {};
    GetMenuStringW(menu, pos, buf, 64, MF_BYPOSITION);
    return buf;
}

// Sends `msg` through the accelerator table as the message loop would.
bool translate(UINT msg, WPARAM key, LPARAM flags = 1)
{
    HACCEL accel = LoadAcceleratorsW(self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    MSG m{app.edit, msg, key, flags, 0, {}};
    return TranslateAcceleratorW(app.main, accel, &m) != 0;
}

// The thread's view of the Ctrl and Alt keys, which the translation reads.
void hold(bool control, bool alt)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
}

} // namespace

TEST_F(MainWindow, MenuItemsAndIds)
{
    HMENU bar = GetMenu(main());
    ASSERT_TRUE(bar);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(menu_text(bar, 0), L"&File");
    EXPECT_EQ(menu_text(bar, 1), L"&Help");

    struct Item {
        const wchar_t *text;
        UINT id;
    };
    const std::vector<std::vector<Item>> want = {
        {{L"&Clear\tCtrl+E", IDM_CLEAR},
         {L"&Solve\tCtrl+S", IDM_SOLVE},
         {L"E&xit\tAlt+F4", IDM_EXIT}},
        {{L"&Help\tCtrl+H", IDM_HELP}, {L"&About ...\tAlt+/", IDM_ABOUT}}};
    for (int p = 0; p < 2; ++p) {
        HMENU popup = GetSubMenu(bar, p);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(want[p].size()));
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            EXPECT_EQ(menu_text(popup, i), want[p][i].text);
            EXPECT_EQ(GetMenuItemID(popup, i), want[p][i].id);
        }
    }
}

TEST_F(MainWindow, AcceleratorTable)
{
    HACCEL accel = LoadAcceleratorsW(self(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ACCEL got[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accel, got, 8), 6);
    const ACCEL want[] = {{FVIRTKEY | FCONTROL, 'E', IDM_CLEAR},
                          {FVIRTKEY | FCONTROL, 'S', IDM_SOLVE},
                          {FVIRTKEY | FCONTROL, 'H', IDM_HELP},
                          {FVIRTKEY | FCONTROL, 'A', IDM_SELECT_ALL},
                          {FALT, '?', IDM_ABOUT},
                          {FALT, '/', IDM_ABOUT}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[i].fVirt & ~FNOINVERT, want[i].fVirt) << i;
        EXPECT_EQ(got[i].key, want[i].key) << i;
        EXPECT_EQ(got[i].cmd, want[i].cmd) << i;
    }

    // Ctrl+E and Ctrl+H reach the window as Clear and Help; E alone is typing.
    hold(false, false);
    EXPECT_FALSE(translate(WM_KEYDOWN, 'E'));
    hold(true, false);
    EXPECT_TRUE(translate(WM_KEYDOWN, 'E'));
    EXPECT_EQ(text_of(edit()), L"");
    EXPECT_TRUE(translate(WM_KEYDOWN, 'H'));
    EXPECT_EQ(text_of(edit()), quendle::help_text);
    hold(false, false);
}

TEST_F(MainWindow, AboutBoxIsModalAndClosesWithOk)
{
    DialogSeen seen;
    {
        DialogAnswer answer(seen, CloseBy::ok_button);
        command(IDM_ABOUT);
    }
    ASSERT_TRUE(seen.seen);
    EXPECT_FALSE(seen.forced);
    EXPECT_EQ(seen.caption, L"About Quendle");
    EXPECT_EQ(seen.owner, main());
    EXPECT_FALSE(seen.owner_enabled);
    EXPECT_TRUE(seen.has_icon);
    ASSERT_EQ(seen.texts.size(), 3u);
    EXPECT_EQ(seen.texts[0], L"Quendle, Version " QUENDLE_VERSION);
    EXPECT_TRUE(IsWindowEnabled(main()));
}

TEST_F(MainWindow, AboutBoxClosesWithEnterAndEscape)
{
    for (auto [how, result] : {std::pair{CloseBy::enter, IDOK},
                               {CloseBy::escape, IDCANCEL},
                               {CloseBy::ok_button, IDOK}}) {
        DialogSeen seen;
        DialogAnswer answer(seen, how);
        EXPECT_EQ(quendle::show_about_box(self(), main()), result);
        EXPECT_TRUE(seen.seen);
        EXPECT_FALSE(seen.forced);
    }
}

TEST_F(MainWindow, AltSlashAndAltQuestionMarkOpenTheAboutBox)
{
    for (wchar_t key : {L'/', L'?'}) {
        DialogSeen seen;
        DialogAnswer answer(seen, CloseBy::escape);
        hold(false, true);
        EXPECT_TRUE(translate(WM_SYSCHAR, key, 1 | (1 << 29))); // bit 29: Alt is down
        hold(false, false);
        EXPECT_TRUE(seen.seen) << char(key);
        EXPECT_EQ(seen.caption, L"About Quendle");
    }
    EXPECT_FALSE(translate(WM_CHAR, L'/'));
}

TEST(Resources, IconsHoldFourSizesAt8Bits)
{
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bits;
        DWORD bytes;
        WORD id;
    };
    struct Dir {
        WORD reserved, type, count;
        Entry entries[1];
    };
#pragma pack(pop)
    for (int group : {IDI_QUENDLE, IDI_SMALL}) {
        HRSRC res = FindResourceW(self(), MAKEINTRESOURCEW(group), RT_GROUP_ICON);
        ASSERT_TRUE(res) << group;
        auto *dir = static_cast<const Dir *>(LockResource(LoadResource(self(), res)));
        ASSERT_EQ(dir->count, 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(dir->entries[i].width, 16 * (i + 1));
            EXPECT_EQ(dir->entries[i].height, 16 * (i + 1));
            EXPECT_EQ(dir->entries[i].bits, 8);
        }
        for (int size : {16, 32, 48, 64}) {
            HICON icon = static_cast<HICON>(
                LoadImageW(self(), MAKEINTRESOURCEW(group), IMAGE_ICON, size, size, 0));
            EXPECT_TRUE(icon) << size;
            DestroyIcon(icon);
        }
    }
}

TEST(Resources, VersionInformation)
{
    HRSRC res = FindResourceW(self(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    ASSERT_TRUE(res);
    // VerQueryValue wants a writable copy.
    std::vector<char> block(SizeofResource(self(), res));
    std::memcpy(block.data(), LockResource(LoadResource(self(), res)), block.size());

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(QUENDLE_VERSION_MINOR, QUENDLE_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, QUENDLE_VERSION_PATCH));

    for (auto [key, want] :
         {std::pair{L"ProductName", L"Quendle"}, {L"ProductVersion", QUENDLE_VERSION}}) {
        wchar_t *value = nullptr;
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(
            VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void **>(&value), &len));
        EXPECT_STREQ(value, want);
    }
}

TEST(Resources, ManifestAsksForCommonControls6AndPerMonitorDpi)
{
    // In quendle.exe itself, as resource 1 of type RT_MANIFEST, read as data.
    HMODULE exe = LoadLibraryExW(QUENDLE_EXE, nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(exe);
    HRSRC res = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(res);
    const std::string manifest(static_cast<const char *>(LockResource(LoadResource(exe, res))),
                               SizeofResource(exe, res));
    FreeLibrary(exe);
    for (const char *part :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "publicKeyToken=\"6595b64144ccf1df\"", ">PerMonitorV2, PerMonitor</dpiAwareness>",
          ">true/pm</dpiAware>", "level=\"asInvoker\"",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;

    // This process carries the same resources, and the system honoured
    // them: comctl32 comes from the side-by-side store's version 6 assembly.
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH);
    std::wstring lower = path;
    for (wchar_t &c : lower)
        c = static_cast<wchar_t>(towlower(c));
    EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << lower;
    EXPECT_NE(lower.find(L"common-controls_6595b64144ccf1df_6.0."), std::wstring::npos) << lower;
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()),
              DPI_AWARENESS_PER_MONITOR_AWARE);
}
