// The "Workbook" stream as it is assembled: bytes in memory, appended at the end, with earlier
// positions patched once later offsets are known.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace zond::xls {

class BiffStream {
  public:
    std::uint32_t position() const { return size_; }

    void write(std::span<const std::uint8_t> bytes);
    // Overwrites bytes already written, at `at` (for offsets known only later).
    void overwrite(std::uint32_t at, std::span<const std::uint8_t> bytes);
    void overwriteU32(std::uint32_t at, std::uint32_t value);

    // One record: number, data length and data. Data over 8224 bytes go on in CONTINUE records.
    void writeRecord(std::uint16_t number, std::span<const std::uint8_t> data = {});

    // The bytes in order, a chunk at a time (what the container receives).
    void forEachChunk(const std::function<void(std::span<const std::uint8_t>)>& sink) const;
    std::vector<std::uint8_t> bytes() const;

  private:
    // Chunks avoid the copy a growing single buffer would make of a large stream.
    static constexpr std::uint32_t kChunkSize = 1 << 20;

    std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
    std::uint32_t size_ = 0;
};

// Record data: UTF-16LE characters, and a string as character count (2 bytes), the flag 0x01
// and its characters.
void appendCharacters(std::vector<std::uint8_t>& data, std::u16string_view text);
void appendString16(std::vector<std::uint8_t>& data, std::u16string_view text);

}  // namespace zond::xls
