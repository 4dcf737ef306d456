// Layout: the stream's sectors (or, for a stream under 4096 bytes, the root's mini stream that
// holds it), one directory sector, the mini FAT sector when there is a mini stream, then the FAT
// sectors and the DIFAT sectors that list FAT sectors beyond the header's 109.
#include "xls/ole_container.h"

#include <vector>

#include "text/byte_order.h"

namespace zond::xls {

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kIdsPerSector = kSectorSize / 4;
constexpr std::uint32_t kHeaderFatSlots = 109;

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

std::uint32_t divideUp(std::uint32_t value, std::uint32_t unit) {
    return (value + unit - 1) / unit;
}

using Sector = std::vector<std::uint8_t>;

struct Layout {
    bool mini = false;
    std::uint32_t dataSectors = 0;  // the stream's, or the mini stream's
    std::uint32_t miniSectors = 0;
    std::uint32_t directory = 0;
    std::uint32_t fatStart = 0;
    std::uint32_t fatSectors = 0;
    std::uint32_t difatStart = 0;
    std::uint32_t difatSectors = 0;

    explicit Layout(std::uint32_t streamSize) : mini(streamSize < kMiniStreamCutoff) {
        miniSectors = mini ? divideUp(streamSize, kMiniSectorSize) : 0;
        dataSectors = divideUp(mini ? miniSectors * kMiniSectorSize : streamSize, kSectorSize);
        directory = dataSectors;
        fatStart = directory + 1 + (mini ? 1 : 0);
        // The FAT covers itself and the DIFAT, so grow both until they cover everything.
        for (;;) {
            const std::uint32_t total = fatStart + fatSectors + difatSectors;
            const std::uint32_t fat = divideUp(total, kIdsPerSector);
            const std::uint32_t difat =
                fat > kHeaderFatSlots ? divideUp(fat - kHeaderFatSlots, kIdsPerSector - 1) : 0;
            if (fat == fatSectors && difat == difatSectors) {
                break;
            }
            fatSectors = fat;
            difatSectors = difat;
        }
        difatStart = fatStart + fatSectors;
    }
    std::uint32_t miniFat() const { return directory + 1; }
};

// A chain of `count` sectors from `first`: each entry names the next.
void putChain(std::vector<std::uint32_t>& table, std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
        table[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
    }
}

Sector header(const Layout& layout) {
    Sector h(kSectorSize, 0);
    const std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), h.begin());
    bytes::writeU16(&h[24], 0x003E);  // minor version
    bytes::writeU16(&h[26], 3);       // major version: 512-byte sectors
    bytes::writeU16(&h[28], 0xFFFE);  // little-endian
    bytes::writeU16(&h[30], 9);       // 2^9-byte sectors
    bytes::writeU16(&h[32], 6);       // 2^6-byte mini sectors
    bytes::writeU32(&h[44], layout.fatSectors);
    bytes::writeU32(&h[48], layout.directory);
    bytes::writeU32(&h[56], kMiniStreamCutoff);
    bytes::writeU32(&h[60], layout.mini ? layout.miniFat() : kEndOfChain);
    bytes::writeU32(&h[64], layout.mini ? 1 : 0);
    bytes::writeU32(&h[68], layout.difatSectors > 0 ? layout.difatStart : kEndOfChain);
    bytes::writeU32(&h[72], layout.difatSectors);
    for (std::uint32_t i = 0; i < kHeaderFatSlots; ++i) {
        bytes::writeU32(&h[76 + 4 * i], i < layout.fatSectors ? layout.fatStart + i : kFreeSector);
    }
    return h;
}

void putEntry(std::uint8_t* entry, std::u16string_view name, std::uint8_t type, std::uint32_t child,
              std::uint32_t start, std::uint32_t size) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        bytes::writeU16(entry + 2 * i, name[i]);
    }
    bytes::writeU16(entry + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    entry[66] = type;
    entry[67] = 1;  // black
    bytes::writeU32(entry + 68, kNoStream);
    bytes::writeU32(entry + 72, kNoStream);
    bytes::writeU32(entry + 76, child);
    bytes::writeU32(entry + 116, start);
    bytes::writeU32(entry + 120, size);
}

Sector directory(const Layout& layout, std::uint32_t streamSize) {
    Sector d(kSectorSize, 0);
    const std::uint32_t miniStreamSize = layout.miniSectors * kMiniSectorSize;
    putEntry(&d[0], u"Root Entry", 5, 1, layout.mini ? 0 : kEndOfChain, miniStreamSize);
    putEntry(&d[128], u"Workbook", 2, kNoStream, 0, streamSize);
    for (std::uint32_t unused = 2; unused < 4; ++unused) {
        for (const std::uint32_t link : {68U, 72U, 76U}) {
            bytes::writeU32(&d[128 * unused + link], kNoStream);
        }
    }
    return d;
}

Sector idSector(std::span<const std::uint32_t> ids) {
    Sector s(kSectorSize);
    for (std::uint32_t i = 0; i < kIdsPerSector; ++i) {
        bytes::writeU32(&s[4 * i], i < ids.size() ? ids[i] : kFreeSector);
    }
    return s;
}

std::vector<std::uint32_t> fat(const Layout& layout) {
    std::vector<std::uint32_t> table(layout.fatSectors * kIdsPerSector, kFreeSector);
    putChain(table, 0, layout.dataSectors);
    putChain(table, layout.directory, 1);
    if (layout.mini) {
        putChain(table, layout.miniFat(), 1);
    }
    std::fill_n(table.begin() + layout.fatStart, layout.fatSectors, kFatSector);
    std::fill_n(table.begin() + layout.difatStart, layout.difatSectors, kDifatSector);
    return table;
}

// The FAT sectors after the header's first 109, 127 to a sector, each sector ending with the
// next one's number.
std::vector<std::uint32_t> difat(const Layout& layout) {
    std::vector<std::uint32_t> table;
    for (std::uint32_t s = 0; s < layout.difatSectors; ++s) {
        const std::uint32_t from = kHeaderFatSlots + s * (kIdsPerSector - 1);
        for (std::uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
            table.push_back(from + i < layout.fatSectors ? layout.fatStart + from + i
                                                         : kFreeSector);
        }
        table.push_back(s + 1 < layout.difatSectors ? layout.difatStart + s + 1 : kEndOfChain);
    }
    return table;
}

}  // namespace

void writeOleContainer(const BiffStream& stream,
                       const std::function<void(std::span<const std::uint8_t>)>& sink) {
    const std::uint32_t size = stream.position();
    const Layout layout(size);
    sink(header(layout));
    stream.forEachChunk(sink);
    sink(Sector(layout.dataSectors * kSectorSize - size, 0));
    sink(directory(layout, size));
    if (layout.mini) {
        std::vector<std::uint32_t> miniFat(layout.miniSectors);
        putChain(miniFat, 0, layout.miniSectors);
        sink(idSector(miniFat));
    }
    const auto writeIds = [&](const std::vector<std::uint32_t>& ids) {
        for (std::size_t at = 0; at < ids.size(); at += kIdsPerSector) {
            sink(idSector(std::span(ids).subspan(at, kIdsPerSector)));
        }
    };
    writeIds(fat(layout));
    writeIds(difat(layout));
}

}  // namespace zond::xls
