#include "xls/shared_strings.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_records.h"

namespace zond::xls {

namespace {

using zond::bytes::appendU16;
using zond::bytes::appendU32;
using zond::bytes::appendU8;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kStringsPerBucket = 8;

// Visits the non-empty texts of all ranges in range order until `visit` returns false.
template <typename Visit>
bool forEachText(const Workbook& workbook, Visit&& visit) {
    std::string scratch;
    for (int s = 0; s < workbook.sheetCount(); ++s) {
        const auto& sheet = workbook.sheet(s);
        for (std::size_t p = 0; p < sheet.rangeCount(); ++p) {
            if (sheet.kindAt(p) != CellKind::Text) {
                continue;
            }
            const std::string_view text = sheet.textAt(p, scratch);
            if (!text.empty() && !visit(text)) {
                return false;
            }
        }
    }
    return true;
}

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ASCII text as UTF-16LE characters.
void appendWidened(Bytes& data, std::string_view ascii) {
    const std::size_t start = data.size();
    data.resize(start + 2 * ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        data[start + 2 * i] = static_cast<std::uint8_t>(ascii[i]);
        data[start + 2 * i + 1] = 0;
    }
}

// SST assembled in the stream; entry headers are never split, and a text split between records
// goes on behind a fresh flag byte. EXTSST points at every eighth entry.
class SstWriter {
  public:
    explicit SstWriter(BiffStream& out);

    void add(std::string_view utf8);
    // Closes the last record, fills in the counts and writes EXTSST.
    void finish();

  private:
    void startRecord(std::uint16_t number);
    void closeRecord();
    void continueRecord();
    std::uint32_t room() const;
    void markBucket();
    const std::u16string& convert(std::string_view utf8);

    BiffStream& out_;
    std::uint32_t recordStart_ = 0;
    std::uint32_t countsAt_ = 0;
    std::uint32_t count_ = 0;
    Bytes extSst_;
    Bytes piece_;
    // Other texts repeat across a row's columns and down the rows (modes, kinds of measurement):
    // the last few conversions are kept.
    struct Converted {
        std::string utf8;
        std::u16string utf16;
    };
    std::array<Converted, 4> recent_;
    std::size_t nextRecent_ = 0;
};

SstWriter::SstWriter(BiffStream& out) : out_(out) {
    startRecord(biff8::kSst);
    countsAt_ = out_.position();
    out_.write(Bytes(8, 0));  // total and unique count, once known
    appendU16(extSst_, kStringsPerBucket);
}

void SstWriter::add(std::string_view utf8) {
    // Dates, times and temperatures are ASCII: those widen without the general conversion.
    const bool ascii = isAscii(utf8);
    const std::u16string_view converted = ascii ? std::u16string_view() : convert(utf8);
    const std::size_t length = ascii ? utf8.size() : converted.size();
    if (length > 0xFFFF) {
        throw XlsError("Текст ячейки длиннее 65535 знаков: такую книгу Excel записать нельзя.");
    }
    if (room() <= 4) {
        continueRecord();
    }
    if (count_ % kStringsPerBucket == 0) {
        markBucket();
    }
    // Each piece is gathered, header or flag byte first, and written in one go.
    piece_.clear();
    appendU16(piece_, static_cast<std::uint16_t>(length));
    appendU8(piece_, biff8::kUncompressedFlag);
    for (std::size_t done = 0;;) {
        const std::size_t units =
            std::min<std::size_t>((length - done) * 2, room() - piece_.size()) / 2;
        if (ascii) {
            appendWidened(piece_, utf8.substr(done, units));
        } else {
            appendCharacters(piece_, converted.substr(done, units));
        }
        out_.write(piece_);
        piece_.clear();
        done += units;
        if (done == length) {
            break;
        }
        if (room() <= 4) {
            continueRecord();
            piece_.push_back(biff8::kUncompressedFlag);
        }
    }
    ++count_;
}

void SstWriter::finish() {
    closeRecord();
    out_.overwriteU32(countsAt_, count_);
    out_.overwriteU32(countsAt_ + 4, count_);
    out_.writeRecord(biff8::kExtSst, extSst_);
}

void SstWriter::startRecord(std::uint16_t number) {
    recordStart_ = out_.position();
    Bytes header;
    appendU16(header, number);
    appendU16(header, 0);  // the length, once the record is full
    out_.write(header);
}

void SstWriter::closeRecord() {
    const auto length = out_.position() - recordStart_ - biff8::kRecordHeaderSize;
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(length),
                                  static_cast<std::uint8_t>(length >> 8)};
    out_.overwrite(recordStart_ + 2, bytes);
}

void SstWriter::continueRecord() {
    closeRecord();
    startRecord(biff8::kContinue);
}

std::uint32_t SstWriter::room() const {
    return biff8::kMaxRecordData - (out_.position() - recordStart_ - biff8::kRecordHeaderSize);
}

void SstWriter::markBucket() {
    appendU32(extSst_, out_.position());
    appendU16(extSst_, static_cast<std::uint16_t>(out_.position() - recordStart_));
    appendU16(extSst_, 0);
}

const std::u16string& SstWriter::convert(std::string_view utf8) {
    for (const auto& entry : recent_) {
        if (entry.utf8 == utf8) {
            return entry.utf16;
        }
    }
    auto& entry = recent_[nextRecent_++ % recent_.size()];
    entry.utf8.assign(utf8);
    entry.utf16 = text::toUtf16(utf8);
    return entry.utf16;
}

}  // namespace

bool hasSharedStrings(const Workbook& workbook) {
    return !forEachText(workbook, [](std::string_view) { return false; });
}

void writeSharedStrings(BiffStream& out, const Workbook& workbook) {
    SstWriter sst(out);
    forEachText(workbook, [&](std::string_view text) {
        sst.add(text);
        return true;
    });
    sst.finish();
}

}  // namespace zond::xls
