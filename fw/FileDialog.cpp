#include "fw/FileDialog.h"

#include "fw/App.h"
#include "fw/Wnd.h"

#include <commdlg.h>

namespace {
std::wstring TrimBlanks(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}
}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExt, const std::wstring& fileName, DWORD flags,
                         const std::wstring& filter, CWnd* parent)
    : m_ofn(), m_bOpenFileDialog(openFileDialog), m_pParentWnd(parent)
{
    // "desc|pattern|desc|pattern||" becomes "desc\0pattern\0desc\0pattern\0\0".
    if (!filter.empty()) {
        size_t start = 0;
        bool pattern = false;
        for (size_t bar; (bar = filter.find(L'|', start)) != std::wstring::npos; start = bar + 1) {
            const std::wstring part = filter.substr(start, bar - start);
            if (part.empty() && !pattern)
                break;
            m_filter += pattern ? TrimBlanks(part) : part;
            m_filter += L'\0';
            pattern = !pattern;
        }
        m_filter += L'\0';
    }
    if (defaultExt)
        m_defaultExt = defaultExt;
    m_file = fileName;

    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal()
{
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner && AfxGetMainWnd())
        owner = AfxGetMainWnd()->m_hWnd;
    std::wstring buffer = m_file;
    buffer.resize(32768, L'\0');
    m_ofn.hwndOwner = owner;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = &buffer[0];
    m_ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    m_ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    // The open-style chooser moves the working directory to the folder picked,
    // whatever its flags say, and a folder in use there keeps a USB stick from
    // being ejected: it goes back where it was.
    const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring before(length, L'\0');
    ::GetCurrentDirectoryW(length, &before[0]);
    const BOOL ok = m_bOpenFileDialog ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
    if (length > 0)
        ::SetCurrentDirectoryW(before.c_str());
    m_ofn.lpstrFile = nullptr;
    if (!ok)
        return IDCANCEL;
    m_file = buffer.c_str();
    return IDOK;
}

std::wstring WithDefaultExtension(const std::wstring& path, const wchar_t* extension)
{
    std::wstring text = path;
    const size_t separator = text.find_last_of(L"\\/:");
    const size_t name = separator == std::wstring::npos ? 0 : separator + 1;
    // Windows drops the dots at the end of a name: "messung." is "messung".
    while (text.size() > name && text.back() == L'.')
        text.pop_back();
    if (text.size() == name || !extension || !*extension || text.find(L'.', name) != std::wstring::npos)
        return path;
    return text + L"." + extension;
}

std::wstring CFileDialog::GetPathNameWithExtension() const
{
    return WithDefaultExtension(m_file, m_defaultExt.c_str());
}
