#include "instrument/receive_session.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "instrument/image_decoding.h"
#include "instrument/wire_format.h"

namespace zond::instrument {

namespace {

// Decimal with a leading "0" below 10.
std::string twoDigitText(std::uint8_t value) {
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

}  // namespace

std::string instrumentCaption(const DeviceInfo& info) {
    const bool threeChannels = info.sensorCodes[1] != 0 || info.sensorCodes[2] != 0;
    return threeChannels ? "ЗОНД-8Т \"Тавис\" - трехканальный"
                         : "ЗОНД-8Т \"Тавис\" - одноканальный";
}

ReceiveSession::ReceiveSession(ReceiveHost& host)
    : host_(host),
      buffer_(std::make_unique<char[]>(kBufferSize)),
      info_(std::make_unique<DeviceInfo>()),
      image_(std::make_unique<DeviceImage>()) {}

ReceiveSession::~ReceiveSession() = default;

void ReceiveSession::start() {
    closePort();
    portName_ = kFirstPort;
    host_.selectPort(portName_);
    resetReceive();
    display_ = ReceiveDisplay{std::string(kStatusWaiting), {}, {}, {}, 0};
    host_.showDisplay(display_);
    started_ = true;
    finished_ = false;
    openPort();
    phase_ = Phase::Identification;
    host_.send(wire::kIdentify);
    host_.armResponseTimer(kResponseTimeoutMs);
}

void ReceiveSession::receive(std::span<const std::uint8_t> block) {
    if (!started_ || finished_ || !portOpen_ || block.empty()) {
        return;
    }
    if (block.size() > kBufferSize - received_) {
        fail({kOverflowText, kErrorCaption});
        return;
    }
    std::memcpy(buffer_.get() + received_, block.data(), block.size());
    for (const std::uint8_t byte : block) {
        const char c = static_cast<char>(byte);
        if (c == wire::kBlockEnd) {
            endSeen_ = true;
        } else if (c == wire::kBlockStart) {
            host_.disarmResponseTimer();
        } else if (c == wire::kRestart) {
            // The rest of the block belongs to an answer the instrument abandoned.
            host_.disarmResponseTimer();
            restartIdentification();
            return;
        }
    }
    received_ += block.size();

    if (phase_ == Phase::Identification && received_ >= wire::kHeaderLength) {
        acceptHeader();
        if (finished_) {
            return;
        }
    }
    if (countKnown_) {
        updateProgress();
    }
    if (!countKnown_ && phase_ == Phase::Data) {
        readRecordCount();
    }
    if (endSeen_) {
        assembleImage();
    }
}

void ReceiveSession::responseTimerExpired() {
    if (!started_ || finished_) {
        return;
    }
    host_.disarmResponseTimer();
    closePort();
    resetReceive();
    display_.progress = 0;
    if (portName_ == kFirstPort) {
        identifyOn(kSecondPort);
        return;
    }
    portName_ = kFirstPort;
    host_.selectPort(portName_);
    host_.showDisplay(display_);
    host_.showMessage({kNoInstrumentText, kErrorCaption});
    finishWith(kResultFailed);
}

void ReceiveSession::cancel() {
    if (!started_ || finished_) {
        return;
    }
    resetReceive();
    display_.progress = 0;
    host_.showDisplay(display_);
    closePort();
    finishWith(kResultFailed);
}

void ReceiveSession::close() {
    host_.disarmResponseTimer();
    closePort();
    started_ = false;
}

void ReceiveSession::resetReceive() {
    endSeen_ = false;
    received_ = 0;
    countKnown_ = false;
}

void ReceiveSession::identifyOn(std::string_view portName) {
    portName_ = portName;
    host_.selectPort(portName_);
    openPort();
    host_.showDisplay(display_);
    phase_ = Phase::Identification;
    host_.send(wire::kIdentify);
    host_.armResponseTimer(kResponseTimeoutMs);
}

void ReceiveSession::restartIdentification() {
    phase_ = Phase::Identification;
    resetReceive();
    host_.send(wire::kIdentify);
}

void ReceiveSession::finishWith(int result) {
    finished_ = true;
    host_.disarmResponseTimer();
    host_.finish(result);
}

void ReceiveSession::fail(const ReceiveMessage& message) {
    host_.disarmResponseTimer();
    closePort();
    host_.showMessage(message);
    finishWith(kResultFailed);
}

void ReceiveSession::acceptHeader() {
    // Characters that came before the header are dropped: the header is the last 16 received.
    const char* header = buffer_.get() + received_ - wire::kHeaderLength;
    const std::uint8_t type =
        wire::DecodeBytePair(header[wire::kTypeAt], header[wire::kTypeAt + 1]);
    const int generation =
        static_cast<unsigned char>(header[wire::kGenerationAt]) - wire::kDigitBase;
    if (type == wire::kExpectedType && (generation < 0 || generation > 255)) {
        throw RangeCheckError();
    }
    if (type != wire::kExpectedType || generation != wire::kExpectedGeneration) {
        // The timer would otherwise fire under the message box and start on the other port.
        host_.disarmResponseTimer();
        host_.showMessage({kWrongInstrumentText, kWrongInstrumentCaption});
        closePort();
        endSeen_ = false;
        finishWith(kResultFailed);
        return;
    }
    std::array<std::uint8_t, 3> version{};
    for (std::size_t i = 0; i < version.size(); ++i) {
        const char* pair = header + wire::kVersionAt + 2 * i;
        version[i] = wire::DecodeBytePair(pair[0], pair[1]);
    }
    std::array<std::uint8_t, 3> sensors{};
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        const char* pair = header + wire::kSensorAt + 2 * i;
        sensors[i] = wire::DecodeBytePair(pair[0], pair[1]);
    }

    DeviceInfo& info = *info_;
    info.instrumentType = type;
    info.generation = static_cast<std::uint8_t>(generation);
    info.versionText =
        twoDigitText(version[2]) + "." + twoDigitText(version[1]) + "." + twoDigitText(version[0]);
    info.versionNumberText =
        twoDigitText(version[0]) + twoDigitText(version[1]) + twoDigitText(version[2]);
    info.firmwareFlag = static_cast<unsigned char>(header[wire::kVersionAt]) >> 1;
    info.sensorCodes = sensors;
    info.channelCount = static_cast<std::uint8_t>(
        std::count_if(sensors.begin(), sensors.end(), [](std::uint8_t code) { return code != 0; }));

    display_.instrumentCaption = instrumentCaption(info);
    display_.versionText = info.versionText;
    display_.status = kStatusReceiving;
    host_.showDisplay(display_);
    endSeen_ = false;
    phase_ = Phase::Data;
    countKnown_ = false;
    host_.send(wire::kRequestData);
    received_ = 0;
}

void ReceiveSession::readRecordCount() {
    const char* begin = buffer_.get();
    const char* start = std::find(begin, begin + received_, wire::kBlockStart);
    // Characters before 'S' are tolerated; the count is read once all four of its characters
    // are here.
    const auto startAt = static_cast<std::size_t>(start - begin);
    if (startAt == received_ || startAt + 1 + wire::kCountLength > received_) {
        return;
    }
    const std::uint16_t count = wire::DecodeWord(start + 1);
    expectedCharacters_ = std::size_t{count} * DeviceImage::kRecordSize * 2;
    dataStart_ = startAt + 1 + wire::kCountLength;
    countKnown_ = true;
    display_.recordCountText = std::to_string(count);
    host_.showDisplay(display_);
}

std::optional<ReceiveSession::RecordProgress> ReceiveSession::recordProgress() const {
    if (phase_ != Phase::Data || !countKnown_) {
        return std::nullopt;
    }
    constexpr std::size_t kRecordCharacters = DeviceImage::kRecordSize * 2;
    const std::size_t announced = expectedCharacters_ / kRecordCharacters;
    const std::size_t received =
        received_ > dataStart_ ? (received_ - dataStart_) / kRecordCharacters : 0;
    return RecordProgress{std::min(received, announced), announced};
}

void ReceiveSession::updateProgress() {
    const std::int64_t done = static_cast<std::int64_t>(received_ - dataStart_);
    const std::int64_t position = expectedCharacters_ == 0
                                      ? 100
                                      : done * 100 / static_cast<std::int64_t>(expectedCharacters_);
    const int shown = static_cast<int>(std::clamp<std::int64_t>(position, 0, 100));
    if (shown != display_.progress) {
        display_.progress = shown;
        host_.showDisplay(display_);
    }
}

void ReceiveSession::assembleImage() {
    endSeen_ = false;
    closePort();
    const char* begin = buffer_.get();
    const char* end = begin + received_;
    const auto startAt = static_cast<std::size_t>(std::find(begin, end, wire::kBlockStart) - begin);
    const auto endAt = static_cast<std::size_t>(std::find(begin, end, wire::kBlockEnd) - begin);
    // A block needs at least its count word and whole encoded bytes between 'S' and 'P'.
    if (startAt >= endAt || endAt - startAt - 1 < wire::kCountLength ||
        (endAt - startAt - 1) % 2 != 0) {
        throw RangeCheckError();
    }
    const std::size_t length = (endAt - startAt - 1) / 2;
    if (length > DeviceImage::kSize) {
        host_.showMessage({kOverflowText, kErrorCaption});
        finishWith(kResultFailed);
        return;
    }
    DeviceImage& image = *image_;
    image.assembledLength = 0;
    const char* pair = begin + startAt + 1;
    for (std::size_t i = 0; i < length; ++i, pair += 2) {
        image.bytes[i] = wire::DecodeBytePair(pair[0], pair[1]);
    }
    image.assembledLength = length;
    finishWith(kResultOk);
}

void ReceiveSession::openPort() {
    host_.connectPort();
    portOpen_ = true;
}

void ReceiveSession::closePort() {
    if (portOpen_) {
        host_.disconnectPort();
        portOpen_ = false;
    }
}

}  // namespace zond::instrument
