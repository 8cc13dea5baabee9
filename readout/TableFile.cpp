#include "readout/TableFile.h"

#include "fw/App.h"
#include "res/messages.h"

namespace {
void GiveBack(CFile& file, const std::wstring& path)
{
    const bool created = file.WasCreated();
    file.Close();
    if (created)
        CFile::Remove(path);
}
}  // namespace

bool OpenTableAndSend(CFile& file, const std::wstring& path, const std::function<bool()>& send)
{
    CFileException error(L"", 0);
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive,
                   &error)) {
        // A spreadsheet that opened the table holds it: another name is not what the user needs.
        if (error.m_lOsError == ERROR_SHARING_VIOLATION || error.m_lOsError == ERROR_LOCK_VIOLATION)
            throw CException(LoadMessage(IDS_TABLE_IN_USE, { path }));
        throw CException(LoadMessage(IDS_TABLE_NOT_OPENED, { error.GetDescription() }));
    }
    bool sent = false;
    try {
        sent = send();
    } catch (const CException&) {
        GiveBack(file, path);
        throw;
    }
    if (!sent)
        GiveBack(file, path);
    return sent;
}
