#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace zond::sim {

namespace {

[[noreturn]] void throwErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) {
        throwErrno("posix_openpt");
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        close(master_);
        throwErrno("grantpt/unlockpt");
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
        close(master_);
        throwErrno("ptsname");
    }
    slavePath_ = name;
    // Line settings given on the master apply to the slave side.
    termios settings{};
    if (tcgetattr(master_, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(master_, TCSANOW, &settings);
    }
}

PseudoTerminal::~PseudoTerminal() {
    if (master_ >= 0) {
        close(master_);
    }
}

bool PseudoTerminal::peerPresent() const {
    pollfd p{master_, POLLIN, 0};
    return poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

bool PseudoTerminal::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 20);
        if ((p.revents & POLLHUP) != 0) {
            return false;
        }
    }
    return true;
}

std::string PseudoTerminal::readFor(std::chrono::milliseconds wait) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        char chunk[4096];
        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n > 0) {
            got.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (!got.empty()) {
            break;
        }
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, 5) > 0 && (p.revents & POLLHUP) != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no peer yet
        }
    }
    return got;
}

}  // namespace zond::sim
