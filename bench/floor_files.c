/* The floor for the files: the least a program can do to put a message into
 * the two files durably. No temporary file, no checks beyond the calls. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int save(const char *path, const char *text, size_t size) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size || fsync(fd) != 0)
        return -1;
    return close(fd);
}

int main(int argc, char **argv) {
    static char text[1 << 16], path[4096], word[1024];
    size_t size = (size_t)snprintf(text, sizeof text, "ZIZ: ");
    for (int i = 1; i < argc; ++i)
        size += (size_t)snprintf(text + size, sizeof text - size, i > 1 ? " %s" : "%s", argv[i]);
    snprintf(word, sizeof word, "%s", argc > 1 ? argv[1] : "");
    word[strcspn(word, " ")] = '\0';
    const char *home = getenv("HOME");
    snprintf(path, sizeof path, "%s/Pocsag/Kulverant.txt", home);
    if (save(path, text, size) != 0)
        return 1;
    snprintf(path, sizeof path, "%s/Pocsag/%s.txt", home, word);
    return save(path, text, size) != 0;
}
