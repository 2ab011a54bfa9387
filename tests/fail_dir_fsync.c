/* Preloaded into wwnpool by the CLI test: fsync of a folder fails with EIO,
 * as on a failing disk, so that a rename that cannot be made durable is
 * seen to be reported. Every other fsync is the C library's. With
 * FAIL_FCHMOD set, fchmod fails too, as on a file system that refuses modes;
 * with FAIL_FCHOWN, fchown fails with EIO; with KILL_ON_RENAME, the process
 * is killed as it would replace a file, as by a power cut before the commit. */
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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

int fchmod(int fd, mode_t mode) {
    if (getenv("FAIL_FCHMOD") != NULL) {
        errno = EPERM;
        return -1;
    }
    int (*real_fchmod)(int, mode_t);
    *(void **)&real_fchmod = dlsym(RTLD_NEXT, "fchmod");
    return real_fchmod(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
    if (getenv("FAIL_FCHOWN") != NULL) {
        errno = EIO;
        return -1;
    }
    int (*real_fchown)(int, uid_t, gid_t);
    *(void **)&real_fchown = dlsym(RTLD_NEXT, "fchown");
    return real_fchown(fd, owner, group);
}

int rename(const char *from, const char *to) {
    if (getenv("KILL_ON_RENAME") != NULL) {
        kill(getpid(), SIGKILL);
    }
    int (*real_rename)(const char *, const char *);
    *(void **)&real_rename = dlsym(RTLD_NEXT, "rename");
    return real_rename(from, to);
}
