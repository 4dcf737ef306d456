// A few runs of neighbouring records kept in memory. Walking or scrolling a large table reads the
// file in blocks of about 64 KiB instead of one record at a time; records picked here and there
// (a sorted order spread over the file) are read in runs of about 4 KiB, so that each costs a
// small read instead of a whole block.
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

    // Keeps cached copies in step with bytes just written at `at` inside a record.
    void patch(std::uint32_t record, std::size_t at, std::span<const std::uint8_t> bytes);

  private:
    static constexpr std::uint64_t kNoBlock = ~std::uint64_t{0};

    // Records [first, first + records) by 0-based index; runs may overlap, each is patched.
    struct Slot {
        std::uint64_t first = 0;
        std::uint64_t records = 0;
        std::vector<std::uint8_t> bytes;

        bool holds(std::uint64_t index) const { return index - first < records; }
    };

    Slot& load(std::uint64_t index, std::uint32_t recordCount);

    const LockedFile* file_ = nullptr;
    std::uint64_t firstRecordAt_ = 0;
    std::size_t recordLength_ = 1;
    std::uint64_t perBlock_ = 1;
    std::uint64_t perRun_ = 1;
    // The block of the last miss: a miss in it or next to it means the reader walks the file.
    std::uint64_t lastMissBlock_ = kNoBlock;
    std::size_t lastUsed_ = 0;
    std::size_t nextVictim_ = 0;
    std::array<Slot, 8> slots_;
};

}  // namespace zond::dbf
