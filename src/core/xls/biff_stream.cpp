#include "xls/biff_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/byte_order.h"
#include "xls/biff8_records.h"
#include "xls/cell_value.h"

namespace zond::xls {

void BiffStream::write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max() - size_) {
        throw XlsError("workbook stream over 4 GB");
    }
    while (!bytes.empty()) {
        const std::uint32_t offset = size_ % kChunkSize;
        if (offset == 0 && size_ / kChunkSize == chunks_.size()) {
            chunks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunkSize));
        }
        const auto n = std::min<std::size_t>(bytes.size(), kChunkSize - offset);
        std::memcpy(chunks_[size_ / kChunkSize].get() + offset, bytes.data(), n);
        size_ += static_cast<std::uint32_t>(n);
        bytes = bytes.subspan(n);
    }
}

void BiffStream::overwrite(std::uint32_t at, std::span<const std::uint8_t> bytes) {
    if (at > size_ || bytes.size() > size_ - at) {
        throw XlsError("overwrite past the end of the workbook stream");
    }
    while (!bytes.empty()) {
        const std::uint32_t offset = at % kChunkSize;
        const auto n = std::min<std::size_t>(bytes.size(), kChunkSize - offset);
        std::memcpy(chunks_[at / kChunkSize].get() + offset, bytes.data(), n);
        at += static_cast<std::uint32_t>(n);
        bytes = bytes.subspan(n);
    }
}

void BiffStream::overwriteU32(std::uint32_t at, std::uint32_t value) {
    std::uint8_t bytes[4];
    zond::bytes::writeU32(bytes, value);
    overwrite(at, bytes);
}

void BiffStream::writeRecord(std::uint16_t number, std::span<const std::uint8_t> data) {
    do {
        const auto n = std::min<std::size_t>(data.size(), biff8::kMaxRecordData);
        std::uint8_t header[biff8::kRecordHeaderSize];
        zond::bytes::writeU16(header, number);
        zond::bytes::writeU16(header + 2, static_cast<std::uint16_t>(n));
        write(header);
        write(data.first(n));
        data = data.subspan(n);
        number = biff8::kContinue;
    } while (!data.empty());
}

void BiffStream::forEachChunk(
    const std::function<void(std::span<const std::uint8_t>)>& sink) const {
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        const std::size_t start = i * kChunkSize;
        sink({chunks_[i].get(), std::min<std::size_t>(kChunkSize, size_ - start)});
    }
}

std::vector<std::uint8_t> BiffStream::bytes() const {
    std::vector<std::uint8_t> all;
    all.reserve(size_);
    forEachChunk(
        [&](std::span<const std::uint8_t> chunk) { zond::bytes::appendBytes(all, chunk); });
    return all;
}

void appendCharacters(std::vector<std::uint8_t>& data, std::u16string_view text) {
    // Sized once: a text can hold thousands of characters.
    const std::size_t start = data.size();
    data.resize(start + 2 * text.size());
    std::uint8_t* at = data.data() + start;
    for (const char16_t unit : text) {
        zond::bytes::writeU16(at, unit);
        at += 2;
    }
}

void appendString16(std::vector<std::uint8_t>& data, std::u16string_view text) {
    zond::bytes::appendU16(data, static_cast<std::uint16_t>(text.size()));
    zond::bytes::appendU8(data, biff8::kUncompressedFlag);
    appendCharacters(data, text);
}

}  // namespace zond::xls
