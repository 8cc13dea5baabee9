// What the resource compiler makes of vorlix.rc, read back out of vorlix.exe:
// the code page of its texts, the escapes in its strings, the messages the
// code asks for, the version block and the manifest.
#include "fw/App.h"
#include "fw/fwres.h"
#include "ui/AboutDialog.h"
#include "res/messages.h"
#include "ui/resource.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

const BYTE* Find(const wchar_t* type, int id, DWORD* size)
{
    const HMODULE module = AfxGetResourceHandle();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    *size = info ? SizeofResource(module, info) : 0;
    return info ? static_cast<const BYTE*>(LockResource(LoadResource(module, info))) : nullptr;
}

std::wstring ResourceText(const wchar_t* type, int id)
{
    DWORD size = 0;
    const BYTE* data = Find(type, id, &size);
    return data ? std::wstring(reinterpret_cast<const wchar_t*>(data), size / 2) : std::wstring();
}

TEST(Resources, UmlautsAreReadInCodePage1252)
{
    // The source holds them as single bytes: ö is 0xF6, ü 0xFC, ä 0xE4, ß 0xDF.
    const std::wstring about = ResourceText(RT_DIALOG, IDD_ABOUTBOX);
    EXPECT_NE(std::wstring::npos, about.find(L"Info \u00FCber Vorlix"));
    EXPECT_NE(std::wstring::npos, ResourceText(RT_DIALOG, IDD_MAIN).find(L"L\u00F6schen\nDelete"));
    EXPECT_NE(std::wstring::npos, ResourceText(RT_DIALOG, IDD_CONFIRM_ERASE).find(L"Wirklich l\u00F6schen?"));
    EXPECT_EQ("COM 3 ist ge\xF6" "ffnet; die Puffergr\xF6\xDF" "e kann jetzt nicht ge\xE4ndert werden.\n"
              "COM 3 is open; the buffer size cannot be changed now.",
              LoadMessage(IDS_PORT_OPEN_NO_BUFFER, { "3" }).Str());
}

TEST(Resources, MessagesKeepTheirQuotesLineBreaksAndInserts)
{
    EXPECT_EQ("Die Datei \"C:\\a.txt\" existiert bereits. Ersetzen?\nThe file \"C:\\a.txt\" already exists. Replace it?",
              LoadMessage(IDS_TABLE_REPLACE, { "C:\\a.txt" }).Str());
    EXPECT_EQ("Tabellen (*.txt) | *.txt | Alle Dateien (*.*)|*.*||", LoadMessage(IDS_TABLE_FILTER).Str());
}

TEST(Resources, SystemMenuEndsWithSeparatorAndAboutEntry)
{
    HWND window = CreateWindowW(L"STATIC", L"menu", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    const int before = GetMenuItemCount(GetSystemMenu(window, FALSE));
    AddAboutEntry(window, AfxGetResourceHandle());
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_EQ(before + 2, GetMenuItemCount(menu));
    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(menu, before, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    wchar_t text[64] = L"";
    GetMenuStringW(menu, before + 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(L"Inf&o \u00FCber Vorlix..."), text);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, before + 1));
    DestroyWindow(window);
}

TEST(Resources, VersionIsGerman1001AndTheManifestAsksForNoElevationDpiAwarenessAndCommonControls6)
{
    DWORD size = 0;
    const BYTE* version = Find(RT_VERSION, 1, &size);
    ASSERT_NE(nullptr, version);
    const std::string block(reinterpret_cast<const char*>(version), size);
    const DWORD fixed[] = { 0xFEEF04BD, 0x00010000, 0x00010000, 1, 0x00010000, 1 };  // signature, struct version, 1.0.0.1 twice
    EXPECT_NE(std::string::npos, block.find(std::string(reinterpret_cast<const char*>(fixed), sizeof fixed)));
    const DWORD translation = MAKELONG(0x0407, 1252);  // German (Germany), code page 1252
    EXPECT_NE(std::string::npos, block.find(std::string(reinterpret_cast<const char*>(&translation), 4)));

    const BYTE* data = Find(MAKEINTRESOURCEW(24), 1, &size);  // RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID
    ASSERT_NE(nullptr, data) << "no application manifest";
    const std::string manifest(reinterpret_cast<const char*>(data), size);
    for (const char* part : { "level=\"asInvoker\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                              "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", ">PerMonitorV2, System</dpiAwareness>",
                              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" })
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
}

}  // namespace
