/* The floor under one wwnpool change: a minimal process that does the same
 * file work (lock, read the state, write a new file, flush it, rename it over
 * the old one, flush the folder) and nothing else. Usage: change_floor STATE */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        return 2;
    }
    char lock[4096], temp[4096], folder[4096], data[65536];
    snprintf(lock, sizeof lock, "%s.lock", argv[1]);
    snprintf(temp, sizeof temp, "%s.floor-new", argv[1]);
    snprintf(folder, sizeof folder, "%s", argv[1]);
    char *slash = strrchr(folder, '/');
    if (slash != NULL) {
        *slash = '\0';
    } else {
        strcpy(folder, ".");
    }
    int lock_fd = open(lock, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    int in = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (lock_fd < 0 || flock(lock_fd, LOCK_EX) != 0 || in < 0) {
        return 1;
    }
    ssize_t n = read(in, data, sizeof data);
    close(in);
    int out = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (n < 0 || out < 0 || write(out, data, (size_t)n) != n || fsync(out) != 0 || close(out) != 0 ||
        rename(temp, argv[1]) != 0) {
        return 1;
    }
    int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || fsync(dir) != 0) {
        return 1;
    }
    close(dir);
    close(lock_fd);
    return 0;
}
