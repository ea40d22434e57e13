#include "atomic_file.h"

#include "keyed_path.h"
#include "unicode_text.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <optional>

namespace kulverant {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

// Removes the temporary file on every way out except a successful replace.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty())
            DeleteFileW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }
    void keep() { path_.clear(); }
    void remove() {
        DeleteFileW(path_.c_str());
        path_.clear();
    }

private:
    std::wstring path_;
};

std::wstring directoryOf(const std::wstring& path) {
    std::wstring::size_type separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring nameOf(const std::wstring& path) {
    return path.substr(directoryOf(path).size());
}

bool isDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Unexpected<SystemError> failure(DWORD code) {
    return Unexpected(systemError(static_cast<int>(code)));
}

// Why the file at target may not be replaced, or nothing: a folder, a
// read-only file, or a short (8.3) name that reaches another first word's file.
std::optional<SystemError> refusal(const std::wstring& target) {
    WIN32_FIND_DATAW existing;
    HANDLE search = FindFirstFileW(target.c_str(), &existing);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(search);
    if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return systemError(ERROR_ALREADY_EXISTS);
    if (existing.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        return systemError(ERROR_ACCESS_DENIED);
    auto utf8 = [](const wchar_t* name) { return utf8FromUtf16(reinterpret_cast<const char16_t*>(name)); };
    std::wstring requested = nameOf(target);
    if (std::string reason = shortNameRefusal(utf8(requested.c_str()), utf8(existing.cFileName),
                                              utf8(existing.cAlternateFileName));
        !reason.empty())
        return SystemError{ErrorNumber::BadFileName, std::move(reason)};
    return std::nullopt;
}

// A name too long for Windows, or one the file system below refuses for its
// length, comes back as "path not found" although the folder is there.
DWORD nameError(const std::wstring& target, DWORD error) {
    if ((error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) && isDirectory(directoryOf(target)))
        return ERROR_FILENAME_EXCED_RANGE;
    return error;
}

// The process id keeps concurrent starts apart; the counter reading keeps a
// reused id apart from a temporary file that a killed start left behind.
std::wstring temporaryName(const std::wstring& directory, int attempt) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    wchar_t name[64];
    std::swprintf(name, 64, L".kulverant-%lu-%08lx%02x.tmp", GetCurrentProcessId(),
                  static_cast<unsigned long>(now.LowPart), static_cast<unsigned>(attempt));
    return directory + name;
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool isSharingConflict(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// A reader polling the file may hold it open for a moment without letting it
// be replaced, and another start may be rewriting it; the save waits for them
// briefly rather than lose the message.
template <typename Attempt> bool waitingWhileShared(Attempt attempt) {
    for (int tries = 0;; ++tries) {
        if (attempt())
            return true;
        DWORD error = GetLastError();
        if (!isSharingConflict(error) || tries == 100) {
            SetLastError(error);
            return false;
        }
        Sleep(10);
    }
}

bool writeAt(HANDLE file, std::size_t offset, std::string_view bytes) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && writeAll(file, bytes);
}

bool cutAt(HANDLE file, std::size_t length) {
    return writeAt(file, length, {}) && SetEndOfFile(file);
}

// Rewrites the file itself, as Windows' own editors save. A reader that keeps
// the file open and shares writing but not deletion (most C runtimes open
// files so) blocks a replacement for good, but not this; only a reader that
// denies writing still stops the save. Opened without sharing writing, so
// that a second start rewriting the file waits for this one instead of
// mixing its bytes in. The part of the new message beyond the old one's end
// goes first, where it touches none of the old bytes: if the disk has no room
// for it, the file is cut back and the old message stays whole. Then the rest
// is written over the old bytes and the file cut to the new length. Only a
// device error while writing that rest can still tear it. A symbolic link or
// junction in the file's place is refused, not followed, as the replacement
// replaces it.
bool rewriteInPlace(const std::wstring& target, std::string_view bytes) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!waitingWhileShared([&] {
            handle = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            return handle != INVALID_HANDLE_VALUE;
        }))
        return false;
    FileHandle file(handle);
    BY_HANDLE_FILE_INFORMATION opened;
    if (!GetFileInformationByHandle(file.get(), &opened))
        return false;
    if (opened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const std::size_t size = (static_cast<std::size_t>(opened.nFileSizeHigh) << 16 << 16) | opened.nFileSizeLow;
    const std::size_t kept = std::min(bytes.size(), size);
    if (!writeAt(file.get(), kept, bytes.substr(kept))) {
        DWORD error = GetLastError();
        cutAt(file.get(), size);
        SetLastError(error);
        return false;
    }
    return writeAt(file.get(), 0, bytes.substr(0, kept)) && cutAt(file.get(), bytes.size()) &&
           FlushFileBuffers(file.get()) && file.close();
}

} // namespace

Expected<void, SystemError> replaceFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = wideFromUtf8(path);
    if (target.size() >= MAX_PATH || nameOf(target).size() > 255)
        return failure(ERROR_FILENAME_EXCED_RANGE);
    if (std::optional<SystemError> refused = refusal(target))
        return Unexpected(std::move(*refused));

    const std::wstring directory = directoryOf(target);
    std::wstring temporaryPath;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporaryPath = temporaryName(directory, attempt);
        handle = CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (handle == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_FILE_EXISTS || attempt == 16))
            return Unexpected(lastSystemError());
    }
    // In this order, so that the handle is closed before the file is deleted:
    // opened without sharing, the file cannot be deleted while it is open.
    TemporaryFile temporary(temporaryPath);
    FileHandle file(handle);

    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.close())
        return Unexpected(lastSystemError());
    if (!waitingWhileShared([&] {
            return MoveFileExW(temporary.path().c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        DWORD error = GetLastError();
        if (!isSharingConflict(error))
            return failure(nameError(target, error));
        // The temporary file goes first, to leave its room to the rewrite.
        temporary.remove();
        if (!rewriteInPlace(target, bytes))
            return Unexpected(lastSystemError());
        return {};
    }
    temporary.keep();
    return {};
}

} // namespace kulverant
