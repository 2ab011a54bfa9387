/* Preloaded into wwnpool by the CLI tests, with FAKE_FC_KERNEL naming
 * fake_fc_kernel.sh: a write to an FC host's vport_create or vport_delete
 * goes to that script, which plays the kernel's part over the fake sysfs
 * tree and exits with the errno the kernel's store would return. Every other
 * write is the C library's. */
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

ssize_t write(int fd, const void *buf, size_t n) {
    ssize_t (*real_write)(int, const void *, size_t);
    *(void **)&real_write = dlsym(RTLD_NEXT, "write");
    const char *script = getenv("FAKE_FC_KERNEL");
    char link[32], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t len = script == NULL ? -1 : readlink(link, path, sizeof path - 1);
    const char *name = len > 0 ? (path[len] = '\0', strrchr(path, '/')) : NULL;
    if (name == NULL || (strcmp(name, "/vport_create") != 0 && strcmp(name, "/vport_delete") != 0)) {
        return real_write(fd, buf, n);
    }
    char text[64], length[24];
    snprintf(text, sizeof text, "%.*s", (int)(n < sizeof text ? n : sizeof text - 1), (const char *)buf);
    snprintf(length, sizeof length, "%zu", n);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/bash", "bash", script, path, text, length, (char *)NULL);
        _exit(EIO);
    }
    int status = 0;
    const int error = pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) ? EIO : WEXITSTATUS(status);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return (ssize_t)n;
}
