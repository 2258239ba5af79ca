/* A FUSE file system for tests that stands for a network share that stopped
 * answering: statfs, and a look at the entry "hang", block until the release
 * file exists (or the parent test dies, or a minute passes). Everything else
 * answers at once: an empty root with one folder "hang" and one folder "ok".
 *
 *   hangfs RELEASE-FILE MOUNT-POINT [SOURCE]
 *
 * Mounted as type fuse.sshfs so that the volume table counts it as a share;
 * with SOURCE (a path, "MOUNT-POINT/hang" for one that hangs) as type
 * fuse.hangfs with that source, like an image file mounted through FUSE.
 * auto_unmount takes the mount away when this process ends, however it ends. */
#define FUSE_USE_VERSION 31

#include <errno.h>
#include <fuse.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

static const char *releaseFile;
static pid_t parent;

/* A request the kernel has sent cannot be abandoned by its caller, not even
 * when it is killed: never hold one for more than a minute, so that a test
 * that dies without releasing leaves nothing hung behind for long. */
static void waitForRelease(void)
{
    for (int waited = 0; waited < 6000 && access(releaseFile, F_OK) != 0 && getppid() == parent; ++waited) {
        usleep(10000);
    }
}

static int hangGetattr(const char *path, struct stat *st, struct fuse_file_info *fi)
{
    (void)fi;
    memset(st, 0, sizeof *st);
    if (strcmp(path, "/hang") == 0) {
        waitForRelease();
    }
    if (strcmp(path, "/") == 0 || strcmp(path, "/hang") == 0 || strcmp(path, "/ok") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    return -ENOENT;
}

static int hangReaddir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t offset,
                       struct fuse_file_info *fi, enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)fi;
    (void)flags;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    if (strcmp(path, "/") == 0) {
        fill(buffer, "hang", NULL, 0, 0);
        fill(buffer, "ok", NULL, 0, 0);
    }
    return 0;
}

static int hangStatfs(const char *path, struct statvfs *st)
{
    (void)path;
    waitForRelease();
    memset(st, 0, sizeof *st);
    st->f_bsize = 4096;
    st->f_frsize = 4096;
    st->f_blocks = 1024;
    st->f_bfree = 512;
    st->f_bavail = 512;
    st->f_namemax = 255;
    return 0;
}

static const struct fuse_operations operations = {
    .getattr = hangGetattr,
    .readdir = hangReaddir,
    .statfs = hangStatfs,
};

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        return 2;
    }
    releaseFile = argv[1];
    parent = getppid();
    /* Gone with the test: blocked requests are answered and the mount goes. */
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    char options[4096];
    snprintf(options, sizeof options, "subtype=%s,fsname=%s,auto_unmount", argc == 4 ? "hangfs" : "sshfs",
             argc == 4 ? argv[3] : "hang@loopback:/share");
    char *args[] = {argv[0], "-f", "-o", options, argv[2], NULL};
    return fuse_main(5, args, &operations, NULL);
}
