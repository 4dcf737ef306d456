#include "sim/instrument_replies.h"

#include <map>
#include <stdexcept>

#include "instrument/wire_format.h"

namespace zond::sim {

namespace wire = zond::instrument::wire;

namespace {

// A pair whose high character lies far above the digits: no byte value.
constexpr std::string_view kInvalidPair = "~~";

}  // namespace

Fault parseFault(const std::string& name) {
    static const std::map<std::string, Fault> names = {
        {"silent", Fault::Silent},    {"zap", Fault::Zap},      {"bad-header", Fault::BadHeader},
        {"bad-data", Fault::BadData}, {"no-end", Fault::NoEnd}, {"noise", Fault::Noise},
        {"oversize", Fault::Oversize}};
    const auto it = names.find(name);
    if (it == names.end()) {
        throw std::invalid_argument("unknown fault " + name);
    }
    return it->second;
}

std::string headerReply(const Identity& identity, Fault fault) {
    std::string header;
    wire::appendEncodedByte(header, identity.type);
    header.push_back(static_cast<char>(wire::kDigitBase + identity.generation));
    for (const std::uint8_t v : identity.version) {
        wire::appendEncodedByte(header, v);
    }
    header.push_back('0');  // position 9 carries nothing the host reads
    for (const std::uint8_t code : identity.sensors) {
        wire::appendEncodedByte(header, code);
    }
    if (fault == Fault::BadHeader) {
        header[wire::kTypeAt + 1] = kInvalidPair[0];
    }
    return fault == Fault::Noise ? std::string(kNoise) + header : header;
}

std::string dataReply(std::span<const std::uint8_t> image, Fault fault, bool zap) {
    std::string block;
    if (fault == Fault::Noise) {
        block += kNoise;
    }
    block.push_back(wire::kBlockStart);
    for (const std::uint8_t byte : image) {
        wire::appendEncodedByte(block, byte);
    }
    const std::size_t dataStart = block.find(wire::kBlockStart) + 1;
    if (zap) {
        const std::size_t half = dataStart + (block.size() - dataStart) / 2;
        block.resize(std::max(half, dataStart + wire::kCountLength));
        block.push_back(wire::kRestart);
        return block;
    }
    switch (fault) {
        case Fault::BadData: {
            // Past the count word so the count still reads; an extra pair when there is nothing
            // else.
            const std::size_t byteIndex =
                image.size() > 2 ? std::max<std::size_t>(2, image.size() / 2) : image.size();
            const std::size_t at = dataStart + 2 * byteIndex;
            block.replace(std::min(at, block.size()), 2, kInvalidPair);
            break;
        }
        case Fault::Oversize:
            block.append(kOversizeCharacters, '0');
            break;
        case Fault::NoEnd:
            return block;
        default:
            break;
    }
    block.push_back(wire::kBlockEnd);
    return block;
}

}  // namespace zond::sim
