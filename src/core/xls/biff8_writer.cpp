#include "xls/biff8_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <vector>

#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_records.h"
#include "xls/compound_file.h"

namespace zond::xls {

namespace {

using zond::bytes::appendBytes;
using zond::bytes::appendF64;
using zond::bytes::appendU16;
using zond::bytes::appendU32;
using zond::bytes::appendU8;
using zond::bytes::writeU16;
using zond::bytes::writeU32;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRowsPerBlock = 32;
constexpr std::uint32_t kStringsPerBucket = 8;
constexpr std::size_t kMergedPerRecord = 1024;
constexpr std::size_t kWriteAccessSize = 112;
constexpr std::uint16_t kBiffVersion = 0x0600;
constexpr std::uint16_t kBuild = 0x0DBB;
constexpr std::uint16_t kBuildYear = 0x07CC;
constexpr std::uint16_t kCodePage1252 = 0x04E4;

// ASCII text as UTF-16LE characters.
void appendWidened(Bytes& data, std::string_view ascii) {
    const std::size_t start = data.size();
    data.resize(start + 2 * ascii.size());
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        data[start + 2 * i] = static_cast<std::uint8_t>(ascii[i]);
        data[start + 2 * i + 1] = 0;
    }
}

Bytes u16Data(std::uint16_t value) {
    Bytes data;
    appendU16(data, value);
    return data;
}

Bytes doubleData(double value) {
    Bytes data;
    appendF64(data, value);
    return data;
}

Bytes bofData(std::uint16_t type) {
    Bytes data;
    appendU16(data, kBiffVersion);
    appendU16(data, type);
    appendU16(data, kBuild);
    appendU16(data, kBuildYear);
    appendU32(data, 0);
    appendU32(data, type == 0x0005 ? kBiffVersion : 0);
    return data;
}

// HEADER and FOOTER: the non-empty parts behind their position codes.
Bytes headerFooterData(const std::string& left, const std::string& centre,
                       const std::string& right) {
    std::string text;
    for (const auto& [code, part] : {std::pair{"&L", &left}, {"&C", &centre}, {"&R", &right}}) {
        if (!part->empty()) {
            text += code + *part;
        }
    }
    Bytes data;
    if (!text.empty()) {
        appendString16(data, text::toUtf16(text));
    }
    return data;
}

// One range on one row, as the cell records need it.
struct RowCell {
    RangeRect rect;
    std::size_t position = 0;  // in the sheet's list
    CellWriteInfo info;
};

std::size_t styleKey(std::uint32_t formatId, const RangeRect& rect) {
    return std::size_t{formatId} * 2 + (rect.isSingleCell() ? 0 : 1);
}

// State of one save: what the globals and the substreams share.
class SaveSession {
  public:
    SaveSession(const Workbook& workbook, UsedColours& usedColours, BiffStream& out)
        : workbook_(workbook), out_(out), styles_(usedColours) {}

    void run();

  private:
    void collectStyles();
    template <typename Visit>
    bool forEachText(Visit&& visit) const;
    void writeGlobals();
    void writeSharedStrings();
    void writeSheet(int sheetIndex);
    void writeRowBlocks(const Worksheet& sheet, std::uint32_t indexPosition);
    CellWriteInfo cellInfo(const Worksheet& sheet, std::size_t position) const;
    void appendCells(Bytes& cells, const Worksheet& sheet, int row, const RowCell& cell) const;
    void writeMergedCells(const Worksheet& sheet);

    const Workbook& workbook_;
    BiffStream& out_;
    StyleTables styles_;
    std::uint32_t globalsStart_ = 0;
    // Ranges of one format that merge alike share a style: (format id, merged) -> its position
    // in styleList_.
    std::vector<std::uint32_t> styleOfKey_;
    std::vector<CellStyle> styleList_;
    std::vector<CellStyleIndices> styleIndices_;
    // Shared strings are numbered in range order, and the cells take the numbers in that order.
    std::uint32_t nextSstIndex_ = 0;
    std::vector<std::uint32_t> boundSheetOffsets_;
};

void SaveSession::run() {
    collectStyles();
    globalsStart_ = out_.position();
    writeGlobals();
    std::vector<std::uint32_t> bofPositions;
    for (int s = 0; s < workbook_.sheetCount(); ++s) {
        bofPositions.push_back(out_.position());
        writeSheet(s);
    }
    for (std::size_t s = 0; s < bofPositions.size(); ++s) {
        out_.overwriteU32(boundSheetOffsets_[s], bofPositions[s]);
    }
}

// The distinct styles of the ranges, in the order ranges first use them.
void SaveSession::collectStyles() {
    constexpr auto kNone = std::numeric_limits<std::uint32_t>::max();
    for (int s = 0; s < workbook_.sheetCount(); ++s) {
        const auto& sheet = workbook_.sheet(s);
        for (std::size_t p = 0; p < sheet.rangeCount(); ++p) {
            const std::uint32_t formatId = sheet.formatIdAt(p);
            const std::size_t key = styleKey(formatId, sheet.rectAt(p));
            if (key >= styleOfKey_.size()) {
                styleOfKey_.resize(key + 1, kNone);
            }
            if (styleOfKey_[key] == kNone) {
                styleOfKey_[key] = static_cast<std::uint32_t>(styleList_.size());
                styleList_.push_back({&workbook_.formatAt(formatId), key % 2 == 1});
            }
        }
    }
}

// Visits the non-empty texts of all ranges in range order until `visit` returns false.
template <typename Visit>
bool SaveSession::forEachText(Visit&& visit) const {
    std::string scratch;
    for (int s = 0; s < workbook_.sheetCount(); ++s) {
        const auto& sheet = workbook_.sheet(s);
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

void SaveSession::writeGlobals() {
    out_.writeRecord(biff8::kBof, bofData(0x0005));
    out_.writeRecord(biff8::kInterfaceHdr, u16Data(kCodePage1252));
    out_.writeRecord(biff8::kMms, u16Data(0));
    out_.writeRecord(biff8::kInterfaceEnd);

    // The record has room for 54 characters of the name; a longer name is cut.
    auto user = text::toUtf16(workbook_.userName());
    user.resize(std::min<std::size_t>(user.size(), (kWriteAccessSize - 3) / 2));
    Bytes writeAccess;
    appendString16(writeAccess, user);
    writeAccess.resize(kWriteAccessSize, 0x20);
    out_.writeRecord(biff8::kWriteAccess, writeAccess);

    out_.writeRecord(biff8::kCodePage, u16Data(kCodePage1252));
    out_.writeRecord(biff8::kDsf, u16Data(0));
    out_.writeRecord(biff8::kExcel9File);
    Bytes tabIds;
    for (int s = 1; s <= workbook_.sheetCount(); ++s) {
        appendU16(tabIds, static_cast<std::uint16_t>(s));
    }
    out_.writeRecord(biff8::kTabId, tabIds);
    out_.writeRecord(biff8::kFnGroupCount, u16Data(14));
    for (const auto record : {biff8::kWindowProtect, biff8::kProtect, biff8::kPassword,
                              biff8::kProt4Rev, biff8::kProt4RevPass}) {
        out_.writeRecord(record, u16Data(0));
    }
    Bytes window1;
    for (const std::uint16_t value : {360, 30, 7454, 6240, 0x0038, 0, 0, 1, 600}) {
        appendU16(window1, value);
    }
    out_.writeRecord(biff8::kWindow1, window1);
    out_.writeRecord(biff8::kBackup, u16Data(0));
    out_.writeRecord(biff8::kHideObj, u16Data(0));
    out_.writeRecord(biff8::kDateMode, u16Data(0));
    out_.writeRecord(biff8::kPrecision, u16Data(1));
    out_.writeRecord(biff8::kRefreshAll, u16Data(0));
    out_.writeRecord(biff8::kBookBool, u16Data(0));

    styleIndices_ = styles_.write(out_, styleList_);

    out_.writeRecord(biff8::kUsesElfs, u16Data(0));
    for (int s = 0; s < workbook_.sheetCount(); ++s) {
        const auto name = text::toUtf16(workbook_.sheet(s).name());
        Bytes data;
        appendU32(data, 0);  // BOF position, filled in once known
        appendU16(data, 0x0000);
        appendU8(data, static_cast<std::uint8_t>(name.size()));
        appendU8(data, biff8::kUncompressedFlag);
        appendCharacters(data, name);
        boundSheetOffsets_.push_back(out_.position() + biff8::kRecordHeaderSize);
        out_.writeRecord(biff8::kBoundSheet, data);
    }
    Bytes country;
    appendU16(country, 7);
    appendU16(country, 7);
    out_.writeRecord(biff8::kCountry, country);
    if (!forEachText([](std::string_view) { return false; })) {
        writeSharedStrings();
    }
    out_.writeRecord(biff8::kEof);
}

// SST with its CONTINUE records, assembled in the stream; entry headers are never split, and a
// text split between records goes on behind a fresh flag byte. EXTSST points at every eighth
// entry.
void SaveSession::writeSharedStrings() {
    std::uint32_t recordStart = 0;
    const auto closeRecord = [&] {
        const auto length = out_.position() - recordStart - biff8::kRecordHeaderSize;
        const std::uint8_t bytes[] = {static_cast<std::uint8_t>(length),
                                      static_cast<std::uint8_t>(length >> 8)};
        out_.overwrite(recordStart + 2, bytes);
    };
    const auto startRecord = [&](std::uint16_t number) {
        recordStart = out_.position();
        Bytes header;
        appendU16(header, number);
        appendU16(header, 0);  // the length, once the record is full
        out_.write(header);
    };
    const auto room = [&] {
        return biff8::kMaxRecordData - (out_.position() - recordStart - biff8::kRecordHeaderSize);
    };

    startRecord(biff8::kSst);
    const std::uint32_t countsAt = out_.position();
    out_.write(Bytes(8, 0));  // total and unique count, once known

    Bytes extSst;
    appendU16(extSst, kStringsPerBucket);
    std::uint32_t count = 0;
    Bytes piece;
    // Other texts repeat across a row's columns and down the rows (modes, kinds of measurement):
    // the last few conversions are kept.
    struct Converted {
        std::string utf8;
        std::u16string utf16;
    };
    std::array<Converted, 4> recent;
    std::size_t nextRecent = 0;
    const auto convert = [&](std::string_view utf8) -> const std::u16string& {
        for (const auto& entry : recent) {
            if (entry.utf8 == utf8) {
                return entry.utf16;
            }
        }
        auto& entry = recent[nextRecent++ % recent.size()];
        entry.utf8.assign(utf8);
        entry.utf16 = text::toUtf16(utf8);
        return entry.utf16;
    };
    forEachText([&](std::string_view utf8) {
        // Dates, times and temperatures are ASCII: those widen without the general conversion.
        const bool ascii =
            std::ranges::all_of(utf8, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        const std::u16string_view converted = ascii ? std::u16string_view() : convert(utf8);
        const std::size_t length = ascii ? utf8.size() : converted.size();
        if (length > 0xFFFF) {
            throw XlsError("Текст ячейки длиннее 65535 знаков: такую книгу Excel записать нельзя.");
        }
        if (room() <= 4) {
            closeRecord();
            startRecord(biff8::kContinue);
        }
        if (count % kStringsPerBucket == 0) {
            appendU32(extSst, out_.position());
            appendU16(extSst, static_cast<std::uint16_t>(out_.position() - recordStart));
            appendU16(extSst, 0);
        }
        // Each piece is gathered, header or flag byte first, and written in one go.
        piece.clear();
        appendU16(piece, static_cast<std::uint16_t>(length));
        appendU8(piece, biff8::kUncompressedFlag);
        std::size_t done = 0;
        while (true) {
            const std::size_t units =
                std::min<std::size_t>((length - done) * 2, room() - piece.size()) / 2;
            if (ascii) {
                appendWidened(piece, utf8.substr(done, units));
            } else {
                appendCharacters(piece, converted.substr(done, units));
            }
            out_.write(piece);
            piece.clear();
            done += units;
            if (done == length) {
                break;
            }
            if (room() <= 4) {
                closeRecord();
                startRecord(biff8::kContinue);
                piece.push_back(biff8::kUncompressedFlag);
            }
        }
        ++count;
        return true;
    });
    closeRecord();
    out_.overwriteU32(countsAt, count);
    out_.overwriteU32(countsAt + 4, count);
    out_.writeRecord(biff8::kExtSst, extSst);
}

void SaveSession::writeSheet(int sheetIndex) {
    const auto& sheet = workbook_.sheet(sheetIndex);
    const UsedBounds& bounds = sheet.usedBounds();
    const auto& setup = sheet.pageSetup();

    out_.writeRecord(biff8::kBof, bofData(0x0010));

    const std::uint32_t indexPosition = out_.position();
    const std::uint32_t firstRow = bounds.empty() ? 0 : static_cast<std::uint32_t>(bounds.firstRow);
    const std::uint32_t rowEnd =
        bounds.empty() ? 0 : static_cast<std::uint32_t>(bounds.lastRow) + 1;
    const std::uint32_t blocks = (rowEnd - firstRow + kRowsPerBlock - 1) / kRowsPerBlock;
    Bytes index;
    appendU32(index, 0);
    appendU32(index, firstRow);
    appendU32(index, rowEnd);
    appendU32(index, 0);
    index.resize(index.size() + 4 * blocks, 0);  // DBCELL positions, once written
    out_.writeRecord(biff8::kIndex, index);

    out_.writeRecord(biff8::kCalcMode, u16Data(1));
    out_.writeRecord(biff8::kCalcCount, u16Data(100));
    out_.writeRecord(biff8::kRefMode, u16Data(1));
    out_.writeRecord(biff8::kIteration, u16Data(0));
    out_.writeRecord(biff8::kDelta, doubleData(0.001));
    out_.writeRecord(biff8::kSaveRecalc, u16Data(1));
    out_.writeRecord(biff8::kPrintHeaders, u16Data(setup.printHeadings ? 1 : 0));
    out_.writeRecord(biff8::kPrintGridLines, u16Data(setup.printGridLines ? 1 : 0));
    out_.writeRecord(biff8::kGridSet, u16Data(1));
    out_.writeRecord(biff8::kGuts, Bytes(8, 0));
    Bytes defaultRowHeight;
    appendU16(defaultRowHeight, 0);
    appendU16(defaultRowHeight, 255);
    out_.writeRecord(biff8::kDefaultRowHeight, defaultRowHeight);
    if (!sheet.pageBreaks().empty()) {
        Bytes breaks;
        appendU16(breaks, static_cast<std::uint16_t>(sheet.pageBreaks().size()));
        for (const int row : sheet.pageBreaks()) {
            appendU16(breaks, static_cast<std::uint16_t>(row));
            appendU16(breaks, 0);
            appendU16(breaks, 255);
        }
        out_.writeRecord(biff8::kHorizontalPageBreaks, breaks);
    }
    out_.writeRecord(biff8::kWsBool, u16Data(setup.scaleByPercentage ? 0x04C1 : 0x05C1));
    out_.writeRecord(biff8::kHeader,
                     headerFooterData(setup.leftHeader, setup.centreHeader, setup.rightHeader));
    out_.writeRecord(biff8::kFooter,
                     headerFooterData(setup.leftFooter, setup.centreFooter, setup.rightFooter));
    out_.writeRecord(biff8::kHCenter, u16Data(setup.centreHorizontally ? 1 : 0));
    out_.writeRecord(biff8::kVCenter, u16Data(setup.centreVertically ? 1 : 0));
    out_.writeRecord(biff8::kLeftMargin, doubleData(setup.leftMargin));
    out_.writeRecord(biff8::kRightMargin, doubleData(setup.rightMargin));
    out_.writeRecord(biff8::kTopMargin, doubleData(setup.topMargin));
    out_.writeRecord(biff8::kBottomMargin, doubleData(setup.bottomMargin));

    Bytes setupData;
    appendU16(setupData, setup.paperSize);
    appendU16(setupData, static_cast<std::uint16_t>(setup.scale));
    appendU16(setupData, static_cast<std::uint16_t>(setup.firstPageNumber));
    appendU16(setupData, static_cast<std::uint16_t>(setup.fitPagesWide));
    appendU16(setupData, static_cast<std::uint16_t>(setup.fitPagesTall));
    std::uint16_t options = 0;
    options |= setup.printOrder == 1 ? 0x0001 : 0;
    options |= setup.orientation == 0 ? 0x0002 : 0;
    options |= setup.blackAndWhite ? 0x0008 : 0;
    options |= setup.draft ? 0x0010 : 0;
    options |= setup.printNotes ? 0x0020 : 0;
    options |= setup.firstPageNumber != 1 ? 0x0080 : 0;
    appendU16(setupData, options);
    appendU16(setupData, 0);
    appendU16(setupData, 0);
    appendF64(setupData, setup.headerMargin);
    appendF64(setupData, setup.footerMargin);
    appendU16(setupData, static_cast<std::uint16_t>(setup.copies));
    out_.writeRecord(biff8::kSetup, setupData);

    out_.writeRecord(biff8::kDefColWidth, u16Data(8));
    for (const auto& column : sheet.columns()) {
        Bytes data;
        appendU16(data, static_cast<std::uint16_t>(column.column));
        appendU16(data, static_cast<std::uint16_t>(column.column));
        appendU16(data, static_cast<std::uint16_t>(column.width));
        appendU16(data, 0);
        appendU16(data, 0);
        appendU8(data, 0);
        out_.writeRecord(biff8::kColInfo, data);
    }

    Bytes dimensions;
    if (bounds.empty()) {
        dimensions.assign(14, 0);
    } else {
        appendU32(dimensions, static_cast<std::uint32_t>(bounds.firstRow));
        appendU32(dimensions, static_cast<std::uint32_t>(bounds.lastRow) + 1);
        appendU16(dimensions, static_cast<std::uint16_t>(bounds.firstColumn));
        appendU16(dimensions, static_cast<std::uint16_t>(bounds.lastColumn + 1));
        appendU16(dimensions, 0);
    }
    out_.writeRecord(biff8::kDimensions, dimensions);

    if (!bounds.empty()) {
        writeRowBlocks(sheet, indexPosition);
    }

    Bytes window2;
    appendU16(window2, sheetIndex == 0 ? 0x06B6 : 0x04B6);
    appendU16(window2, 0);
    appendU16(window2, 0);
    appendU32(window2, 64);
    appendU16(window2, 0);
    appendU16(window2, 0);
    appendU32(window2, 0);
    out_.writeRecord(biff8::kWindow2, window2);

    Bytes selection;
    appendU8(selection, 3);
    for (const std::uint16_t value : {0, 0, 0, 1, 0, 0}) {
        appendU16(selection, value);
    }
    appendU8(selection, 0);
    appendU8(selection, 0);
    out_.writeRecord(biff8::kSelection, selection);

    writeMergedCells(sheet);
    out_.writeRecord(biff8::kEof);
}

// ROW records of every used row, 32 to a block, each block followed by its cell records and a
// DBCELL; INDEX is rewritten at the end with the DBCELL positions.
void SaveSession::writeRowBlocks(const Worksheet& sheet, std::uint32_t indexPosition) {
    const UsedBounds& bounds = sheet.usedBounds();
    std::vector<std::uint32_t> dbCells;
    std::vector<RowCell> rowCells;
    Bytes cells;
    Bytes row;
    std::vector<std::uint16_t> rowLengths;
    std::uint32_t blockStart = 0;
    std::uint32_t firstRowEnd = 0;
    std::string scratch;
    std::size_t reach = 0;  // the first range that can reach down to the row

    for (int r = bounds.firstRow; r <= bounds.lastRow; ++r) {
        while (reach < sheet.rangeCount() &&
               sheet.rectAt(reach).top < r - sheet.maxRangeHeight() + 1) {
            ++reach;
        }
        // Visited in list order, so texts starting on this row take their shared-string
        // numbers in range order.
        rowCells.clear();
        for (std::size_t p = reach; p < sheet.rangeCount() && sheet.rectAt(p).top <= r; ++p) {
            const RangeRect& rect = sheet.rectAt(p);
            if (rect.bottom < r) {
                continue;
            }
            RowCell cell{rect, p, cellInfo(sheet, p)};
            if (rect.top == r && sheet.kindAt(p) == CellKind::Text &&
                !sheet.textAt(p, scratch).empty()) {
                cell.info.sstIndex = nextSstIndex_++;
            }
            rowCells.push_back(cell);
        }
        std::ranges::sort(rowCells, {}, [](const RowCell& c) { return c.rect.left; });

        const auto inBlock = static_cast<std::uint32_t>(r - bounds.firstRow) % kRowsPerBlock;
        if (inBlock == 0) {
            blockStart = out_.position();
            rowLengths.clear();
        }
        const RowInfo* info = sheet.findRow(r);
        row.clear();
        appendU16(row, static_cast<std::uint16_t>(r));
        appendU16(row,
                  rowCells.empty() ? 0 : static_cast<std::uint16_t>(rowCells.front().rect.left));
        appendU16(
            row, rowCells.empty() ? 0 : static_cast<std::uint16_t>(rowCells.back().rect.right + 1));
        appendU16(row, info != nullptr ? static_cast<std::uint16_t>(info->height) : 255);
        appendU16(row, 0);
        appendU16(row, 0);
        appendU16(row, info != nullptr ? 0x0040 : 0);
        appendU16(row, 0);
        out_.writeRecord(biff8::kRow, row);
        if (inBlock == 0) {
            firstRowEnd = out_.position();
        }

        const std::size_t before = cells.size();
        for (const auto& cell : rowCells) {
            appendCells(cells, sheet, r, cell);
        }
        rowLengths.push_back(static_cast<std::uint16_t>(cells.size() - before));

        if (inBlock == kRowsPerBlock - 1 || r == bounds.lastRow) {
            const std::uint32_t firstOffset = out_.position() - firstRowEnd;
            out_.write(cells);
            cells.clear();
            dbCells.push_back(out_.position() - globalsStart_);
            Bytes dbCell;
            appendU32(dbCell, out_.position() - blockStart);
            appendU16(dbCell, static_cast<std::uint16_t>(firstOffset));
            for (std::size_t i = 0; i + 1 < rowLengths.size(); ++i) {
                appendU16(dbCell, rowLengths[i]);
            }
            out_.writeRecord(biff8::kDbCell, dbCell);
        }
    }

    for (std::size_t b = 0; b < dbCells.size(); ++b) {
        out_.overwriteU32(
            static_cast<std::uint32_t>(indexPosition + biff8::kRecordHeaderSize + 16 + 4 * b),
            dbCells[b]);
    }
}

// The XF of the range at `position`; its shared-string number comes while its row is written.
CellWriteInfo SaveSession::cellInfo(const Worksheet& sheet, std::size_t position) const {
    const std::size_t key = styleKey(sheet.formatIdAt(position), sheet.rectAt(position));
    CellWriteInfo info;
    info.xfIndex = styleIndices_[styleOfKey_[key]].xf;
    return info;
}

// NUMBER or LABELSST at the top-left cell of the range, then blanks for the rest of the row.
void SaveSession::appendCells(Bytes& cells, const Worksheet& sheet, int row,
                              const RowCell& cell) const {
    const auto xf = cell.info.xfIndex;
    const RangeRect& rect = cell.rect;
    // Number, length, row, column and the first XF, gathered so the bytes go in at once.
    const auto head = [&](std::uint16_t number, std::uint16_t length, int column) {
        std::uint8_t bytes[10];
        writeU16(bytes, number);
        writeU16(bytes + 2, length);
        writeU16(bytes + 4, static_cast<std::uint16_t>(row));
        writeU16(bytes + 6, static_cast<std::uint16_t>(column));
        writeU16(bytes + 8, xf);
        appendBytes(cells, bytes);
    };
    int column = rect.left;
    if (row == rect.top) {
        if (sheet.kindAt(cell.position) == CellKind::Number) {
            head(biff8::kNumber, 14, column++);
            const auto bits = std::bit_cast<std::uint64_t>(sheet.numberAt(cell.position));
            std::uint8_t value[8];
            writeU32(value, static_cast<std::uint32_t>(bits));
            writeU32(value + 4, static_cast<std::uint32_t>(bits >> 32));
            appendBytes(cells, value);
        } else if (cell.info.sstIndex != CellWriteInfo::kNoText) {
            head(biff8::kLabelSst, 10, column++);
            std::uint8_t index[4];
            writeU32(index, cell.info.sstIndex);
            appendBytes(cells, index);
        }
    }
    if (column < rect.right) {
        const auto blanks = static_cast<std::uint16_t>(rect.right - column + 1);
        head(biff8::kMulBlank, static_cast<std::uint16_t>(6 + 2 * blanks), column);
        for (int i = 1; i < blanks; ++i) {
            appendU16(cells, xf);
        }
        appendU16(cells, static_cast<std::uint16_t>(rect.right));
    } else if (column == rect.right) {
        head(biff8::kBlank, 6, column);
    }
}

void SaveSession::writeMergedCells(const Worksheet& sheet) {
    Bytes entries;
    std::size_t count = 0;
    const auto flush = [&] {
        Bytes data;
        appendU16(data, static_cast<std::uint16_t>(count));
        zond::bytes::appendBytes(data, entries);
        out_.writeRecord(biff8::kMergedCells, data);
        entries.clear();
        count = 0;
    };
    for (std::size_t p = 0; p < sheet.rangeCount(); ++p) {
        const RangeRect& rect = sheet.rectAt(p);
        if (rect.isSingleCell()) {
            continue;
        }
        if (count == kMergedPerRecord) {
            flush();
        }
        for (const auto value : {rect.top, rect.bottom, rect.left, rect.right}) {
            appendU16(entries, static_cast<std::uint16_t>(value));
        }
        ++count;
    }
    if (count > 0) {
        flush();
    }
}

// BIFF8 addresses 65,536 rows and 256 columns; a sheet beyond them is refused before anything is
// written.
void checkWorkbookFits(const Workbook& workbook) {
    for (int s = 0; s < workbook.sheetCount(); ++s) {
        const auto& sheet = workbook.sheet(s);
        const UsedBounds& b = sheet.usedBounds();
        if (b.empty()) {
            continue;
        }
        if (b.firstRow < 0 || b.firstColumn < 0 || b.lastRow >= biff8::kMaxRows ||
            b.lastColumn >= biff8::kMaxColumns) {
            throw XlsError("Лист \"" + sheet.name() +
                           "\" не помещается в книгу Excel: лист вмещает не более 65536 строк и "
                           "256 столбцов.");
        }
    }
}

}  // namespace

BiffStream Biff8Writer::assemble(const Workbook& workbook) {
    checkWorkbookFits(workbook);
    BiffStream stream;
    struct ClearColours {
        UsedColours& colours;
        ~ClearColours() { colours.clear(); }
    } clearAtEnd{usedColours_};
    SaveSession(workbook, usedColours_, stream).run();
    return stream;
}

void Biff8Writer::save(const Workbook& workbook, const std::filesystem::path& fileName) {
    writeWorkbookFile(fileName, assemble(workbook));
}

}  // namespace zond::xls
