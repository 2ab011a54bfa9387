/* Preloaded into wwnpool by the CLI test: fsync of a folder fails with EIO,
 * as on a failing disk, so that a rename that cannot be made durable is
 * seen to be reported. Every other fsync is the C library's. */
#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>

int fsync(int fd) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    int (*real_fsync)(int);
    *(void **)&real_fsync = dlsym(RTLD_NEXT, "fsync");
    return real_fsync(fd);
}
