// What the resource compiler makes of vorlix.rc, read back out of vorlix.exe:
// its texts in code page 1252 with their inserts, the system menu's entry, and
// the manifest's DPI awareness.
#include "fw/App.h"
#include "res/messages.h"
#include "ui/AboutDialog.h"
#include "ui/resource.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

std::string Resource(const wchar_t* type, int id)
{
    const HMODULE module = AfxGetResourceHandle();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    return info ? std::string(static_cast<const char*>(LockResource(LoadResource(module, info))), SizeofResource(module, info))
                : std::string();
}

TEST(Resources, TextsAreCodePage1252WithTheirQuotesLineBreaksAndInserts)
{
    // The source holds umlauts as single bytes: ö is 0xF6, ü 0xFC, ä 0xE4, ß 0xDF.
    const std::string main = Resource(RT_DIALOG, IDD_MAIN);
    EXPECT_NE(std::string::npos, main.find(std::string(reinterpret_cast<const char*>(L"L\u00F6schen\nDelete"), 28)));
    EXPECT_EQ(L"COM 3 ist ge\u00F6ffnet; die Puffergr\u00F6\u00DFe kann jetzt nicht ge\u00E4ndert werden.\n"
              L"COM 3 is open; the buffer size cannot be changed now.",
              LoadMessage(IDS_PORT_OPEN_NO_BUFFER, { L"3" }));
    EXPECT_EQ(L"Die Datei \"C:\\a.txt\" existiert bereits. Ersetzen?\nThe file \"C:\\a.txt\" already exists. Replace it?",
              LoadMessage(IDS_TABLE_REPLACE, { L"C:\\a.txt" }));
}

TEST(Resources, SystemMenuEndsWithSeparatorChartAndAboutEntry)
{
    HWND window = CreateWindowW(L"STATIC", L"menu", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    const int before = GetMenuItemCount(GetSystemMenu(window, FALSE));
    AddAboutEntry(window);
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_EQ(before + 3, GetMenuItemCount(menu));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(menu, before, MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t text[2][64] = {};
    GetMenuStringW(menu, before + 1, text[0], 64, MF_BYPOSITION);
    GetMenuStringW(menu, before + 2, text[1], 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(L"&Diagramm... / Chart..."), text[0]);
    EXPECT_EQ(std::wstring(L"Inf&o \u00FCber Vorlix..."), text[1]);
    EXPECT_EQ(static_cast<UINT>(IDM_CHART), GetMenuItemID(menu, before + 1));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, before + 2));
    DestroyWindow(window);
}

// Sharp at every size from 100 % to 200 %: each image in 32-bit colour with alpha (256 is written as 0).
TEST(Resources, TheIconHasEverySizeInTrueColourWithAlpha)
{
    const std::string group = Resource(RT_GROUP_ICON, IDR_MAINFRAME);
    ASSERT_GE(group.size(), 6u);
    std::string sizes;
    for (size_t entry = 6; entry + 14 <= group.size(); entry += 14)  // GRPICONDIRENTRY: width, height, ..., bit count
        sizes += std::to_string(static_cast<unsigned char>(group[entry])) + "x" +
                 std::to_string(static_cast<unsigned char>(group[entry + 6])) + " ";
    EXPECT_EQ("16x32 20x32 24x32 32x32 40x32 48x32 64x32 0x32 ", sizes);
}

TEST(Resources, TheManifestLetsWindowsScaleEachMonitor)
{
    EXPECT_NE(std::string::npos, Resource(MAKEINTRESOURCEW(24), 1).find(">PerMonitorV2, System</dpiAwareness>"));
}

}  // namespace
