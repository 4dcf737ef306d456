#include "dbf/record_cache.h"

#include <algorithm>
#include <cstring>

#include "dbf/dbf_table.h"

namespace zond::dbf {

namespace {
constexpr std::uint64_t kBlockBytes = 64 * 1024;
}

void RecordCache::reset(const LockedFile* file, std::uint64_t firstRecordAt,
                        std::size_t recordLength) {
    file_ = file;
    firstRecordAt_ = firstRecordAt;
    recordLength_ = recordLength;
    perBlock_ = std::max<std::uint64_t>(1, kBlockBytes / recordLength);
    invalidate();
}

void RecordCache::invalidate() {
    for (auto& slot : slots_) {
        slot.block = kNoBlock;
        slot.records = 0;
    }
}

RecordCache::Slot* RecordCache::slotHolding(std::uint64_t index) {
    const std::uint64_t block = index / perBlock_;
    Slot& slot = slots_[block % slots_.size()];
    if (slot.block == block && index - block * perBlock_ < slot.records) {
        return &slot;
    }
    return nullptr;
}

const std::uint8_t* RecordCache::record(std::uint32_t record, std::uint32_t recordCount) {
    const std::uint64_t index = record - 1;
    const std::uint64_t block = index / perBlock_;
    const std::uint64_t first = block * perBlock_;
    if (slotHolding(index) == nullptr) {
        Slot& slot = slots_[block % slots_.size()];
        slot.block = kNoBlock;
        slot.records = std::min<std::uint64_t>(perBlock_, recordCount - first);
        slot.bytes.resize(static_cast<std::size_t>(slot.records * recordLength_));
        if (!file_->readAt(firstRecordAt_ + first * recordLength_, slot.bytes)) {
            throw DbfError("Error while reading occurred.");
        }
        slot.block = block;
    }
    const Slot& slot = slots_[block % slots_.size()];
    return slot.bytes.data() + (index - first) * recordLength_;
}

void RecordCache::patch(std::uint32_t record, std::size_t at, std::span<const std::uint8_t> bytes) {
    const std::uint64_t index = record - 1;
    if (Slot* slot = slotHolding(index)) {
        const std::uint64_t start = (index - slot->block * perBlock_) * recordLength_ + at;
        std::memcpy(slot->bytes.data() + start, bytes.data(), bytes.size());
    }
}

}  // namespace zond::dbf
