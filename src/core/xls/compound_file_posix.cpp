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
#include <random>
#include <string>
#include <system_error>

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

// A new file beside the target, with the permissions a plain create would give.
std::pair<std::filesystem::path, int> createTemporary(const std::filesystem::path& path) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = path;
        candidate.replace_filename("." + path.filename().string() + "." +
                                   std::to_string(entropy()) + ".tmp");
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return {candidate, fd};
        }
        if (errno != EEXIST) {
            fail("StgCreateDocFile", storageCode(errno));
        }
    }
    fail("StgCreateDocFile", stg::kCantSave);
}

template <typename T>
struct GObjectDeleter {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

[[noreturn]] void failWrite(GsfOutput* output) {
    const GError* error = gsf_output_error(output);
    throw XlsError(error != nullptr ? error->message : std::system_category().message(EIO));
}

void close(GsfOutput* output) {
    if (!gsf_output_is_closed(output) && !gsf_output_close(output)) {
        failWrite(output);
    }
}

void writeContainer(FILE* file, const std::filesystem::path& name, const BiffStream& stream) {
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
            failWrite(workbook.get());
        }
    });
    close(workbook.get());
    close(GSF_OUTPUT(storage.get()));
    close(sink.get());  // the storage usually closes it already
}

}  // namespace

void writeWorkbookFile(const std::filesystem::path& path, const BiffStream& stream) {
    checkTargetFree(path);
    auto [temporary, fd] = createTemporary(path);
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        fail("StgCreateDocFile", storageCode(error));
    }
    try {
        errno = 0;
        writeContainer(file, temporary, stream);
        // The container's writes go through the stream; one that failed leaves its error flag.
        if (std::ferror(file) != 0) {
            throw XlsError(std::system_category().message(errno != 0 ? errno : EIO));
        }
        if (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0) {
            throw XlsError(std::system_category().message(errno));
        }
    } catch (...) {
        std::fclose(file);
        ::unlink(temporary.c_str());
        throw;
    }
    if (std::fclose(file) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw XlsError(std::system_category().message(error));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail("StgCreateDocFile", storageCode(error));
    }
}

}  // namespace zond::xls
