#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kulverant {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, so that a failing close is seen: some file systems only
    // report a failed write there.
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Removes the temporary file on every way out except a successful rename.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void keep() { path_.clear(); }
    void remove() {
        ::unlink(path_.c_str());
        path_.clear();
    }

private:
    std::string path_;
};

// Holds back every catchable signal while a temporary file exists. A decoder
// or a shutdown that stops the program mid-save (SIGTERM, SIGINT, SIGHUP, ...)
// would otherwise leave the file behind for good; held, the signal takes
// effect a moment later, once the file is renamed into place or removed.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &previous_);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_;
};

std::string directoryOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A name no other start of the program picks at the same moment: the process
// id keeps concurrent starts apart, the random part keeps a reused id apart
// from a temporary file that a killed start left behind.
std::string temporaryName(const std::string& directory) {
    static std::mt19937_64 random{std::random_device{}()};
    char name[64];
    std::snprintf(name, sizeof name, ".kulverant-%ld-%016llx.tmp", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(random()));
    return directory + name;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable. Some file systems cannot sync a directory;
// the file is in place by then, so that is no reason to report a failure.
void syncDirectory(const std::string& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Whether a failure to create or rename the temporary file comes from the
// folder's permissions, where the file itself may still be writable.
bool folderRefused(int error) {
    return error == EACCES || error == EPERM;
}

// Another start rewriting the same file in place would interleave its bytes
// with these and leave a mix of both messages: in-place writers take turns
// with an advisory lock, which readers, who take none, never wait for. The
// wait is bounded, so that a program holding the lock for good cannot hold
// the alarm back without a report.
bool takeTurn(int fd) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        ::usleep(10000);
    }
    errno = EWOULDBLOCK;
    return false;
}

// Rewrites the existing file itself, where the user may write the message
// files but not their folder (an admin's drop folder). A reader may catch the
// file half-written meanwhile, but a failure leaves the old message whole: the
// room that the new message needs beyond the old one's end is taken first,
// where it touches none of the old bytes, so that a full disk or a quota
// fails before they are touched; the file is then cut back. It is reserved
// where the file system can (ext4, xfs, btrfs, tmpfs), otherwise written
// (ext2 and ext3, NFSv3, most FUSE file systems), which takes it as well.
// Then the new bytes go over the old ones and the file is cut to their
// length. Only a device error can still tear it, or a full disk on a file
// system that writes every change to new blocks (btrfs). Never creates a file
// and never follows a link.
Expected<void, SystemError> rewriteInPlace(const std::string& path, std::string_view bytes) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (file.get() < 0 || !takeTurn(file.get()) || ::fstat(file.get(), &opened) != 0)
        return Unexpected(lastSystemError());
    if (!S_ISREG(opened.st_mode))
        return Unexpected(systemError(EACCES));
    const auto length = static_cast<off_t>(bytes.size());
    // What is still to be written once the room is taken.
    std::string_view rest = bytes;
    if (length > opened.st_size) {
        int error = ::fallocate(file.get(), 0, opened.st_size, length - opened.st_size) == 0 ? 0 : errno;
        if (error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) {
            rest = bytes.substr(0, static_cast<std::size_t>(opened.st_size));
            error = ::lseek(file.get(), opened.st_size, SEEK_SET) >= 0 && writeAll(file.get(), bytes.substr(rest.size()))
                        ? 0
                        : errno;
        }
        if (error != 0) {
            struct stat now {};
            if (::fstat(file.get(), &now) == 0 && now.st_size > opened.st_size)
                ::ftruncate(file.get(), opened.st_size);
            return Unexpected(systemError(error));
        }
    }
    if (::lseek(file.get(), 0, SEEK_SET) < 0 || !writeAll(file.get(), rest) || ::ftruncate(file.get(), length) != 0 ||
        ::fsync(file.get()) != 0 || !file.close())
        return Unexpected(lastSystemError());
    return {};
}

// A file-size limit (ulimit -f, a unit's LimitFSIZE=) stops a write partway,
// also over bytes the file already has; a message longer than the limit is
// refused before anything is written.
bool exceedsFileSizeLimit(std::size_t length) {
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && length > limit.rlim_cur;
}

} // namespace

Expected<void, SystemError> replaceFile(const std::string& path, std::string_view bytes) {
    struct stat existing {};
    bool replacesRegularFile = ::lstat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    // A file without any write permission was made read-only on purpose;
    // root, whom no permission stops, respects that too.
    if (replacesRegularFile && (existing.st_mode & 0222) == 0)
        return Unexpected(systemError(EACCES));
    if (replacesRegularFile && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EROFS || errno == EPERM))
        return Unexpected(lastSystemError());
    if (exceedsFileSizeLimit(bytes.size()))
        return Unexpected(systemError(EFBIG));

    const std::string directory = directoryOf(path);
    SignalsHeld signalsHeld;
    std::string temporaryPath;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporaryPath = temporaryName(directory);
        fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && replacesRegularFile && folderRefused(errno))
            return rewriteInPlace(path, bytes);
        if (fd < 0 && (errno != EEXIST || attempt == 16))
            return Unexpected(lastSystemError());
    }
    // Declared in this order so that the file is closed before it is removed.
    TemporaryFile temporary(temporaryPath);
    FileDescriptor file(fd);

    // Readers that were allowed to read the old file may read the new one:
    // it keeps the old file's owner where the user may give it (root), its
    // group where the user belongs to it, and then its mode, which a change
    // of owner would have cleared of set-id bits.
    if (replacesRegularFile) {
        if (::fchown(file.get(), existing.st_uid, existing.st_gid) != 0 &&
            ::fchown(file.get(), static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // Not a member of that group: the file gets the user's own.
        }
        ::fchmod(file.get(), existing.st_mode & 07777);
    }

    if (!writeAll(file.get(), bytes) || ::fsync(file.get()) != 0 || !file.close())
        return Unexpected(lastSystemError());
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
        // A sticky folder lets only a file's owner replace it. The temporary
        // file goes first, to leave its room to the rewrite.
        if (replacesRegularFile && folderRefused(errno)) {
            temporary.remove();
            return rewriteInPlace(path, bytes);
        }
        return Unexpected(lastSystemError());
    }
    temporary.keep();
    syncDirectory(directory);
    return {};
}

} // namespace kulverant
