#include "readout/TableFile.h"

#include "fw/App.h"
#include "res/messages.h"

void OpenTableAndSend(CFile& file, const std::wstring& path, const std::function<void()>& send)
{
    CFileException error(L"", 0);
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive,
                   &error))
        throw CException(LoadMessage(IDS_TABLE_NOT_OPENED, { error.GetDescription() }));
    try {
        send();
    } catch (const CException&) {
        const bool created = file.WasCreated();
        file.Close();
        if (created)
            CFile::Remove(path);
        throw;
    }
}
