#include "xls/biff8_writer.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_records.h"
#include "xls/compound_file.h"
#include "xls/shared_strings.h"
#include "xls/worksheet_records.h"

namespace zond::xls {

namespace {

using records::Bytes;
using records::doubleData;
using records::u16Data;
using zond::bytes::appendBytes;
using zond::bytes::appendU16;
using zond::bytes::appendU32;
using zond::bytes::appendU8;

constexpr std::uint32_t kRowsPerBlock = 32;
constexpr std::size_t kMergedPerRecord = 1024;
constexpr std::size_t kWriteAccessSize = 112;
constexpr std::uint16_t kCodePage1252 = 0x04E4;

// WRITEACCESS: the user name, padded with blanks; the record has room for 54 characters of it and
// a longer name is cut.
Bytes writeAccessData(const std::string& userName) {
    auto user = text::toUtf16(userName);
    user.resize(std::min<std::size_t>(user.size(), (kWriteAccessSize - 3) / 2));
    Bytes data;
    appendString16(data, user);
    data.resize(kWriteAccessSize, 0x20);
    return data;
}

Bytes tabIdData(int sheetCount) {
    Bytes data;
    for (int s = 1; s <= sheetCount; ++s) {
        appendU16(data, static_cast<std::uint16_t>(s));
    }
    return data;
}

Bytes window1Data() {
    Bytes data;
    for (const std::uint16_t value : {360, 30, 7454, 6240, 0x0038, 0, 0, 1, 600}) {
        appendU16(data, value);
    }
    return data;
}

// BOUNDSHEET with a zero BOF position, filled in once the sheet is written.
Bytes boundSheetData(const std::string& name) {
    const auto wide = text::toUtf16(name);
    Bytes data;
    appendU32(data, 0);
    appendU16(data, 0x0000);
    appendU8(data, static_cast<std::uint8_t>(wide.size()));
    appendU8(data, biff8::kUncompressedFlag);
    appendCharacters(data, wide);
    return data;
}

Bytes countryData() {
    Bytes data;
    appendU16(data, 7);
    appendU16(data, 7);
    return data;
}

// What the cell records of one range carry: its XF (the font and number format are in there)
// and, for a text, its shared-string number.
struct CellWriteInfo {
    static constexpr std::uint32_t kNoText = std::numeric_limits<std::uint32_t>::max();

    std::uint16_t xfIndex = 0;
    std::uint32_t sstIndex = kNoText;  // none for an empty text
};

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
    void writeGlobals();
    void writeGlobalSettings();
    void writeBoundSheets();
    void writeSheet(int sheetIndex);
    void writeSheetSettings(const Worksheet& sheet);
    void writePageSetup(const PageSetup& setup);
    void writeRowBlocks(const Worksheet& sheet, std::uint32_t indexPosition);
    void collectRowCells(const Worksheet& sheet, int row, std::size_t reach);
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
    std::vector<RowCell> rowCells_;  // of the row being written, by column
    std::string scratch_;            // a date's or boolean's text while its row is written
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

void SaveSession::writeGlobals() {
    writeGlobalSettings();
    styleIndices_ = styles_.write(out_, styleList_);
    out_.writeRecord(biff8::kUsesElfs, u16Data(0));
    writeBoundSheets();
    out_.writeRecord(biff8::kCountry, countryData());
    if (hasSharedStrings(workbook_)) {
        writeSharedStrings(out_, workbook_);
    }
    out_.writeRecord(biff8::kEof);
}

// The globals' records ahead of the style tables.
void SaveSession::writeGlobalSettings() {
    out_.writeRecord(biff8::kBof, records::bofData(records::BofType::WorkbookGlobals));
    out_.writeRecord(biff8::kInterfaceHdr, u16Data(kCodePage1252));
    out_.writeRecord(biff8::kMms, u16Data(0));
    out_.writeRecord(biff8::kInterfaceEnd);
    out_.writeRecord(biff8::kWriteAccess, writeAccessData(workbook_.userName()));
    out_.writeRecord(biff8::kCodePage, u16Data(kCodePage1252));
    out_.writeRecord(biff8::kDsf, u16Data(0));
    out_.writeRecord(biff8::kExcel9File);
    out_.writeRecord(biff8::kTabId, tabIdData(workbook_.sheetCount()));
    out_.writeRecord(biff8::kFnGroupCount, u16Data(14));
    for (const auto record : {biff8::kWindowProtect, biff8::kProtect, biff8::kPassword,
                              biff8::kProt4Rev, biff8::kProt4RevPass}) {
        out_.writeRecord(record, u16Data(0));
    }
    out_.writeRecord(biff8::kWindow1, window1Data());
    out_.writeRecord(biff8::kBackup, u16Data(0));
    out_.writeRecord(biff8::kHideObj, u16Data(0));
    out_.writeRecord(biff8::kDateMode, u16Data(0));
    out_.writeRecord(biff8::kPrecision, u16Data(1));
    out_.writeRecord(biff8::kRefreshAll, u16Data(0));
    out_.writeRecord(biff8::kBookBool, u16Data(0));
}

void SaveSession::writeBoundSheets() {
    for (int s = 0; s < workbook_.sheetCount(); ++s) {
        boundSheetOffsets_.push_back(out_.position() + biff8::kRecordHeaderSize);
        out_.writeRecord(biff8::kBoundSheet, boundSheetData(workbook_.sheet(s).name()));
    }
}

void SaveSession::writeSheet(int sheetIndex) {
    const auto& sheet = workbook_.sheet(sheetIndex);
    const UsedBounds& bounds = sheet.usedBounds();

    out_.writeRecord(biff8::kBof, records::bofData(records::BofType::Worksheet));
    const std::uint32_t indexPosition = out_.position();
    const std::uint32_t firstRow = bounds.empty() ? 0 : static_cast<std::uint32_t>(bounds.firstRow);
    const std::uint32_t rowEnd =
        bounds.empty() ? 0 : static_cast<std::uint32_t>(bounds.lastRow) + 1;
    const std::uint32_t blocks = (rowEnd - firstRow + kRowsPerBlock - 1) / kRowsPerBlock;
    out_.writeRecord(biff8::kIndex, records::indexData(firstRow, rowEnd, blocks));

    writeSheetSettings(sheet);
    out_.writeRecord(biff8::kDefColWidth, u16Data(8));
    for (const auto& column : sheet.columns()) {
        out_.writeRecord(biff8::kColInfo, records::colInfoData(column));
    }
    out_.writeRecord(biff8::kDimensions, records::dimensionsData(bounds));
    if (!bounds.empty()) {
        writeRowBlocks(sheet, indexPosition);
    }
    out_.writeRecord(biff8::kWindow2, records::window2Data(sheetIndex == 0));
    out_.writeRecord(biff8::kSelection, records::selectionData());
    writeMergedCells(sheet);
    out_.writeRecord(biff8::kEof);
}

// Calculation, printing and page records between INDEX and the column widths.
void SaveSession::writeSheetSettings(const Worksheet& sheet) {
    const auto& setup = sheet.pageSetup();
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
    out_.writeRecord(biff8::kDefaultRowHeight, records::defaultRowHeightData());
    if (!sheet.pageBreaks().empty()) {
        out_.writeRecord(biff8::kHorizontalPageBreaks,
                         records::horizontalPageBreaksData(sheet.pageBreaks()));
    }
    out_.writeRecord(biff8::kWsBool, u16Data(setup.scaleByPercentage ? 0x04C1 : 0x05C1));
    writePageSetup(setup);
}

void SaveSession::writePageSetup(const PageSetup& setup) {
    out_.writeRecord(biff8::kHeader, records::headerFooterData(setup.leftHeader, setup.centreHeader,
                                                               setup.rightHeader));
    out_.writeRecord(biff8::kFooter, records::headerFooterData(setup.leftFooter, setup.centreFooter,
                                                               setup.rightFooter));
    out_.writeRecord(biff8::kHCenter, u16Data(setup.centreHorizontally ? 1 : 0));
    out_.writeRecord(biff8::kVCenter, u16Data(setup.centreVertically ? 1 : 0));
    out_.writeRecord(biff8::kLeftMargin, doubleData(setup.leftMargin));
    out_.writeRecord(biff8::kRightMargin, doubleData(setup.rightMargin));
    out_.writeRecord(biff8::kTopMargin, doubleData(setup.topMargin));
    out_.writeRecord(biff8::kBottomMargin, doubleData(setup.bottomMargin));
    out_.writeRecord(biff8::kSetup, records::setupData(setup));
}

// ROW records of every used row, 32 to a block, each block followed by its cell records and a
// DBCELL; INDEX is rewritten at the end with the DBCELL positions.
void SaveSession::writeRowBlocks(const Worksheet& sheet, std::uint32_t indexPosition) {
    const UsedBounds& bounds = sheet.usedBounds();
    std::vector<std::uint32_t> dbCells;
    Bytes cells;
    std::vector<std::uint16_t> rowLengths;
    std::uint32_t blockStart = 0;
    std::uint32_t firstRowEnd = 0;
    std::size_t reach = 0;  // the first range that can reach down to the row

    for (int r = bounds.firstRow; r <= bounds.lastRow; ++r) {
        while (reach < sheet.rangeCount() &&
               sheet.rectAt(reach).top < r - sheet.maxRangeHeight() + 1) {
            ++reach;
        }
        collectRowCells(sheet, r, reach);

        const auto inBlock = static_cast<std::uint32_t>(r - bounds.firstRow) % kRowsPerBlock;
        if (inBlock == 0) {
            blockStart = out_.position();
            rowLengths.clear();
        }
        const bool empty = rowCells_.empty();
        out_.writeRecord(biff8::kRow, records::rowData(r, empty ? 0 : rowCells_.front().rect.left,
                                                       empty ? 0 : rowCells_.back().rect.right + 1,
                                                       sheet.findRow(r)));
        if (inBlock == 0) {
            firstRowEnd = out_.position();
        }

        const std::size_t before = cells.size();
        for (const auto& cell : rowCells_) {
            appendCells(cells, sheet, r, cell);
        }
        rowLengths.push_back(static_cast<std::uint16_t>(cells.size() - before));

        if (inBlock == kRowsPerBlock - 1 || r == bounds.lastRow) {
            const std::uint32_t firstOffset = out_.position() - firstRowEnd;
            out_.write(cells);
            cells.clear();
            dbCells.push_back(out_.position() - globalsStart_);
            out_.writeRecord(
                biff8::kDbCell,
                records::dbCellData(out_.position() - blockStart,
                                    static_cast<std::uint16_t>(firstOffset), rowLengths));
        }
    }

    for (std::size_t b = 0; b < dbCells.size(); ++b) {
        out_.overwriteU32(
            static_cast<std::uint32_t>(indexPosition + biff8::kRecordHeaderSize + 16 + 4 * b),
            dbCells[b]);
    }
}

// The ranges covering `row`, by column. Visited in list order, so texts starting on this row
// take their shared-string numbers in range order.
void SaveSession::collectRowCells(const Worksheet& sheet, int row, std::size_t reach) {
    rowCells_.clear();
    for (std::size_t p = reach; p < sheet.rangeCount() && sheet.rectAt(p).top <= row; ++p) {
        const RangeRect& rect = sheet.rectAt(p);
        if (rect.bottom < row) {
            continue;
        }
        RowCell cell{rect, p, cellInfo(sheet, p)};
        if (rect.top == row && sheet.kindAt(p) == CellKind::Text &&
            !sheet.textAt(p, scratch_).empty()) {
            cell.info.sstIndex = nextSstIndex_++;
        }
        rowCells_.push_back(cell);
    }
    std::ranges::sort(rowCells_, {}, [](const RowCell& c) { return c.rect.left; });
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
    int column = rect.left;
    if (row == rect.top) {
        if (sheet.kindAt(cell.position) == CellKind::Number) {
            appendBytes(cells,
                        records::numberRecord(row, column++, xf, sheet.numberAt(cell.position)));
        } else if (cell.info.sstIndex != CellWriteInfo::kNoText) {
            appendBytes(cells, records::labelSstRecord(row, column++, xf, cell.info.sstIndex));
        }
    }
    if (column < rect.right) {
        appendBytes(cells, records::mulBlankRecord(row, column, rect.right, xf));
    } else if (column == rect.right) {
        appendBytes(cells, records::blankRecord(row, column, xf));
    }
}

// MERGEDCELLS of every range over more than one cell, at most 1,024 to a record.
void SaveSession::writeMergedCells(const Worksheet& sheet) {
    std::vector<RangeRect> merged;
    const auto flush = [&] {
        out_.writeRecord(biff8::kMergedCells, records::mergedCellsData(merged));
        merged.clear();
    };
    for (std::size_t p = 0; p < sheet.rangeCount(); ++p) {
        const RangeRect& rect = sheet.rectAt(p);
        if (rect.isSingleCell()) {
            continue;
        }
        if (merged.size() == kMergedPerRecord) {
            flush();
        }
        merged.push_back(rect);
    }
    if (!merged.empty()) {
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
