// The menu, the accelerators, the About box, the icons and the version
// information, as the running program sees them.
#include <cstring>

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
    ASSERT_EQ(CopyAcceleratorTableW(accel, got, 8), 5);
    const ACCEL want[] = {{FVIRTKEY | FCONTROL, 'E', IDM_CLEAR},
                          {FVIRTKEY | FCONTROL, 'S', IDM_SOLVE},
                          {FVIRTKEY | FCONTROL, 'H', IDM_HELP},
                          {FALT, '?', IDM_ABOUT},
                          {FALT, '/', IDM_ABOUT}};
    for (int i = 0; i < 5; ++i) {
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
    EXPECT_EQ(seen.texts[0], L"Quendle, Version 0.0.1");
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
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 0)); // the build's 0.0.1
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 1));

    for (auto [key, want] :
         {std::pair{L"ProductName", L"Quendle"}, {L"ProductVersion", L"0.0.1"}}) {
        wchar_t *value = nullptr;
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(
            VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void **>(&value), &len));
        EXPECT_STREQ(value, want);
    }
}
