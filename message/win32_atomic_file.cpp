#include "atomic_file.h"

#include "unicode_text.h"

#include <windows.h>

#include <cwchar>

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

private:
    std::wstring path_;
};

std::wstring directoryOf(const std::wstring& path) {
    std::wstring::size_type separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
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

// A reader polling the file may hold it open for a moment without letting it
// be replaced; the save waits for it briefly rather than lose the message.
bool moveOver(const std::wstring& from, const std::wstring& to) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 100) {
            SetLastError(error);
            return false;
        }
        Sleep(10);
    }
}

} // namespace

Expected<void, SystemError> replaceFile(const std::string& path, std::string_view bytes) {
    const std::wstring target = wideFromUtf8(path);
    if (DWORD attributes = GetFileAttributesW(target.c_str()); attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return Unexpected(lastSystemError());
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            SetLastError(ERROR_ACCESS_DENIED);
            return Unexpected(lastSystemError());
        }
    }

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
    FileHandle file(handle);
    TemporaryFile temporary(temporaryPath);

    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.close())
        return Unexpected(lastSystemError());
    if (!moveOver(temporary.path(), target))
        return Unexpected(lastSystemError());
    temporary.keep();
    return {};
}

} // namespace kulverant
