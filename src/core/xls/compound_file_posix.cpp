#include "xls/compound_file.h"

#include <fcntl.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>

#include "fileio/atomic_file.h"
#include "xls/cell_value.h"

namespace zond::xls {

namespace {

[[noreturn]] void fail(const char* call, std::int32_t code) {
    throw XlsError(std::string(call) + " error " + std::to_string(code));
}

// What the structured-storage calls report for the cause of a failed create.
std::int32_t storageCode(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return stg::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return stg::kAccessDenied;
        case EMFILE:
        case ENFILE:
            return stg::kTooManyOpenFiles;
        case ENOSPC:
        case EDQUOT:
            return stg::kMediumFull;
        case ENAMETOOLONG:
        case EINVAL:
            return stg::kInvalidName;
        default:
            return stg::kCantSave;
    }
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Another program holding the file open exclusively (the table module locks with flock and OFD
// locks) makes Windows refuse with a share violation; so do we.
void checkTargetFree(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            fail("StgCreateDocFile", storageCode(errno));
        }
        return;
    }
    if (S_ISDIR(info.st_mode) || ::access(path.c_str(), W_OK) != 0) {
        fail("StgCreateDocFile", stg::kAccessDenied);
    }
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        fail("StgCreateDocFile", storageCode(errno));
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        fail("StgCreateDocFile", errno == EWOULDBLOCK ? stg::kShareViolation : storageCode(errno));
    }
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
        fail("StgCreateDocFile", stg::kShareViolation);
    }
}

// The temporary beside the target; refusals of the target (a table, a device) keep their own text,
// a system error becomes the structured-storage code of a failed create.
fileio::AtomicFile openTarget(const std::filesystem::path& path) {
    try {
        return fileio::AtomicFile(path);
    } catch (const fileio::FileWriteError& error) {
        if (!error.cause()) {
            throw;
        }
        fail("StgCreateDocFile", storageCode(error.cause().value()));
    }
}

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

// The container writes through a stdio stream whose writes we do ourselves, so the system's
// error of the first failed write is kept (a full disk is named as such), whatever the container
// and the stream do with errno afterwards.
struct RecordingSink {
    int fd = -1;
    int firstError = 0;
};

ssize_t sinkWrite(void* cookie, const char* bytes, std::size_t size) {
    auto& sink = *static_cast<RecordingSink*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(sink.fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (sink.firstError == 0) {
                sink.firstError = n == 0 ? EIO : errno;
            }
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

int sinkSeek(void* cookie, off64_t* offset, int whence) {
    const off64_t at = ::lseek64(static_cast<RecordingSink*>(cookie)->fd, *offset, whence);
    if (at < 0) {
        return -1;
    }
    *offset = at;
    return 0;
}

[[noreturn]] void failWrite(fileio::AtomicFile& target, const RecordingSink& sink) {
    const int cause = sink.firstError == 0 ? EIO : sink.firstError;
    target.fail(std::error_code(cause == EDQUOT ? ENOSPC : cause, std::generic_category()));
}

void close(GsfOutput* output, fileio::AtomicFile& target, const RecordingSink& sink) {
    if (!gsf_output_is_closed(output) && !gsf_output_close(output)) {
        failWrite(target, sink);
    }
}

void writeContainer(FILE* file, fileio::AtomicFile& target, const RecordingSink& recorded,
                    const BiffStream& stream) {
    const auto& name = target.handOverTemporary();
    static std::once_flag initialised;
    std::call_once(initialised, [] { gsf_init(); });

    GObjectPtr<GsfOutput> sink(gsf_output_stdio_new_FILE(name.c_str(), file, TRUE));
    if (!sink) {
        fail("StgCreateDocFile", stg::kCantSave);
    }
    GObjectPtr<GsfOutfile> storage(gsf_outfile_msole_new(sink.get()));
    if (!storage) {
        fail("StgCreateDocFile", stg::kCantSave);
    }
    GObjectPtr<GsfOutput> workbook(gsf_outfile_new_child(storage.get(), "Workbook", FALSE));
    if (!workbook) {
        fail("CreateStream", stg::kCantSave);
    }
    stream.forEachChunk([&](std::span<const std::uint8_t> chunk) {
        if (!gsf_output_write(workbook.get(), chunk.size(), chunk.data())) {
            failWrite(target, recorded);
        }
    });
    close(workbook.get(), target, recorded);
    close(GSF_OUTPUT(storage.get()), target, recorded);
    close(sink.get(), target, recorded);  // the storage usually closes it already
}

}  // namespace

void writeWorkbookFile(const std::filesystem::path& path, const BiffStream& stream) {
    checkTargetFree(path);
    fileio::AtomicFile target = openTarget(path);
    RecordingSink sink;
    sink.fd = ::open(target.handOverTemporary().c_str(), O_WRONLY | O_CLOEXEC);
    const cookie_io_functions_t functions{nullptr, sinkWrite, sinkSeek, nullptr};
    FILE* file = sink.fd >= 0 ? ::fopencookie(&sink, "w", functions) : nullptr;
    if (file == nullptr) {
        const int error = errno;
        if (sink.fd >= 0) {
            ::close(sink.fd);
        }
        target.discard();
        fail("StgCreateDocFile", storageCode(error));
    }
    const FileDescriptor owned(sink.fd);
    try {
        writeContainer(file, target, sink, stream);
        // A failed write the container did not notice still counts.
        if (std::fflush(file) != 0 || std::ferror(file) != 0 || sink.firstError != 0) {
            failWrite(target, sink);
        }
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0) {
        failWrite(target, sink);
    }
    target.commit();
}

}  // namespace zond::xls
