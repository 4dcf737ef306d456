#include "export/xlsx_archive_check.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <string_view>

namespace zond::exporting {

namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLongestComment = 0xFFFF;
constexpr std::size_t kChunk = 64 * 1024;

std::uint32_t le(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | p[i];
    }
    return value;
}

struct Entry {
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t size = 0;
    std::uint32_t localOffset = 0;
};

// What a worksheet's XML must show: its closing tag at the end and one "</row>" per row.
class SheetScan {
  public:
    void feed(std::string_view bytes) {
        std::string joined = tail_ + std::string(bytes);
        for (auto at = joined.find(kRowEnd); at != std::string::npos;
             at = joined.find(kRowEnd, at + 1)) {
            if (at + kRowEnd.size() > tail_.size()) {  // not counted with the previous piece
                ++rows_;
            }
        }
        const std::size_t keep = std::min(joined.size(), kKeep);
        tail_ = joined.substr(joined.size() - keep);
    }
    std::size_t rows() const { return rows_; }
    bool closed() const {
        const auto end = tail_.find_last_not_of(" \r\n\t");
        return end != std::string::npos &&
               std::string_view(tail_).substr(0, end + 1).ends_with("</worksheet>");
    }

  private:
    static constexpr std::string_view kRowEnd = "</row>";
    static constexpr std::size_t kKeep = 32;
    std::string tail_;
    std::size_t rows_ = 0;
};

// Inflates (or copies) one entry, checking its size and CRC-32; `sheet` sees the bytes.
bool entryIntact(std::ifstream& in, const Entry& entry, SheetScan* sheet) {
    std::array<unsigned char, 30> local{};
    in.seekg(entry.localOffset);
    if (!in.read(reinterpret_cast<char*>(local.data()), local.size()) ||
        le(local.data(), 4) != kLocalHeader) {
        return false;
    }
    in.seekg(static_cast<std::streamoff>(entry.localOffset + local.size() + le(&local[26], 2) +
                                         le(&local[28], 2)));
    if (entry.method != 0 && entry.method != Z_DEFLATED) {
        return false;
    }
    z_stream stream{};
    if (entry.method == Z_DEFLATED && inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        return false;
    }
    std::vector<unsigned char> packed(kChunk);
    std::vector<unsigned char> plain(kChunk);
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t produced = 0;
    std::uint64_t left = entry.packedSize;
    bool ok = true;
    int status = Z_OK;
    while (ok && left > 0) {
        const auto piece = static_cast<std::streamsize>(std::min<std::uint64_t>(left, kChunk));
        if (!in.read(reinterpret_cast<char*>(packed.data()), piece)) {
            ok = false;
            break;
        }
        left -= static_cast<std::uint64_t>(piece);
        const auto take = [&](const unsigned char* bytes, std::size_t n) {
            crc = crc32(crc, bytes, static_cast<uInt>(n));
            produced += n;
            if (sheet) {
                sheet->feed({reinterpret_cast<const char*>(bytes), n});
            }
        };
        if (entry.method == 0) {
            take(packed.data(), static_cast<std::size_t>(piece));
            continue;
        }
        stream.next_in = packed.data();
        stream.avail_in = static_cast<uInt>(piece);
        while (stream.avail_in > 0 && status != Z_STREAM_END) {
            stream.next_out = plain.data();
            stream.avail_out = static_cast<uInt>(plain.size());
            status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) {
                ok = false;
                break;
            }
            take(plain.data(), plain.size() - stream.avail_out);
        }
    }
    if (entry.method == Z_DEFLATED) {
        ok = ok && status == Z_STREAM_END;
        inflateEnd(&stream);
    }
    return ok && produced == entry.size && crc == entry.crc;
}

}  // namespace

bool xlsxArchiveComplete(const std::filesystem::path& file,
                         const std::vector<std::size_t>& sheetRows) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());
    if (!in || fileSize < kEndRecordSize) {
        return false;
    }
    const std::uint64_t tailSize =
        std::min<std::uint64_t>(fileSize, kEndRecordSize + kLongestComment);
    std::vector<unsigned char> tail(tailSize);
    in.seekg(static_cast<std::streamoff>(fileSize - tailSize));
    if (!in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tailSize))) {
        return false;
    }
    std::size_t end = tailSize - kEndRecordSize + 1;
    do {
        --end;
    } while (end > 0 && le(&tail[end], 4) != kEndOfDirectory);
    if (le(&tail[end], 4) != kEndOfDirectory) {
        return false;
    }
    const std::uint32_t entries = le(&tail[end + 10], 2);
    const std::uint32_t directorySize = le(&tail[end + 12], 4);
    const std::uint32_t directoryOffset = le(&tail[end + 16], 4);
    if (std::uint64_t{directoryOffset} + directorySize > fileSize) {
        return false;
    }
    std::vector<unsigned char> directory(directorySize);
    in.seekg(directoryOffset);
    if (!in.read(reinterpret_cast<char*>(directory.data()), directorySize)) {
        return false;
    }
    std::map<std::string, Entry> parts;
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (at + 46 > directory.size() || le(&directory[at], 4) != kDirectoryEntry) {
            return false;
        }
        const unsigned char* d = &directory[at];
        Entry entry{static_cast<std::uint16_t>(le(d + 10, 2)), le(d + 16, 4), le(d + 20, 4),
                    le(d + 24, 4), le(d + 42, 4)};
        const std::size_t nameLength = le(d + 28, 2);
        const std::size_t skip = 46 + nameLength + le(d + 30, 2) + le(d + 32, 2);
        if (at + skip > directory.size()) {
            return false;
        }
        parts[std::string(reinterpret_cast<const char*>(d + 46), nameLength)] = entry;
        at += skip;
    }
    for (const char* needed : {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                               "xl/_rels/workbook.xml.rels", "xl/styles.xml"}) {
        if (!parts.contains(needed)) {
            return false;
        }
    }
    for (std::size_t k = 0; k < sheetRows.size(); ++k) {
        if (!parts.contains("xl/worksheets/sheet" + std::to_string(k + 1) + ".xml")) {
            return false;
        }
    }
    for (const auto& [name, entry] : parts) {
        SheetScan scan;
        const bool isSheet = name.starts_with("xl/worksheets/sheet");
        if (!entryIntact(in, entry, isSheet ? &scan : nullptr)) {
            return false;
        }
        if (isSheet) {
            const std::size_t k = std::stoul(name.substr(19)) - 1;
            if (k >= sheetRows.size() || !scan.closed() || scan.rows() != sheetRows[k] + 1) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace zond::exporting
