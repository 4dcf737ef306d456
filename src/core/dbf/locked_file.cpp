// The system-independent half of LockedFile.
#include "dbf/locked_file.h"

#include <utility>

namespace zond::dbf {

namespace {

std::function<void()>& openLockHook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace

void setBetweenOpenAndLockForTests(std::function<void()> hook) {
    openLockHook() = std::move(hook);
}

void betweenOpenAndLock() {
    if (openLockHook()) {
        openLockHook()();
    }
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kClosed)), path_(std::move(other.path_)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kClosed);
        path_ = std::move(other.path_);
    }
    return *this;
}

LockedFile::Status LockedFile::keep(Status status, std::intptr_t handle,
                                    const std::filesystem::path& path) {
    if (status == Status::Ok) {
        handle_ = handle;
        path_ = path;
    }
    return status;
}

}  // namespace zond::dbf
