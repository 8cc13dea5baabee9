// CFile: a file on the Win32 file API, unbuffered unless given a write
// buffer. CArchive: buffered text reading and writing on a CFile.
#pragma once

#include "fw/Exception.h"
#include "fw/String.h"

#include <vector>
#include <windows.h>

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,  // with modeCreate: an existing file keeps its content
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the named file; on failure returns false and, when asked, fills
    // *error with a description that names the file and the system's reason.
    bool Open(const std::wstring& fileName, unsigned flags, CFileException* error = nullptr);
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // Whether the last Open made the file, rather than finding it.
    bool WasCreated() const { return m_bCreated; }
    const std::wstring& GetFilePath() const { return m_strFileName; }

    // Both throw CFileException when no file is open or the system fails.
    void Write(const void* data, unsigned count);
    unsigned Read(void* buffer, unsigned count);

    // From now on Write collects up to `size` bytes before it writes them out
    // (0: every Write goes to the file at once). A write that fails drops
    // what was collected; Flush and Close write out the rest.
    void SetWriteBuffer(size_t size);
    void Flush();

    // Cuts or extends the file to `length` bytes (a device stays as it is);
    // throws CFileException on failure.
    void SetLength(unsigned long long length);

    // Writes out the buffer and closes the file; the file is closed even when
    // that write fails, which then throws. Closing a file that is not open does nothing.
    void Close();

    // Deletes the named file; false when the system refuses.
    static bool Remove(const std::wstring& fileName);

private:
    // Throws the message `messageId` (an IDS_FW_FILE_NOT_... text) for this file and `error`.
    [[noreturn]] void ThrowError(UINT messageId, DWORD error) const;
    void RequireOpen() const;  // throws CFileException when no file is open
    void WriteOut(const void* data, unsigned count);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    std::wstring m_strFileName;
    bool m_bCreated = false;
    std::vector<char> m_buffer;  // what Write collected, up to m_nBufferSize bytes
    size_t m_nBufferSize = 0;
};

// Whether a file can be made in `folder` (a read-only folder, Program Files
// or one that Controlled Folder Access guards cannot take one). Finds out by
// making one, which is gone again when its handle closes.
bool FolderTakesFiles(const std::wstring& folder);
// A folder of the user's as the shell names it (CSIDL_LOCAL_APPDATA,
// CSIDL_PERSONAL, ...); empty when the system gives none.
std::wstring ShellFolder(int csidl);
// The folder part of `path`, without its last separator.
std::wstring FolderOf(const std::wstring& path);

class CArchive {
public:
    enum Mode { load, store };

    CArchive(CFile* file, Mode mode, unsigned bufferSize = 4096);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_mode == store; }

    // Reads one line up to a line feed, which is not kept, nor a carriage
    // return before it; a line longer than maxLength is cut there. Returns
    // false when the file holds nothing more.
    bool ReadString(CString& line, size_t maxLength = static_cast<size_t>(-1));
    void WriteString(const CString& text);
    void Write(const void* data, unsigned count);

    // Writes what is still buffered (storing); any write error surfaces here.
    void Close();

private:
    bool FillBuffer();
    void Flush();

    CFile* m_pFile;
    Mode m_mode;
    std::vector<char> m_buffer;
    size_t m_nUsed = 0;   // storing: bytes waiting; loading: bytes in the buffer
    size_t m_nNext = 0;   // loading: next byte to hand out
    bool m_bClosed = false;
};
