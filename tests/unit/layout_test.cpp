// The program's dialogs, built from the templates in vorlix.exe, at the
// display's DPI: every text fits its control in the control's own font. It
// fails when a font is missing and the system falls back to a wider one, or
// when a template is made too small for its text. The test runner runs it at
// 96 and at 144 DPI.
#include "fw/App.h"
#include "fw/Exception.h"
#include "res/messages.h"
#include "ui/PortChoiceDialog.h"
#include "ui/resource.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

struct Misfit {
    std::wstring text;
    SIZE needed;
    SIZE has;
};

// The texts of `dialog`'s static controls and buttons that do not fit.
std::vector<Misfit> Misfits(HWND dialog)
{
    std::vector<Misfit> misfits;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        wchar_t cls[32] = L"", text[2048] = L"";
        GetClassNameW(control, cls, 32);
        GetWindowTextW(control, text, 2048);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const bool isStatic = lstrcmpiW(cls, L"Static") == 0;
        if (!text[0] || (!isStatic && lstrcmpiW(cls, L"Button") != 0) || (isStatic && (style & SS_TYPEMASK) == SS_ICON))
            continue;
        RECT has;
        GetClientRect(control, &has);
        const bool radio = !isStatic && (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
        if (radio)
            has.right -= GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the button's circle and its gap
        else if (!isStatic)
            InflateRect(&has, -4, -4);                         // a push button's frame
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needed = { 0, 0, has.right - has.left, 0 };
        UINT format = DT_CALCRECT | DT_WORDBREAK;
        if (isStatic && (style & SS_NOPREFIX))
            format |= DT_NOPREFIX;
        if (isStatic && (style & SS_EDITCONTROL))
            format |= DT_EDITCONTROL;  // a path without blanks is broken where it must be
        DrawTextW(dc, text, -1, &needed, format);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        if (needed.right > has.right - has.left || needed.bottom > has.bottom - has.top)
            misfits.push_back({ text, { needed.right, needed.bottom }, { has.right - has.left, has.bottom - has.top } });
    }
    return misfits;
}

TEST(DialogLayout, EveryTextFitsItsControlInItsOwnFont)
{
    const HMODULE program = AfxGetResourceHandle();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RecordProperty("dpi", dpi);
    for (int id : { IDD_MAIN, IDD_ABOUTBOX, IDD_CONFIRM_ERASE, IDD_PORT, IDD_PORT_CHOICE, IDD_CHART }) {
        SCOPED_TRACE("dialog " + std::to_string(id) + " at " + std::to_string(dpi) + " DPI");
        HRSRC info = FindResourceW(program, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
        ASSERT_NE(nullptr, info);
        const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(program, info)));
        HWND dialog = CreateDialogIndirectParamW(program, dialogTemplate, nullptr, QuietDialog, 0);
        ASSERT_NE(nullptr, dialog);
        for (const Misfit& misfit : Misfits(dialog)) {
            char text[4096];
            WideCharToMultiByte(CP_UTF8, 0, misfit.text.c_str(), -1, text, sizeof text, nullptr, nullptr);
            ADD_FAILURE() << "\"" << text << "\" needs " << misfit.needed.cx << " x " << misfit.needed.cy
                          << " pixels, its control has " << misfit.has.cx << " x " << misfit.has.cy;
        }
        DestroyWindow(dialog);
    }
}

// The port choice grows to the longest texts it carries: nothing came (with a table's long path), and a port
// that is not back after a loss, with the reason it could not be opened.
class CMeasuredChoice : public CPortChoiceDialog {
public:
    using CPortChoiceDialog::CPortChoiceDialog;
    std::vector<Misfit> misfits;
    bool measured = false;

protected:
    BOOL OnInitDialog() override
    {
        CPortChoiceDialog::OnInitDialog();
        misfits = Misfits(m_hWnd);
        measured = true;
        EndDialog(IDCANCEL);
        return TRUE;
    }
};

TEST(DialogLayout, ThePortChoiceGrowsToItsLongestTexts)
{
    const std::wstring path = L"C:\\Users\\Messtechnik\\" + std::wstring(180, L'x') + L"\\Messwerte 2026-12-07 (2).txt";
    for (const std::wstring& text : { LoadMessage(IDS_RUN_NOTHING, { L"255" }) + L"\n\n" + LoadMessage(IDS_TABLE_NOT_MADE, { path }),
                                      LoadMessage(IDS_PORT_NOT_BACK, { L"255" }) + L"\n\n" + LoadMessage(IDS_PORT_HELD, { L"255" }) +
                                          L"\n\n" + SystemErrorText(ERROR_SEM_TIMEOUT) }) {
        CWinApp app;
        app.m_hInstance = AfxGetResourceHandle();  // where the dialog's template is
        CMeasuredChoice choice(text, { { 1, L"\\Device\\Serial0" } });
        choice.DoModal();
        EXPECT_TRUE(choice.measured);
        for (const Misfit& misfit : choice.misfits)
            ADD_FAILURE() << misfit.needed.cx << " x " << misfit.needed.cy << " needed, " << misfit.has.cx << " x " << misfit.has.cy;
    }
}

}  // namespace
