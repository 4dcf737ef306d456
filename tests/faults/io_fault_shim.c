// An LD_PRELOAD interposer that counts the file-writing calls a program makes on files inside one
// folder and fails the Nth of them, as a full or failing disk would.
//
//   ZOND_FAULT_DIR     the folder whose files count (absolute); unset: the shim does nothing
//   ZOND_FAULT_CALL    write | fsync | rename | ftruncate | open | any: the kind of call counted
//                      for ZOND_FAULT_AT (fsync covers fdatasync, open covers opens for writing)
//   ZOND_FAULT_AT      the 1-based number of the counted call that fails; unset: count only
//   ZOND_FAULT_ERRNO   ENOSPC (default) or EIO
//   ZOND_FAULT_REPORT  a file that receives, at exit, one line per kind ("write 12") and
//                      "fired 1" when the fault was injected
//
// stdio streams are seen where the program hands bytes to them (fwrite, fputs, fputc, fprintf),
// since glibc writes their buffers through internal calls; a failure there also sets the stream's
// error flag, as a failed flush would.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

enum Kind { kWrite, kFsync, kRename, kFtruncate, kOpen, kKinds };
static const char* const kKindNames[kKinds] = {"write", "fsync", "rename", "ftruncate", "open"};

#define MAX_FDS 4096
#define MAX_STREAMS 64

static char folder[4096];
static size_t folderLength;
static int cwdInFolder;
static int faultKind = -1;  // -1: any kind
static long faultAt;
static int faultErrno = ENOSPC;
static long counts[kKinds];
static long total;
static int fired;
static unsigned char trackedFd[MAX_FDS];
static FILE* trackedStreams[MAX_STREAMS];

static void* real(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == NULL) {
        abort();
    }
    return symbol;
}

// Declares real_NAME, the next definition of NAME, looked up once.
#define REAL(name)                                    \
    static __typeof__(&name) real_##name;             \
    if (real_##name == NULL) {                        \
        real_##name = (__typeof__(&name))real(#name); \
    }

static int inFolder(const char* path) {
    if (folderLength == 0 || path == NULL) {
        return 0;
    }
    if (path[0] != '/') {
        return cwdInFolder;
    }
    return strncmp(path, folder, folderLength) == 0 &&
           (path[folderLength] == '/' || path[folderLength] == '\0');
}

// Counts one call; nonzero when it is the one to fail (errno is set then).
static int countCall(enum Kind kind) {
    ++counts[kind];
    ++total;
    const long number = faultKind < 0 ? total : (faultKind == (int)kind ? counts[kind] : 0);
    if (faultAt > 0 && number == faultAt) {
        fired = 1;
        errno = faultErrno;
        return 1;
    }
    return 0;
}

static int fdTracked(int fd) {
    return fd >= 0 && fd < MAX_FDS && trackedFd[fd];
}

static void track(int fd, int on) {
    if (fd >= 0 && fd < MAX_FDS) {
        trackedFd[fd] = (unsigned char)on;
    }
}

static int streamTracked(FILE* stream) {
    for (int i = 0; i < MAX_STREAMS; ++i) {
        if (stream != NULL && trackedStreams[i] == stream) {
            return 1;
        }
    }
    return 0;
}

static void trackStream(FILE* stream, int on) {
    for (int i = 0; i < MAX_STREAMS; ++i) {
        if (on ? trackedStreams[i] == NULL : trackedStreams[i] == stream) {
            trackedStreams[i] = on ? stream : NULL;
            return;
        }
    }
}

static void writeReport(void) {
    const char* path = getenv("ZOND_FAULT_REPORT");
    if (path == NULL) {
        return;
    }
    REAL(fopen);
    FILE* out = real_fopen(path, "w");
    if (out == NULL) {
        return;
    }
    for (int kind = 0; kind < kKinds; ++kind) {
        fprintf(out, "%s %ld\n", kKindNames[kind], counts[kind]);
    }
    fprintf(out, "fired %d\n", fired);
    fclose(out);
}

__attribute__((constructor)) static void setUp(void) {
    const char* dir = getenv("ZOND_FAULT_DIR");
    if (dir == NULL || dir[0] != '/' || strlen(dir) >= sizeof folder) {
        return;
    }
    strcpy(folder, dir);
    folderLength = strlen(folder);
    while (folderLength > 1 && folder[folderLength - 1] == '/') {
        folder[--folderLength] = '\0';
    }
    char cwd[4096];
    cwdInFolder = getcwd(cwd, sizeof cwd) != NULL && inFolder(cwd);
    const char* call = getenv("ZOND_FAULT_CALL");
    for (int kind = 0; call != NULL && kind < kKinds; ++kind) {
        if (strcmp(call, kKindNames[kind]) == 0) {
            faultKind = kind;
        }
    }
    const char* at = getenv("ZOND_FAULT_AT");
    faultAt = at != NULL ? atol(at) : 0;
    const char* error = getenv("ZOND_FAULT_ERRNO");
    faultErrno = error != NULL && strcmp(error, "EIO") == 0 ? EIO : ENOSPC;
    atexit(writeReport);
}

// Opens: counted when they may write a file in the folder.
static int writesTo(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

static int openCommon(const char* path, int flags, int result) {
    if (result >= 0) {
        track(result, inFolder(path) && writesTo(flags));
    }
    return result;
}

#define OPEN_WRAPPER(name)                                              \
    int name(const char* path, int flags, ...) {                        \
        REAL(name);                                                     \
        mode_t mode = 0;                                                \
        if (flags & (O_CREAT | O_TMPFILE)) {                            \
            va_list args;                                               \
            va_start(args, flags);                                      \
            mode = va_arg(args, mode_t);                                \
            va_end(args);                                               \
        }                                                               \
        if (inFolder(path) && writesTo(flags) && countCall(kOpen)) {    \
            return -1;                                                  \
        }                                                               \
        return openCommon(path, flags, real_##name(path, flags, mode)); \
    }
OPEN_WRAPPER(open)
OPEN_WRAPPER(open64)

#define OPENAT_WRAPPER(name)                                                         \
    int name(int dirfd, const char* path, int flags, ...) {                          \
        REAL(name);                                                                  \
        mode_t mode = 0;                                                             \
        if (flags & (O_CREAT | O_TMPFILE)) {                                         \
            va_list args;                                                            \
            va_start(args, flags);                                                   \
            mode = va_arg(args, mode_t);                                             \
            va_end(args);                                                            \
        }                                                                            \
        const int counted = (path[0] == '/' || dirfd == AT_FDCWD) && inFolder(path); \
        if (counted && writesTo(flags) && countCall(kOpen)) {                        \
            return -1;                                                               \
        }                                                                            \
        const int fd = real_##name(dirfd, path, flags, mode);                        \
        if (fd >= 0) {                                                               \
            track(fd, counted&& writesTo(flags));                                    \
        }                                                                            \
        return fd;                                                                   \
    }
OPENAT_WRAPPER(openat)
OPENAT_WRAPPER(openat64)

int creat(const char* path, mode_t mode) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}
int creat64(const char* path, mode_t mode) {
    return creat(path, mode);
}

int close(int fd) {
    REAL(close);
    track(fd, 0);
    return real_close(fd);
}

ssize_t write(int fd, const void* bytes, size_t size) {
    REAL(write);
    if (fdTracked(fd) && countCall(kWrite)) {
        return -1;
    }
    return real_write(fd, bytes, size);
}

#define PWRITE_WRAPPER(name)                                             \
    ssize_t name(int fd, const void* bytes, size_t size, off_t offset) { \
        REAL(name);                                                      \
        if (fdTracked(fd) && countCall(kWrite)) {                        \
            return -1;                                                   \
        }                                                                \
        return real_##name(fd, bytes, size, offset);                     \
    }
PWRITE_WRAPPER(pwrite)
PWRITE_WRAPPER(pwrite64)

ssize_t writev(int fd, const struct iovec* parts, int count) {
    REAL(writev);
    if (fdTracked(fd) && countCall(kWrite)) {
        return -1;
    }
    return real_writev(fd, parts, count);
}

#define FD_CALL_WRAPPER(name, kind)             \
    int name(int fd) {                          \
        REAL(name);                             \
        if (fdTracked(fd) && countCall(kind)) { \
            return -1;                          \
        }                                       \
        return real_##name(fd);                 \
    }
FD_CALL_WRAPPER(fsync, kFsync)
FD_CALL_WRAPPER(fdatasync, kFsync)

#define FTRUNCATE_WRAPPER(name)                       \
    int name(int fd, off_t length) {                  \
        REAL(name);                                   \
        if (fdTracked(fd) && countCall(kFtruncate)) { \
            return -1;                                \
        }                                             \
        return real_##name(fd, length);               \
    }
FTRUNCATE_WRAPPER(ftruncate)
FTRUNCATE_WRAPPER(ftruncate64)

int rename(const char* from, const char* to) {
    REAL(rename);
    if ((inFolder(from) || inFolder(to)) && countCall(kRename)) {
        return -1;
    }
    return real_rename(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    REAL(renameat);
    if ((inFolder(from) || inFolder(to)) && countCall(kRename)) {
        return -1;
    }
    return real_renameat(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    REAL(renameat2);
    if ((inFolder(from) || inFolder(to)) && countCall(kRename)) {
        return -1;
    }
    return real_renameat2(fromDir, from, toDir, to, flags);
}

// stdio: opens for writing count as opens; streams on a tracked descriptor are tracked.
static int modeWrites(const char* mode) {
    return strpbrk(mode, "wa+") != NULL;
}

static FILE* afterStreamOpen(FILE* stream) {
    if (stream != NULL && fdTracked(fileno(stream))) {
        trackStream(stream, 1);
    }
    return stream;
}

#define FOPEN_WRAPPER(name)                                     \
    FILE* name(const char* path, const char* mode) {            \
        REAL(name);                                             \
        const int counted = inFolder(path) && modeWrites(mode); \
        if (counted && countCall(kOpen)) {                      \
            return NULL;                                        \
        }                                                       \
        FILE* stream = real_##name(path, mode);                 \
        if (stream != NULL) {                                   \
            track(fileno(stream), counted);                     \
        }                                                       \
        return afterStreamOpen(stream);                         \
    }
FOPEN_WRAPPER(fopen)
FOPEN_WRAPPER(fopen64)

FILE* fdopen(int fd, const char* mode) {
    REAL(fdopen);
    return afterStreamOpen(real_fdopen(fd, mode));
}

// A failed hand-over: the stream's error flag set (_IO_ERR_SEEN), as after a failed flush.
static int streamFails(FILE* stream) {
    if (streamTracked(stream) && countCall(kWrite)) {
        stream->_flags |= 0x0020;
        return 1;
    }
    return 0;
}

size_t fwrite(const void* bytes, size_t size, size_t count, FILE* stream) {
    REAL(fwrite);
    return streamFails(stream) ? 0 : real_fwrite(bytes, size, count, stream);
}

int fputs(const char* text, FILE* stream) {
    REAL(fputs);
    return streamFails(stream) ? EOF : real_fputs(text, stream);
}

int fputc(int c, FILE* stream) {
    REAL(fputc);
    return streamFails(stream) ? EOF : real_fputc(c, stream);
}

// Formatted output, as libxlsxwriter writes its temporary sheet files (through __fprintf_chk
// when built with fortification).
int vfprintf(FILE* stream, const char* format, va_list args) {
    REAL(vfprintf);
    return streamFails(stream) ? -1 : real_vfprintf(stream, format, args);
}

int fprintf(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = vfprintf(stream, format, args);
    va_end(args);
    return result;
}

int __vfprintf_chk(FILE* stream, int flag, const char* format, va_list args) {
    (void)flag;
    return vfprintf(stream, format, args);
}

int __fprintf_chk(FILE* stream, int flag, const char* format, ...) {
    (void)flag;
    va_list args;
    va_start(args, format);
    const int result = vfprintf(stream, format, args);
    va_end(args);
    return result;
}

int fclose(FILE* stream) {
    REAL(fclose);
    if (streamTracked(stream)) {
        trackStream(stream, 0);
    }
    if (stream != NULL) {
        track(fileno(stream), 0);
    }
    return real_fclose(stream);
}
