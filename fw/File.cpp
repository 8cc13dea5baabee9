#include "fw/File.h"

#include "fw/App.h"
#include "fw/fwres.h"

#include <algorithm>
#include <shlobj.h>

CFile::~CFile()
{
    // A destructor cannot report: what cannot be written now is lost, as it
    // would be with the program's end. The file is closed all the same.
    try {
        Close();
    } catch (const CFileException&) {
    }
}

bool CFile::Open(const std::wstring& fileName, unsigned flags, CFileException* error)
{
    try {
        Close();
    } catch (const CFileException&) {
        // The file before is closed all the same; its failure was its own.
    }
    const unsigned access = flags & 0x3;
    DWORD desired = GENERIC_READ;
    if (access == modeWrite)
        desired = GENERIC_WRITE;
    else if (access == modeReadWrite)
        desired = GENERIC_READ | GENERIC_WRITE;
    const DWORD share = (flags & shareExclusive) ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate)
        disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE file = CreateFileW(fileName.c_str(), desired, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD osError = GetLastError();
        if (error) {
            *error = CFileException(LoadMessage((flags & modeCreate) ? IDS_FW_FILE_NOT_CREATED : IDS_FW_FILE_NOT_OPENED,
                                                { fileName, SystemErrorText(osError) }),
                                    osError);
        }
        return false;
    }
    m_bCreated = disposition != OPEN_EXISTING && GetLastError() != ERROR_ALREADY_EXISTS;
    m_hFile = file;
    m_strFileName = fileName;
    return true;
}

void CFile::ThrowError(UINT messageId, DWORD error) const
{
    throw CFileException(LoadMessage(messageId, { m_strFileName, SystemErrorText(error) }), error);
}

void CFile::RequireOpen() const
{
    if (!IsOpen())
        throw CFileException(LoadMessage(IDS_FW_NO_FILE_OPEN), ERROR_INVALID_HANDLE);
}

void CFile::SetWriteBuffer(size_t size)
{
    Flush();
    m_nBufferSize = size;
    m_buffer.reserve(size);
}

void CFile::Flush()
{
    if (m_buffer.empty() || !IsOpen())
        return;
    // What fails to be written is dropped all the same: it is not tried again.
    try {
        WriteOut(m_buffer.data(), static_cast<unsigned>(m_buffer.size()));
    } catch (const CFileException&) {
        m_buffer.clear();
        throw;
    }
    m_buffer.clear();
}

void CFile::Write(const void* data, unsigned count)
{
    RequireOpen();
    if (m_nBufferSize == 0)
        return WriteOut(data, count);
    if (m_buffer.size() + count > m_nBufferSize)
        Flush();
    if (count >= m_nBufferSize)
        return WriteOut(data, count);
    const char* bytes = static_cast<const char*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + count);
}

void CFile::WriteOut(const void* data, unsigned count)
{
    DWORD written = 0;
    if (!WriteFile(m_hFile, data, count, &written, nullptr))
        ThrowError(IDS_FW_FILE_NOT_WRITTEN, GetLastError());
    if (written != count)
        ThrowError(IDS_FW_FILE_NOT_WRITTEN, ERROR_DISK_FULL);
}

unsigned CFile::Read(void* buffer, unsigned count)
{
    RequireOpen();
    DWORD got = 0;
    if (!ReadFile(m_hFile, buffer, count, &got, nullptr))
        ThrowError(IDS_FW_FILE_NOT_READ, GetLastError());
    return got;
}

void CFile::SetLength(unsigned long long length)
{
    RequireOpen();
    Flush();
    // A device (NUL, a printer port) has no length to cut.
    if (GetFileType(m_hFile) != FILE_TYPE_DISK)
        return;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(m_hFile, position, nullptr, FILE_BEGIN) || !SetEndOfFile(m_hFile))
        ThrowError(IDS_FW_FILE_NOT_EMPTIED, GetLastError());
}

bool CFile::Remove(const std::wstring& fileName)
{
    return DeleteFileW(fileName.c_str()) != 0;
}

bool FolderTakesFiles(const std::wstring& folder)
{
    const std::wstring probe = folder + L"\\~vorlix-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"";
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    try {
        Flush();
    } catch (const CFileException&) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        throw;
    }
    HANDLE file = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file))
        ThrowError(IDS_FW_FILE_NOT_CLOSED, GetLastError());
}

CArchive::CArchive(CFile* file, Mode mode, unsigned bufferSize)
    : m_pFile(file), m_mode(mode), m_buffer(bufferSize)
{
}

CArchive::~CArchive()
{
    // An archive left without Close() drops what it buffered: errors cannot
    // be reported from a destructor, so callers close it themselves.
}

bool CArchive::FillBuffer()
{
    m_nUsed = m_pFile->Read(m_buffer.data(), static_cast<unsigned>(m_buffer.size()));
    m_nNext = 0;
    return m_nUsed != 0;
}

bool CArchive::ReadString(CString& line, size_t maxLength)
{
    std::string text;
    bool any = false;
    for (;;) {
        if (m_nNext == m_nUsed && !FillBuffer())
            break;
        any = true;
        const char* begin = m_buffer.data() + m_nNext;
        const char* end = m_buffer.data() + m_nUsed;
        const char* lf = std::find(begin, end, '\n');
        const size_t room = maxLength - text.size();
        if (static_cast<size_t>(lf - begin) > room) {
            text.append(begin, room);
            m_nNext += room;
            break;
        }
        text.append(begin, lf);
        m_nNext = static_cast<size_t>(lf - m_buffer.data());
        if (lf != end) {
            ++m_nNext;
            break;
        }
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    line = CString(std::move(text));
    return any;
}

void CArchive::Write(const void* data, unsigned count)
{
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        if (m_nUsed == m_buffer.size())
            Flush();
        const size_t chunk = std::min<size_t>(count, m_buffer.size() - m_nUsed);
        std::copy(bytes, bytes + chunk, m_buffer.data() + m_nUsed);
        m_nUsed += chunk;
        bytes += chunk;
        count -= static_cast<unsigned>(chunk);
    }
}

void CArchive::WriteString(const CString& text)
{
    Write(text.GetString(), static_cast<unsigned>(text.GetLength()));
}

void CArchive::Flush()
{
    if (m_nUsed != 0) {
        const size_t used = m_nUsed;
        m_nUsed = 0;
        m_pFile->Write(m_buffer.data(), static_cast<unsigned>(used));
    }
}

void CArchive::Close()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (IsStoring())
        Flush();
}
