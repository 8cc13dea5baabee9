// The program's own resources, read back out of vorlix.exe.
#include "ui/AboutDialog.h"
#include "ui/resource.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(VORLIX_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() { FreeLibrary(module); }

    static const BYTE* Find(const wchar_t* type, int id, DWORD* size = nullptr)
    {
        HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (!info)
            return nullptr;
        if (size)
            *size = SizeofResource(module, info);
        return static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    }

    static HMODULE module;
};
HMODULE Resources::module = nullptr;

// A reader of dialog templates, extended or not.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : m_p(data) {}
    WORD Word() { WORD w; memcpy(&w, m_p, 2); m_p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, m_p, 4); m_p += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *m_p++; }
    std::wstring Text()
    {
        std::wstring s;
        for (WORD c; (c = Word()) != 0;)
            s += static_cast<wchar_t>(c);
        return s;
    }
    // A name or an ordinal: the ordinal comes back as "#n".
    std::wstring NameOrOrdinal()
    {
        WORD first;
        memcpy(&first, m_p, 2);
        if (first == 0xFFFF) {
            Word();
            return L"#" + std::to_wstring(Word());
        }
        return Text();
    }
    void AlignDword(const BYTE* base) { while ((m_p - base) % 4) ++m_p; }
    const BYTE* m_p;
};

struct Control {
    std::wstring cls;
    std::wstring caption;
    int id, x, y, cx, cy;
    DWORD style;
};

struct Dialog {
    bool extended;
    DWORD style, exStyle;
    int x, y, cx, cy;
    std::wstring caption, font;
    WORD pointSize;
    std::vector<Control> controls;
};

Dialog ReadDialog(const BYTE* base)
{
    TemplateReader r(base);
    Dialog d{};
    d.extended = reinterpret_cast<const WORD*>(base)[1] == 0xFFFF;
    if (d.extended) {
        r.Word(); r.Word(); r.Dword();
        d.exStyle = r.Dword();
        d.style = r.Dword();
    } else {
        d.style = r.Dword();
        d.exStyle = r.Dword();
    }
    const int count = r.Word();
    d.x = r.Short(); d.y = r.Short(); d.cx = r.Short(); d.cy = r.Short();
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    d.caption = r.Text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.Word();
        if (d.extended) { r.Word(); r.Byte(); r.Byte(); }
        d.font = r.Text();
    }
    for (int i = 0; i < count; ++i) {
        r.AlignDword(base);
        Control c{};
        if (d.extended) {
            r.Dword(); r.Dword();
            c.style = r.Dword();
        } else {
            c.style = r.Dword();
            r.Dword();
        }
        c.x = r.Short(); c.y = r.Short(); c.cx = r.Short(); c.cy = r.Short();
        c.id = d.extended ? static_cast<int>(r.Dword()) : r.Short();
        c.cls = r.NameOrOrdinal();
        c.caption = r.NameOrOrdinal();
        const WORD extra = r.Word();
        r.m_p += extra;
        d.controls.push_back(c);
    }
    return d;
}

const wchar_t* kButton = L"#128";
const wchar_t* kStatic = L"#130";

void ExpectControl(const Control& c, int id, const wchar_t* cls, const std::wstring& caption, int x, int y, int cx,
                   int cy, DWORD style)
{
    SCOPED_TRACE(testing::Message() << "control " << id);
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(std::wstring(cls), c.cls);
    EXPECT_EQ(caption, c.caption);
    EXPECT_EQ(x, c.x); EXPECT_EQ(y, c.y); EXPECT_EQ(cx, c.cx); EXPECT_EQ(cy, c.cy);
    EXPECT_EQ(style, c.style);
}

TEST_F(Resources, MainWindowTemplate)
{
    ASSERT_NE(nullptr, module) << VORLIX_EXE;
    const BYTE* data = Find(RT_DIALOG, IDD_MAIN);
    ASSERT_NE(nullptr, data);
    const Dialog d = ReadDialog(data);
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU), d.style);
    EXPECT_EQ(static_cast<DWORD>(WS_EX_APPWINDOW), d.exStyle);
    EXPECT_EQ(283, d.cx);
    EXPECT_EQ(150, d.cy);
    EXPECT_EQ(L"Vorlix", d.caption);
    EXPECT_EQ(L"MS Sans Serif", d.font);
    EXPECT_EQ(8, d.pointSize);
    ASSERT_EQ(7u, d.controls.size());
    const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    const DWORD label = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
    ExpectControl(d.controls[0], IDOK, kButton, L"Beenden\nQuit", 200, 29, 60, 60, button | BS_DEFPUSHBUTTON | BS_MULTILINE);
    ExpectControl(d.controls[1], IDC_SETUP, kButton, L"Setup", 20, 29, 60, 60, button | BS_PUSHBUTTON);
    ExpectControl(d.controls[2], IDC_READ, kButton, L"Auslesen\nRead ", 80, 29, 60, 60, button | BS_MULTILINE);
    ExpectControl(d.controls[3], IDC_ERASE, kButton, L"L\u00F6schen\nDelete", 140, 29, 60, 60, button | BS_MULTILINE);
    ExpectControl(d.controls[4], IDC_STATIC, kStatic, L"empfangene Bytes:\nreceived bytes:", 20, 111, 67, 17, label);
    ExpectControl(d.controls[5], IDC_BYTES, kStatic, L"", 93, 111, 66, 8, label);
    ExpectControl(d.controls[6], IDC_STATIC, kStatic, L"Version 1.01", 236, 135, 40, 8, label);
}

TEST_F(Resources, PortDialogTemplate)
{
    const BYTE* data = Find(RT_DIALOG, IDD_PORT);
    ASSERT_NE(nullptr, data);
    const Dialog d = ReadDialog(data);
    EXPECT_EQ(static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU), d.style);
    EXPECT_EQ(195, d.cx);
    EXPECT_EQ(111, d.cy);
    EXPECT_EQ(L"Com Port", d.caption);
    EXPECT_EQ(L"MS Sans Serif", d.font);
    ASSERT_EQ(6u, d.controls.size());
    const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    const DWORD radio = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
    ExpectControl(d.controls[0], IDOK, kButton, L"OK", 138, 16, 50, 14, button | BS_DEFPUSHBUTTON);
    ExpectControl(d.controls[1], IDCANCEL, kButton, L"Abbrechen", 137, 36, 50, 14, button);
    ExpectControl(d.controls[2], IDC_COM1, kButton, L"COM 1", 50, 20, 38, 10, radio | WS_GROUP);
    ExpectControl(d.controls[3], IDC_COM2, kButton, L"COM 2", 50, 40, 38, 10, radio);
    ExpectControl(d.controls[4], IDC_COM3, kButton, L"COM 3", 50, 60, 38, 10, radio);
    ExpectControl(d.controls[5], IDC_COM4, kButton, L"COM 4", 50, 80, 38, 10, radio);
}

TEST_F(Resources, AboutBoxAndEraseConfirmationTemplates)
{
    const DWORD popup = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    const BYTE* about = Find(RT_DIALOG, IDD_ABOUTBOX);
    ASSERT_NE(nullptr, about);
    Dialog d = ReadDialog(about);
    EXPECT_EQ(popup, d.style);
    EXPECT_EQ(L"Info \u00FCber Vorlix", d.caption);
    EXPECT_EQ(235, d.cx);
    EXPECT_EQ(55, d.cy);
    ASSERT_EQ(4u, d.controls.size());
    EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE | SS_ICON), d.controls[0].style);
    EXPECT_EQ(L"#128", d.controls[0].caption) << "the icon IDR_MAINFRAME";
    ExpectControl(d.controls[1], IDC_STATIC, kStatic, L"Vorlix Version 1.01", 40, 10, 119, 8,
                  WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT | SS_NOPREFIX);
    EXPECT_EQ(40, d.controls[2].x);
    EXPECT_EQ(25, d.controls[2].y);
    ExpectControl(d.controls[3], IDOK, kButton, L"OK", 178, 7, 50, 14,
                  WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON);

    const BYTE* confirm = Find(RT_DIALOG, IDD_CONFIRM_ERASE);
    ASSERT_NE(nullptr, confirm);
    d = ReadDialog(confirm);
    EXPECT_EQ(popup, d.style);
    EXPECT_EQ(L"Information", d.caption);
    EXPECT_EQ(186, d.cx);
    EXPECT_EQ(79, d.cy);
    ASSERT_EQ(3u, d.controls.size());
    const DWORD button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    ExpectControl(d.controls[0], IDOK, kButton, L"JA/Yes", 35, 58, 50, 14, button | BS_DEFPUSHBUTTON);
    ExpectControl(d.controls[1], IDCANCEL, kButton, L"NEIN/No", 101, 58, 50, 14, button);
    ExpectControl(d.controls[2], IDC_STATIC, kStatic,
                  L"Alle gespeicherten Daten gehen verloren!\nWirklich l\u00F6schen?\n\nAll data will erase! Realy delete?",
                  29, 13, 133, 36, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER);
}

TEST_F(Resources, SystemMenuEndsWithSeparatorAndAboutEntry)
{
    HWND window = CreateWindowW(L"STATIC", L"menu", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_TRUE(menu);
    const int before = GetMenuItemCount(menu);
    AddAboutEntry(window, module);
    menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_EQ(before + 2, count);
    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(menu, count - 2, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    wchar_t text[64] = L"";
    GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(L"Inf&o \u00FCber Vorlix..."), text);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(menu, count - 1));

    // Without a system menu, or without the text, nothing is added.
    HWND plain = CreateWindowW(L"STATIC", L"plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NO_FATAL_FAILURE(AddAboutEntry(plain, module));
    const int again = GetMenuItemCount(GetSystemMenu(window, FALSE));
    AddAboutEntry(window, GetModuleHandleW(nullptr));  // this test program has no such string
    EXPECT_EQ(again, GetMenuItemCount(GetSystemMenu(window, FALSE)));
    DestroyWindow(plain);
    DestroyWindow(window);
}

TEST_F(Resources, AboutStringAndIcon)
{
    wchar_t text[64] = L"";
    LoadStringW(module, IDS_ABOUTBOX, text, 64);
    EXPECT_EQ(std::wstring(L"Inf&o \u00FCber Vorlix..."), text);

    DWORD size = 0;
    const BYTE* group = Find(RT_GROUP_ICON, IDR_MAINFRAME, &size);
    ASSERT_NE(nullptr, group);
    const WORD count = reinterpret_cast<const WORD*>(group)[2];
    ASSERT_EQ(2, count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        sizes.push_back(entry[0]);
        EXPECT_EQ(16, entry[2]) << "colours";
        EXPECT_EQ(4, *reinterpret_cast<const WORD*>(entry + 6)) << "bits per pixel";
    }
    EXPECT_EQ((std::vector<int>{ 32, 16 }), sizes);
}

TEST_F(Resources, VersionIsGerman1001)
{
    DWORD size = 0;
    const BYTE* data = Find(RT_VERSION, 1, &size);
    ASSERT_NE(nullptr, data);
    // VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO", aligned.
    const BYTE* p = data;
    const BYTE* end = data + size;
    const VS_FIXEDFILEINFO* fixed = nullptr;
    for (; p + sizeof(DWORD) <= end; p += 4) {
        if (*reinterpret_cast<const DWORD*>(p) == 0xFEEF04BD) {
            fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(p);
            break;
        }
    }
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    // The translation: German (Germany), code page 1252.
    const DWORD translation = MAKELONG(0x0407, 1252);
    bool found = false;
    for (p = data; p + 4 <= end; p += 2)
        if (memcmp(p, &translation, 4) == 0)
            found = true;
    EXPECT_TRUE(found);
    EXPECT_TRUE(FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)));
}

}  // namespace

namespace {

// The DLLs vorlix.exe imports from, read from its import directory on disk.
std::vector<std::string> ImportedDlls(const std::string& path)
{
    std::vector<std::string> dlls;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return dlls;
    std::string image;
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
        image.append(chunk, n);
    fclose(file);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    const auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
        return 0;
    };
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offsetOf(importRva));
         importRva && entry->Name; ++entry) {
        std::string name = image.c_str() + offsetOf(entry->Name);
        for (char& c : name)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        dlls.push_back(name);
    }
    return dlls;
}

}  // namespace

TEST(Executable, ImportsFromWindowsOwnDllsOnly)
{
    const std::vector<std::string> dlls = ImportedDlls(VORLIX_EXE);
    ASSERT_FALSE(dlls.empty());
    for (const std::string& dll : dlls)
        EXPECT_TRUE(dll == "KERNEL32.DLL" || dll == "USER32.DLL" || dll == "ADVAPI32.DLL" || dll == "COMDLG32.DLL" ||
                    dll == "MSVCRT.DLL")
            << dll;
}

TEST_F(Resources, TheManifestAsksForNoElevationAndForDpiAwarenessAndCommonControls6)
{
    DWORD size = 0;
    const BYTE* data = Find(MAKEINTRESOURCEW(24), 1, &size);  // RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID
    ASSERT_NE(nullptr, data) << "no application manifest";
    const std::string manifest(reinterpret_cast<const char*>(data), size);
    for (const char* part : {
             "level=\"asInvoker\"",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
             ">true</dpiAware>",
             ">PerMonitorV2, System</dpiAwareness>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
         })
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;
}
