// CPrompts: every way the program asks the user something or tells them
// something: modal dialogs, the file chooser, yes/no questions and error
// boxes. The class itself does it with Windows' own windows; a test puts
// another in its place (AfxSetPrompts) that answers from a script.
#pragma once

#include <string>

#include <windows.h>

class CDialog;
class CFileDialog;

class CPrompts {
public:
    virtual ~CPrompts() = default;

    // Runs the dialog modally; what it ended with.
    virtual INT_PTR RunModal(CDialog& dialog);
    // Shows the chooser; true when the user named a file (chooser.GetPathName()).
    virtual bool ChooseFile(CFileDialog& chooser);
    // A question answered with Yes or No (the default button); true for Yes.
    virtual bool AskYesNo(HWND owner, const std::wstring& question);
    // The error box, titled "<main window's caption>: Fehler / Error".
    virtual void ShowError(HWND owner, const std::wstring& text);
};

// The prompts in use; the real ones unless a test set others.
CPrompts& AfxPrompts();
void AfxSetPrompts(CPrompts* prompts);  // nullptr: the real ones again
