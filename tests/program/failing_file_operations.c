/* Preloaded into the program: its Nth file operation (N from KULVERANT_FAIL_AT)
   fails, or with KULVERANT_FAIL_WITH=signal a SIGTERM, SIGINT or SIGHUP
   arrives just before it; either is said on standard error. A write that
   needs room writes half, as on a disk that fills up, and the next such write
   fails. Writes over bytes the file already has and cuts need no room: only
   a device error fails them, and the README says what that does to a file
   rewritten in place. They are not counted and never fail here. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define NEXT(name) (__extension__(__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int full;

static int failsNow(const char* operation) {
    static long count;
    const char* at = getenv("KULVERANT_FAIL_AT");
    if (!at || ++count != atol(at))
        return 0;
    char note[64];
    int length = snprintf(note, sizeof note, "failing_file_operations: %s\n", operation);
    NEXT(write)(STDERR_FILENO, note, (size_t)length);
    const char* with = getenv("KULVERANT_FAIL_WITH");
    if (!with || strcmp(with, "signal") != 0)
        return 1;
    raise((int[]){SIGTERM, SIGINT, SIGHUP}[count % 3]);
    return 0;
}

static int failed(int error) {
    errno = error;
    return -1;
}

static int needsRoom(int fd, off_t end) {
    struct stat file;
    return fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || end > file.st_size;
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    mode_t mode = va_arg(arguments, mode_t);
    va_end(arguments);
    return failsNow("open") ? failed(EIO) : NEXT(open)(path, flags, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
    if (fd > STDERR_FILENO && needsRoom(fd, lseek(fd, 0, SEEK_CUR) + (off_t)size)) {
        if (!full && failsNow("write"))
            full = 1, size /= 2;
        else if (full)
            size = 0;
        if (size == 0)
            return failed(ENOSPC);
    }
    return NEXT(write)(fd, data, size);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    if (needsRoom(fd, offset + length) && (full || failsNow("fallocate")))
        return failed(ENOSPC);
    return NEXT(fallocate)(fd, mode, offset, length);
}

int ftruncate(int fd, off_t length) {
    return needsRoom(fd, length) && failsNow("ftruncate") ? failed(EFBIG) : NEXT(ftruncate)(fd, length);
}

int fsync(int fd) {
    return failsNow("fsync") ? failed(EIO) : NEXT(fsync)(fd);
}

int rename(const char* from, const char* to) {
    return failsNow("rename") ? failed(EIO) : NEXT(rename)(from, to);
}
