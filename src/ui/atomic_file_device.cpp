#include "ui/atomic_file_device.h"

#include <filesystem>
#include <string_view>

namespace zond::ui {

AtomicFileDevice::AtomicFileDevice(const QString& target)
    : file_(std::filesystem::path(target.toStdU16String())) {
    QIODevice::open(QIODevice::WriteOnly);
}

void AtomicFileDevice::commit(bool writerSucceeded) {
    if (failure_) {
        throw *failure_;
    }
    if (!writerSucceeded) {
        file_.fail(std::make_error_code(std::errc::io_error));
    }
    file_.commit();
}

qint64 AtomicFileDevice::readData(char*, qint64) {
    return -1;
}

qint64 AtomicFileDevice::writeData(const char* data, qint64 size) {
    if (failure_) {
        return -1;
    }
    try {
        file_.write(std::string_view(data, static_cast<std::size_t>(size)));
    } catch (const fileio::FileWriteError& error) {
        failure_ = error;
        return -1;
    }
    return size;
}

}  // namespace zond::ui
