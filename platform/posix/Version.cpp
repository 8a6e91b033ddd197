// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA of the
// POSIX layer, on top of the bounded reader in VersionParse.h. Files are read
// through the layer (Windows paths, sharing), and only the headers, the
// resource directory entries on the way and the version resource itself.
#include <cstdint>
#include <cstring>
#include <new>

#include "platform/posix/PosixFiles.h"
#include "platform/posix/PosixModuleSearch.h"
#include "platform/posix/VersionParse.h"
#include "platform/posix/WinCodePage.h"
#include "platform/posix/WinErrors.h"
#include "platform/posix/WinFiles.h"
#include "platform/posix/WinVersion.h"

#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif

namespace {

class FileSource : public posix::version::ByteSource {
public:
    FileSource(HANDLE handle, uint64_t size) : m_handle(handle), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    long long ReadUpTo(uint64_t offset, void* out, size_t n) const override {
        long long got = posix::ReadAt(m_handle, offset, out, n);
        if (got < 0) m_ioError = GetLastError();
        return got;
    }
    DWORD IoError() const override { return m_ioError; }

private:
    HANDLE m_handle;
    uint64_t m_size;
    mutable DWORD m_ioError = ERROR_SUCCESS;
};

bool CheckName(LPCSTR fileName) {
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!*fileName) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    return true;
}

// Opens the file for the reader (a bare module name found as the loader finds
// it, see PosixModuleSearch.h) and takes its size. On failure the handle is
// closed and the last error set.
HANDLE OpenImage(LPCSTR fileName, uint64_t* size) {
    HANDLE file = posix::OpenForReading(posix::VersionFileOf(fileName).c_str());
    if (file == INVALID_HANDLE_VALUE) return file;
    if (posix::HandleSize(file, size)) return file;
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

BOOL QueryFailed(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Hands out a Unicode text value as ANSI text. The ANSI copies live behind
// the block: its root's wLength bytes, four bytes (GetFileVersionInfoA puts
// the signature "FE2X" there), then as many bytes again, the copy of the
// value at offset o at the same offset o of that area. That is where Windows
// puts them, whatever the four bytes hold: a caller that grows the block
// after GetFileVersionInfoA (appending nodes and raising wLength) owns a
// buffer of twice the new length plus four, and the copies move with the
// length. A value of n characters occupies 2n bytes of the block, so its copy
// of at most n bytes and a terminator fits into the area before the next
// value's copy, and never past the block's end plus its length again; a
// block as GetFileVersionInfoA leaves it always has that room (FinishBlock
// cuts the root to what the buffer holds twice).
BOOL QueryText(LPCVOID block, const posix::version::ValueRef& value, LPVOID* buffer, UINT* length) {
    const uint8_t* b = static_cast<const uint8_t*>(block);
    const size_t rootLength = static_cast<size_t>(b[0] | (b[1] << 8));
    // The area belongs to the caller's buffer, which is writable; the
    // parameter is const only because the block itself is not changed.
    char* area = const_cast<char*>(static_cast<const char*>(block)) + rootLength + 4;
    const size_t chars = value.bytes / 2;
    if (chars == 0) {
        // An empty value at the very end of the block has no byte of its own
        // in the area; the area's last byte is at most another copy's
        // terminator, so a zero there is harmless.
        const size_t at = value.offset < rootLength ? value.offset : rootLength - 1;
        area[at] = 0;
        *buffer = area + at;
        if (length) *length = 0;
        return TRUE;
    }
    const void* source = b + value.offset;
    WCHAR* copy = nullptr;
    if (reinterpret_cast<uintptr_t>(source) % alignof(WCHAR) != 0) {
        copy = new (std::nothrow) WCHAR[chars];
        if (!copy) return QueryFailed(ERROR_NOT_ENOUGH_MEMORY);
        std::memcpy(copy, source, chars * sizeof(WCHAR));
        source = copy;
    }
    char* out = area + value.offset;
    int written =
        WideCharToMultiByte(CP_ACP, 0, static_cast<LPCWSTR>(source), static_cast<int>(chars), out,
                            static_cast<int>(rootLength - value.offset), nullptr, nullptr);
    delete[] copy;
    if (written <= 0) return QueryFailed(ERROR_INVALID_DATA);
    out[written] = 0;
    *buffer = out;
    if (length) *length = static_cast<UINT>(written);
    return TRUE;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    if (!CheckName(fileName)) return 0;
    uint64_t size = 0;
    HANDLE file = OpenImage(fileName, &size);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD error = ERROR_SUCCESS;
    const DWORD answer = posix::version::VersionInfoSize(FileSource(file, size), &error);
    CloseHandle(file);
    SetLastError(error);
    return answer;
}

// Copies as much of the resource as fits (and as the file holds) and
// completes the block (see FinishBlock). A buffer shorter than the size answered above still gives
// a block of which VerQueryValueA reads and writes only what lies inside the buffer: the root is
// cut, values beyond the cut are not found. A buffer too short for even the root's header fails
// with ERROR_INSUFFICIENT_BUFFER.
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
    if (!data) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (!CheckName(fileName)) return FALSE;
    uint64_t size = 0;
    HANDLE file = OpenImage(fileName, &size);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD error = ERROR_SUCCESS;
    const bool done = posix::version::VersionInfo(FileSource(file, size),
                                                  static_cast<uint8_t*>(data), length, &error);
    CloseHandle(file);
    SetLastError(error);
    return done ? TRUE : FALSE;
}

// Looks up a sub-block of a block that GetFileVersionInfoA filled. The root
// ("\") answers its VS_FIXEDFILEINFO and fails when the block has none (its
// value is shorter than the structure); binary values answer their bytes
// (the translation array: four bytes per entry); Unicode text values answer
// an ANSI copy and its length in characters, 16-bit values their own bytes.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    // As on Windows, a failed look-up leaves the caller's pointer as it was
    // and sets the length to 0; without a block or a pointer to answer in,
    // neither is touched.
    if (!block || !buffer) return QueryFailed(ERROR_INVALID_PARAMETER);
    const uint8_t* b = static_cast<const uint8_t*>(block);
    posix::version::ValueRef value;
    if (!posix::version::FindValue(b, subBlock, &value) ||
        (value.root && value.bytes < sizeof(VS_FIXEDFILEINFO))) {
        if (length) *length = 0;
        return QueryFailed(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    if (value.text) return QueryText(block, value, buffer, length);
    *buffer = const_cast<uint8_t*>(b + value.offset);
    if (length) *length = static_cast<UINT>(value.bytes);
    return TRUE;
}
