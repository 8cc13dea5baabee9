#include "fw/Prompts.h"

#include "fw/App.h"
#include "fw/FileDialog.h"
#include "fw/Wnd.h"
#include "fw/fwres.h"

namespace {
CPrompts g_realPrompts;
CPrompts* g_pPrompts = &g_realPrompts;

// The caption of the program's main window, the owner's root.
std::wstring RootCaption(HWND owner)
{
    wchar_t title[128] = L"";
    HWND root = owner ? ::GetAncestor(owner, GA_ROOTOWNER) : nullptr;
    return root && ::GetWindowTextW(root, title, 128) > 0 ? std::wstring(title) : std::wstring();
}
}  // namespace

CPrompts& AfxPrompts() { return *g_pPrompts; }
void AfxSetPrompts(CPrompts* prompts) { g_pPrompts = prompts ? prompts : &g_realPrompts; }

INT_PTR CPrompts::RunModal(CDialog& dialog)
{
    return dialog.DoModal();
}

bool CPrompts::ChooseFile(CFileDialog& chooser)
{
    return chooser.DoModal() == IDOK;
}

bool CPrompts::AskYesNo(HWND owner, const std::wstring& question)
{
    return ::MessageBoxW(owner, question.c_str(), RootCaption(owner).c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CPrompts::ShowError(HWND owner, const std::wstring& text)
{
    const std::wstring root = RootCaption(owner);
    const std::wstring error = LoadMessage(IDS_FW_ERROR);
    const std::wstring caption = root.empty() ? error : root + L": " + error;
    ::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}
