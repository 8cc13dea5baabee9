#include "readout/TableFile.h"

void OpenTableAndSend(CFile& file, const CString& path, const std::function<void()>& send)
{
    CFileException error("", 0);
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive,
                   &error))
        throw CException(error.GetDescription() +
                         "\n\nEs wurde nichts ausgelesen; bitte einen anderen Namen w\xE4hlen.\n"
                         "Nothing was read out; please choose another name.");
    try {
        send();
        file.SetLength(0);
    } catch (const CException&) {
        const bool created = file.WasCreated();
        file.Close();
        if (created)
            CFile::Remove(path);
        throw;
    }
}
