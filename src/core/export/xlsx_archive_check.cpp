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

// Element names are kept as hashes: millions of elements go by without a string built for each.
using NameHash = std::uint64_t;
constexpr NameHash kEmptyName = 14695981039346656037ULL;

constexpr NameHash extended(NameHash hash, char c) {
    return (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
}

constexpr NameHash hashOf(std::string_view name) {
    NameHash hash = kEmptyName;
    for (const char c : name) {
        hash = extended(hash, c);
    }
    return hash;
}

// Reads a part as XML as it streams by: well formed (one root, every element closed in order,
// nothing but blanks outside the root), and how many elements of a few names it holds. A write the
// library lost leaves either a broken structure or missing elements.
class XmlScan {
  public:
    void feed(std::string_view bytes) {
        const char* c = bytes.data();
        const char* const end = c + bytes.size();
        while (c != end) {
            // Runs of attribute values and texts are skipped whole: most of a sheet's bytes.
            if (state_ == State::Quoted) {
                while (c != end && *c != quote_ && *c != '<') {
                    ++c;
                }
            } else if (state_ == State::Text && !open_.empty()) {
                const char* const start = c;
                while (c != end && *c != '<' && *c != '>') {
                    ++c;
                }
                hadText_ = hadText_ || c != start;
            }
            if (c != end) {
                step(*c++);
            }
        }
    }
    bool wellFormed() const { return ok_ && state_ == State::Text && open_.empty() && roots_ == 1; }
    std::size_t elements(std::string_view name) const {
        const auto at = std::ranges::find(kCounted, hashOf(name));
        return at == kCounted.end() ? 0 : counts_[static_cast<std::size_t>(at - kCounted.begin())];
    }

  private:
    enum class State { Text, Open, Name, Tag, Quoted, Special };
    static constexpr std::array<NameHash, 5> kCounted = {hashOf("row"), hashOf("c"), hashOf("v"),
                                                         hashOf("t"), hashOf("sheet")};

    void complete(NameHash name) {
        const auto at = std::ranges::find(kCounted, name);
        if (at != kCounted.end()) {
            ++counts_[static_cast<std::size_t>(at - kCounted.begin())];
        }
    }
    void endTag() {
        if (closing_) {
            // A value or text the library writes is never empty: an empty one lost its write.
            ok_ = ok_ && !open_.empty() && open_.back() == name_ &&
                  (hadText_ || (name_ != kCounted[2] && name_ != kCounted[3]));
            if (ok_) {
                open_.pop_back();
                complete(name_);
            }
            return;
        }
        roots_ += open_.empty() ? 1 : 0;
        if (lastInTag_ == '/') {
            complete(name_);
        } else {
            open_.push_back(name_);
        }
    }
    void step(char c) {
        switch (state_) {
            case State::Text:
                if (c == '<') {
                    state_ = State::Open;
                    break;
                }
                hadText_ = true;
                // The library writes '>' in text as "&gt;": a bare one is what is left of a tag
                // whose start was lost.
                if (c == '>' ||
                    (open_.empty() && c != ' ' && c != '\n' && c != '\r' && c != '\t')) {
                    ok_ = false;
                }
                break;
            case State::Open:
                closing_ = c == '/';
                name_ = kEmptyName;
                if (c == '?' || c == '!') {
                    state_ = State::Special;
                } else {
                    if (!closing_) {
                        name_ = extended(name_, c);
                    }
                    state_ = State::Name;
                }
                break;
            case State::Name:
                if (c == ' ' || c == '/' || c == '>' || c == '\n' || c == '\r' || c == '\t') {
                    state_ = State::Tag;
                    lastInTag_ = 0;
                    step(c);
                } else {
                    ok_ = ok_ && c != '"' && c != '\'' && c != '=' && c != '<';
                    name_ = extended(name_, c);
                }
                break;
            case State::Tag:
                // Attributes are name="value": a value right after each '=', nothing else.
                if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
                    break;
                }
                if ((lastInTag_ == '=') != (c == '"' || c == '\'') || c == '<') {
                    ok_ = false;
                }
                if (c == '"' || c == '\'') {
                    quote_ = c;
                    state_ = State::Quoted;
                } else if (c == '>') {
                    ok_ = ok_ && name_ != kEmptyName;
                    endTag();
                    state_ = State::Text;
                    hadText_ = false;
                } else {
                    ok_ = ok_ && !(c == '=' && (lastInTag_ == 0 || lastInTag_ == '"' ||
                                                lastInTag_ == '\'' || lastInTag_ == '/'));
                    lastInTag_ = c;
                }
                break;
            case State::Quoted:
                if (c == quote_) {
                    state_ = State::Tag;
                    lastInTag_ = c;
                } else {
                    ok_ = ok_ && c != '<';
                }
                break;
            case State::Special:
                if (c == '>') {
                    state_ = State::Text;
                }
                break;
        }
    }

    State state_ = State::Text;
    bool ok_ = true;
    bool closing_ = false;
    bool hadText_ = false;  // since the last tag
    char quote_ = 0;
    char lastInTag_ = 0;
    std::size_t roots_ = 0;
    NameHash name_ = kEmptyName;
    std::vector<NameHash> open_;
    std::array<std::size_t, kCounted.size()> counts_{};
};

// Inflates (or copies) one entry, checking its size and CRC-32; `xml` reads the bytes.
bool entryIntact(std::ifstream& in, const Entry& entry, XmlScan& xml) {
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
            xml.feed({reinterpret_cast<const char*>(bytes), n});
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
                         const std::vector<SheetContent>& sheets) {
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
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        if (!parts.contains("xl/worksheets/sheet" + std::to_string(k + 1) + ".xml")) {
            return false;
        }
    }
    for (const auto& [name, entry] : parts) {
        XmlScan xml;
        if (!entryIntact(in, entry, xml) || !xml.wellFormed()) {
            return false;
        }
        if (name == "xl/workbook.xml" && xml.elements("sheet") != sheets.size()) {
            return false;
        }
        if (name.starts_with("xl/worksheets/sheet")) {
            const std::size_t k = std::stoul(name.substr(19)) - 1;
            if (k >= sheets.size()) {
                return false;
            }
            const SheetContent& content = sheets[k];
            if (xml.elements("row") != content.rows ||
                xml.elements("c") != content.numbers + content.texts ||
                xml.elements("v") != content.numbers || xml.elements("t") != content.texts) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace zond::exporting
