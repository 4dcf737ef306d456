#include "dbf/record_cache.h"

#include <algorithm>
#include <cstring>

#include "dbf/dbf_table.h"

namespace zond::dbf {

namespace {
constexpr std::uint64_t kBlockBytes = 64 * 1024;
constexpr std::uint64_t kRunBytes = 4 * 1024;
}  // namespace

void RecordCache::reset(const LockedFile* file, std::uint64_t firstRecordAt,
                        std::size_t recordLength) {
    file_ = file;
    firstRecordAt_ = firstRecordAt;
    recordLength_ = recordLength;
    perRun_ = std::max<std::uint64_t>(1, kRunBytes / recordLength);
    // Whole runs to a block, so a block read where runs were read before lines up with them.
    perBlock_ = std::max<std::uint64_t>(1, kBlockBytes / recordLength / perRun_) * perRun_;
    invalidate();
}

void RecordCache::invalidate() {
    for (auto& slot : slots_) {
        slot.first = 0;
        slot.records = 0;
    }
    lastMissBlock_ = kNoBlock;
}

RecordCache::Slot& RecordCache::load(std::uint64_t index, std::uint32_t recordCount) {
    const std::uint64_t block = index / perBlock_;
    const bool walking =
        lastMissBlock_ != kNoBlock && block + 1 >= lastMissBlock_ && block <= lastMissBlock_ + 1;
    lastMissBlock_ = block;
    const std::uint64_t span = walking ? perBlock_ : perRun_;
    const std::uint64_t first = index / span * span;

    lastUsed_ = nextVictim_;
    nextVictim_ = (nextVictim_ + 1) % slots_.size();
    Slot& slot = slots_[lastUsed_];
    slot.records = 0;
    const std::uint64_t records = std::min<std::uint64_t>(span, recordCount - first);
    slot.bytes.resize(static_cast<std::size_t>(records * recordLength_));
    if (!file_->readAt(firstRecordAt_ + first * recordLength_, slot.bytes)) {
        throw DbfError("Error while reading occurred.");
    }
    slot.first = first;
    slot.records = records;
    return slot;
}

const std::uint8_t* RecordCache::record(std::uint32_t record, std::uint32_t recordCount) {
    const std::uint64_t index = record - 1;
    const Slot* slot = &slots_[lastUsed_];
    if (!slot->holds(index)) {
        const auto found = std::find_if(slots_.begin(), slots_.end(),
                                        [&](const Slot& s) { return s.holds(index); });
        if (found != slots_.end()) {
            lastUsed_ = static_cast<std::size_t>(found - slots_.begin());
            slot = &*found;
        } else {
            slot = &load(index, recordCount);
        }
    }
    return slot->bytes.data() + (index - slot->first) * recordLength_;
}

void RecordCache::patch(std::uint32_t record, std::size_t at, std::span<const std::uint8_t> bytes) {
    const std::uint64_t index = record - 1;
    for (auto& slot : slots_) {
        if (slot.holds(index)) {
            std::memcpy(slot.bytes.data() + (index - slot.first) * recordLength_ + at, bytes.data(),
                        bytes.size());
        }
    }
}

}  // namespace zond::dbf
