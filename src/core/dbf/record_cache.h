// A few blocks of neighbouring records kept in memory, so that walking or scrolling a large table
// reads the file in blocks of about 64 KiB instead of one record at a time.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dbf/locked_file.h"

namespace zond::dbf {

class RecordCache {
  public:
    void reset(const LockedFile* file, std::uint64_t firstRecordAt, std::size_t recordLength);
    void invalidate();

    // The bytes of a record (1-based, at most recordCount), valid until the next call. Throws
    // DbfError when the file cannot be read.
    const std::uint8_t* record(std::uint32_t record, std::uint32_t recordCount);

    // Keeps a cached copy in step with bytes just written at `at` inside a record.
    void patch(std::uint32_t record, std::size_t at, std::span<const std::uint8_t> bytes);

  private:
    static constexpr std::uint64_t kNoBlock = ~std::uint64_t{0};

    struct Slot {
        std::uint64_t block = kNoBlock;
        std::uint64_t records = 0;
        std::vector<std::uint8_t> bytes;
    };

    Slot* slotHolding(std::uint64_t index);

    const LockedFile* file_ = nullptr;
    std::uint64_t firstRecordAt_ = 0;
    std::size_t recordLength_ = 1;
    std::uint64_t perBlock_ = 1;
    std::array<Slot, 8> slots_;
};

}  // namespace zond::dbf
