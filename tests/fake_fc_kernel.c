/* Preloaded into wwnpool by the vport test, it plays the kernel's FC
 * transport over the fake sysfs tree at $WWNPOOL_SYSFS. A write of
 * "WWPN:WWNN" (16 hex digits each, a newline allowed) to
 * class/fc_host/hostH/vport_create makes class/fc_vports/vport-H:0-N (its
 * port_name and node_name printed as 0x and unpadded hex, vport_state,
 * symbolic_name) and the vport's own FC host, as the kernel does; a write to
 * vport_delete removes both. The errors are the kernel's: EINVAL for a
 * malformed write, ENOSPC when npiv_vports_inuse reaches max_npiv_vports,
 * ENOTUNIQ for a port name some FC host carries, ENODEV for a pair no vport
 * of that host has. A test makes a host refuse with errno E by writing E to
 * its file "refuse", and sets the state new vports reach in "next_state". */
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <inttypes.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static ssize_t real_write(int fd, const void *buf, size_t n) {
    ssize_t (*next)(int, const void *, size_t);
    *(void **)&next = dlsym(RTLD_NEXT, "write");
    return next(fd, buf, n);
}

static long read_number(const char *path, long fallback) {
    FILE *f = fopen(path, "r");
    long value = fallback;
    if (f != NULL) {
        if (fscanf(f, "%ld", &value) != 1) {
            value = fallback;
        }
        fclose(f);
    }
    return value;
}

static void put(const char *dir, const char *name, const char *text) {
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    FILE *f = fopen(path, "w");
    if (f != NULL) {
        fputs(text, f);
        fclose(f);
    }
}

static int parse_pair(const char *buf, size_t n, uint64_t *port, uint64_t *node) {
    if (n > 0 && buf[n - 1] == '\n') {
        --n;
    }
    if (n != 33 || buf[16] != ':') {
        return 0;
    }
    for (size_t i = 0; i < 33; ++i) {
        if (i != 16 && strchr("0123456789abcdefABCDEF", buf[i]) == NULL) {
            return 0;
        }
    }
    *port = strtoull(buf, NULL, 16);
    *node = strtoull(buf + 17, NULL, 16);
    return 1;
}

/* The entry of class/CLASS whose port_name is `port` and whose name starts
 * with `prefix`, into `found`; 0 when there is none. */
static int find_entry(const char *root, const char *class, const char *prefix, uint64_t port, uint64_t node,
                      char *found, size_t size) {
    char dir[PATH_MAX];
    snprintf(dir, sizeof dir, "%s/class/%s", root, class);
    DIR *d = opendir(dir);
    struct dirent *e;
    int hit = 0;
    while (d != NULL && !hit && (e = readdir(d)) != NULL) {
        char path[PATH_MAX];
        snprintf(path, sizeof path, "%s/%s/port_name", dir, e->d_name);
        FILE *f = fopen(path, "r");
        uint64_t value = 0, node_value = 0;
        if (e->d_name[0] == '.' || strncmp(e->d_name, prefix, strlen(prefix)) != 0 || f == NULL ||
            fscanf(f, "%" SCNx64, &value) != 1) {
            if (f != NULL) {
                fclose(f);
            }
            continue;
        }
        fclose(f);
        snprintf(path, sizeof path, "%s/%s/node_name", dir, e->d_name);
        f = fopen(path, "r");
        if (f != NULL) {
            if (fscanf(f, "%" SCNx64, &node_value) != 1) {
                node_value = 0;
            }
            fclose(f);
        }
        if (value == port && (node == 0 || node_value == node)) {
            snprintf(found, size, "%s/%s", dir, e->d_name);
            hit = 1;
        }
    }
    if (d != NULL) {
        closedir(d);
    }
    return hit;
}

static int next_number(const char *root, const char *class, const char *prefix) {
    char dir[PATH_MAX];
    snprintf(dir, sizeof dir, "%s/class/%s", root, class);
    DIR *d = opendir(dir);
    struct dirent *e;
    int next = 0;
    while (d != NULL && (e = readdir(d)) != NULL) {
        const char *at = strncmp(e->d_name, prefix, strlen(prefix)) == 0 ? e->d_name + strlen(prefix) : NULL;
        if (at != NULL && atoi(at) >= next) {
            next = atoi(at) + 1;
        }
    }
    if (d != NULL) {
        closedir(d);
    }
    return next;
}

static void count_in_use(const char *host_dir, int step) {
    char path[PATH_MAX], text[32];
    snprintf(path, sizeof path, "%s/npiv_vports_inuse", host_dir);
    snprintf(text, sizeof text, "%ld\n", read_number(path, 0) + step);
    put(host_dir, "npiv_vports_inuse", text);
}

static int vport_create(const char *root, const char *host_dir, int host, uint64_t port, uint64_t node) {
    char path[PATH_MAX], entry[PATH_MAX], text[64];
    snprintf(path, sizeof path, "%s/npiv_vports_inuse", host_dir);
    const long in_use = read_number(path, 0);
    snprintf(path, sizeof path, "%s/max_npiv_vports", host_dir);
    if (in_use >= read_number(path, 0)) {
        return ENOSPC;
    }
    if (find_entry(root, "fc_host", "host", port, 0, entry, sizeof entry)) {
        return ENOTUNIQ;
    }
    /* Numbers are never reused while the host lives. */
    snprintf(path, sizeof path, "%s/next_vport_number", host_dir);
    const long number = read_number(path, 0);
    snprintf(text, sizeof text, "%ld\n", number + 1);
    snprintf(entry, sizeof entry, "%s/class/fc_vports/vport-%d:0-%ld", root, host, number);
    const int new_host = next_number(root, "fc_host", "host");
    snprintf(path, sizeof path, "%s/class/fc_host/host%d", root, new_host);
    if (mkdir(entry, 0755) != 0 || mkdir(path, 0755) != 0) {
        return EIO;
    }
    put(host_dir, "next_vport_number", text);
    for (int i = 0; i < 2; ++i) {
        const char *dir = i == 0 ? entry : path;
        snprintf(text, sizeof text, "0x%" PRIx64 "\n", port);
        put(dir, "port_name", text);
        snprintf(text, sizeof text, "0x%" PRIx64 "\n", node);
        put(dir, "node_name", text);
    }
    char state[64] = "Active";
    snprintf(path, sizeof path, "%s/next_state", host_dir);
    FILE *f = fopen(path, "r");
    if (f != NULL) {
        if (fgets(state, sizeof state, f) != NULL) {
            state[strcspn(state, "\n")] = '\0';
        }
        fclose(f);
    }
    strcat(state, "\n");
    put(entry, "vport_state", state);
    put(entry, "symbolic_name", "\n");
    count_in_use(host_dir, 1);
    return 0;
}

static int vport_delete(const char *root, const char *host_dir, int host, uint64_t port, uint64_t node) {
    char prefix[32], entry[PATH_MAX], command[3 * PATH_MAX];
    snprintf(prefix, sizeof prefix, "vport-%d:0-", host);
    if (!find_entry(root, "fc_vports", prefix, port, node, entry, sizeof entry)) {
        return ENODEV;
    }
    char own_host[PATH_MAX] = "";
    find_entry(root, "fc_host", "host", port, node, own_host, sizeof own_host);
    snprintf(command, sizeof command, "rm -rf '%s' '%s'", entry, own_host);
    if (system(command) != 0) {
        return EIO;
    }
    count_in_use(host_dir, -1);
    return 0;
}

ssize_t write(int fd, const void *buf, size_t n) {
    const char *root = getenv("WWNPOOL_SYSFS");
    char link[64], path[PATH_MAX], host_dir[PATH_MAX], real_root[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t len = readlink(link, path, sizeof path - 1);
    int host = -1, used = 0;
    if (root == NULL || len <= 0 || realpath(root, real_root) == NULL) {
        return real_write(fd, buf, n);
    }
    path[len] = '\0';
    char action[32] = "";
    const size_t root_len = strlen(real_root);
    if (strncmp(path, real_root, root_len) != 0 ||
        sscanf(path + root_len, "/class/fc_host/host%d/%31[a-z_]%n", &host, action, &used) != 2 ||
        path[root_len + (size_t)used] != '\0' ||
        (strcmp(action, "vport_create") != 0 && strcmp(action, "vport_delete") != 0)) {
        return real_write(fd, buf, n);
    }
    snprintf(host_dir, sizeof host_dir, "%s/class/fc_host/host%d", real_root, host);
    snprintf(path, sizeof path, "%s/refuse", host_dir);
    int error = (int)read_number(path, 0);
    uint64_t port = 0, node = 0;
    if (error == 0 && !parse_pair(buf, n, &port, &node)) {
        error = EINVAL;
    }
    if (error == 0) {
        error = action[6] == 'c' ? vport_create(real_root, host_dir, host, port, node)
                                 : vport_delete(real_root, host_dir, host, port, node);
    }
    if (error != 0) {
        errno = error;
        return -1;
    }
    return (ssize_t)n;
}
