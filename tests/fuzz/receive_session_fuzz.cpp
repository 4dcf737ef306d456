// The transfer session under arbitrary line input, timer expiries, cancels and restarts. Input
// bytes form a script: a byte below 0x80 is followed by a block of (byte + 1) received characters;
// 0x80 ... 0xBF fires the response timer; an odd byte from 0xC0 cancels, an even one shows the
// window again.
#include <cstdint>
#include <cstdlib>

#include "instrument/image_decoding.h"
#include "instrument/receive_session.h"

namespace {

using namespace zond::instrument;

// Checks the requests a well-behaved session makes of its window and port.
class CheckingHost final : public ReceiveHost {
  public:
    bool open = false;
    bool finished = false;

    void selectPort(std::string_view) override { require(!open); }
    void connectPort() override {
        require(!open);
        open = true;
    }
    void disconnectPort() override {
        require(open);
        open = false;
    }
    void send(char) override { require(open && !finished); }
    void armResponseTimer(int) override { require(!finished); }
    void disarmResponseTimer() override {}
    void showDisplay(const ReceiveDisplay& display) override {
        require(display.progress >= 0 && display.progress <= 100);
    }
    void showMessage(const ReceiveMessage&) override {}
    void finish(int result) override {
        require(!finished && (result == kResultOk || result == kResultFailed));
        finished = true;
    }

    static void require(bool condition) {
        if (!condition) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One session for every run, as the receive window keeps one and starts it at each showing;
    // a fresh one per run would spend the time on its buffers.
    static CheckingHost host;
    static ReceiveSession session(host);
    session.close();
    host.finished = false;
    session.start();
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        if (op < 0x80) {
            const std::size_t length = std::min<std::size_t>(op + 1u, size - at);
            try {
                session.receive({data + at, length});
            } catch (const RangeCheckError&) {
            }
            at += length;
        } else if (op < 0xC0) {
            session.responseTimerExpired();
        } else if (op & 1) {
            session.cancel();
        } else {
            session.close();
            host.finished = false;
            session.start();
        }
        if (session.finished()) {
            CheckingHost::require(host.finished && !host.open);
            CheckingHost::require(session.deviceImage().assembledLength <= DeviceImage::kSize);
        }
    }
    return 0;
}
