#include "xls/worksheet_records.h"

#include <bit>
#include <utility>

#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_records.h"
#include "xls/biff_stream.h"

namespace zond::xls::records {

namespace {

using zond::bytes::appendF64;
using zond::bytes::appendU16;
using zond::bytes::appendU32;
using zond::bytes::appendU8;
using zond::bytes::writeU16;
using zond::bytes::writeU32;

constexpr std::uint16_t kBiffVersion = 0x0600;
constexpr std::uint16_t kBuild = 0x0DBB;
constexpr std::uint16_t kBuildYear = 0x07CC;

// Record number, data length, row, column and the first XF: the start of every cell record.
void writeCellHead(std::uint8_t* at, std::uint16_t number, std::uint16_t length, int row,
                   int column, std::uint16_t xf) {
    writeU16(at, number);
    writeU16(at + 2, length);
    writeU16(at + 4, static_cast<std::uint16_t>(row));
    writeU16(at + 6, static_cast<std::uint16_t>(column));
    writeU16(at + 8, xf);
}

}  // namespace

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

Bytes bofData(BofType type) {
    Bytes data;
    appendU16(data, kBiffVersion);
    appendU16(data, static_cast<std::uint16_t>(type));
    appendU16(data, kBuild);
    appendU16(data, kBuildYear);
    appendU32(data, 0);
    appendU32(data, type == BofType::WorkbookGlobals ? kBiffVersion : 0);
    return data;
}

Bytes indexData(std::uint32_t firstRow, std::uint32_t rowEnd, std::uint32_t blocks) {
    Bytes data;
    appendU32(data, 0);
    appendU32(data, firstRow);
    appendU32(data, rowEnd);
    appendU32(data, 0);
    data.resize(data.size() + 4 * blocks, 0);  // DBCELL positions, once written
    return data;
}

Bytes defaultRowHeightData() {
    Bytes data;
    appendU16(data, 0);
    appendU16(data, 255);
    return data;
}

Bytes horizontalPageBreaksData(const std::vector<int>& rows) {
    Bytes data;
    appendU16(data, static_cast<std::uint16_t>(rows.size()));
    for (const int row : rows) {
        appendU16(data, static_cast<std::uint16_t>(row));
        appendU16(data, 0);
        appendU16(data, 255);
    }
    return data;
}

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

Bytes setupData(const PageSetup& setup) {
    Bytes data;
    appendU16(data, setup.paperSize);
    appendU16(data, static_cast<std::uint16_t>(setup.scale));
    appendU16(data, static_cast<std::uint16_t>(setup.firstPageNumber));
    appendU16(data, static_cast<std::uint16_t>(setup.fitPagesWide));
    appendU16(data, static_cast<std::uint16_t>(setup.fitPagesTall));
    std::uint16_t options = 0;
    options |= setup.printOrder == 1 ? 0x0001 : 0;
    options |= setup.orientation == 0 ? 0x0002 : 0;
    options |= setup.blackAndWhite ? 0x0008 : 0;
    options |= setup.draft ? 0x0010 : 0;
    options |= setup.printNotes ? 0x0020 : 0;
    options |= setup.firstPageNumber != 1 ? 0x0080 : 0;
    appendU16(data, options);
    appendU16(data, 0);
    appendU16(data, 0);
    appendF64(data, setup.headerMargin);
    appendF64(data, setup.footerMargin);
    appendU16(data, static_cast<std::uint16_t>(setup.copies));
    return data;
}

Bytes colInfoData(const ColumnInfo& column) {
    Bytes data;
    appendU16(data, static_cast<std::uint16_t>(column.column));
    appendU16(data, static_cast<std::uint16_t>(column.column));
    appendU16(data, static_cast<std::uint16_t>(column.width));
    appendU16(data, 0);
    appendU16(data, 0);
    appendU8(data, 0);
    return data;
}

Bytes dimensionsData(const UsedBounds& bounds) {
    Bytes data;
    if (bounds.empty()) {
        data.assign(14, 0);
        return data;
    }
    appendU32(data, static_cast<std::uint32_t>(bounds.firstRow));
    appendU32(data, static_cast<std::uint32_t>(bounds.lastRow) + 1);
    appendU16(data, static_cast<std::uint16_t>(bounds.firstColumn));
    appendU16(data, static_cast<std::uint16_t>(bounds.lastColumn + 1));
    appendU16(data, 0);
    return data;
}

Bytes rowData(int row, int firstColumn, int columnEnd, const RowInfo* info) {
    Bytes data;
    appendU16(data, static_cast<std::uint16_t>(row));
    appendU16(data, static_cast<std::uint16_t>(firstColumn));
    appendU16(data, static_cast<std::uint16_t>(columnEnd));
    appendU16(data, info != nullptr ? static_cast<std::uint16_t>(info->height) : 255);
    appendU16(data, 0);
    appendU16(data, 0);
    appendU16(data, info != nullptr ? 0x0040 : 0);
    appendU16(data, 0);
    return data;
}

Bytes dbCellData(std::uint32_t blockLength, std::uint16_t firstCellOffset,
                 std::span<const std::uint16_t> rowLengths) {
    Bytes data;
    appendU32(data, blockLength);
    appendU16(data, firstCellOffset);
    for (std::size_t i = 0; i + 1 < rowLengths.size(); ++i) {
        appendU16(data, rowLengths[i]);
    }
    return data;
}

Bytes window2Data(bool firstSheet) {
    Bytes data;
    appendU16(data, firstSheet ? 0x06B6 : 0x04B6);
    appendU16(data, 0);
    appendU16(data, 0);
    appendU32(data, 64);
    appendU16(data, 0);
    appendU16(data, 0);
    appendU32(data, 0);
    return data;
}

Bytes selectionData() {
    Bytes data;
    appendU8(data, 3);
    for (const std::uint16_t value : {0, 0, 0, 1, 0, 0}) {
        appendU16(data, value);
    }
    appendU8(data, 0);
    appendU8(data, 0);
    return data;
}

Bytes mergedCellsData(std::span<const RangeRect> ranges) {
    Bytes data;
    appendU16(data, static_cast<std::uint16_t>(ranges.size()));
    for (const RangeRect& rect : ranges) {
        for (const auto value : {rect.top, rect.bottom, rect.left, rect.right}) {
            appendU16(data, static_cast<std::uint16_t>(value));
        }
    }
    return data;
}

std::array<std::uint8_t, 18> numberRecord(int row, int column, std::uint16_t xf, double value) {
    std::array<std::uint8_t, 18> bytes;
    writeCellHead(bytes.data(), biff8::kNumber, 14, row, column, xf);
    const auto bits = std::bit_cast<std::uint64_t>(value);
    writeU32(bytes.data() + 10, static_cast<std::uint32_t>(bits));
    writeU32(bytes.data() + 14, static_cast<std::uint32_t>(bits >> 32));
    return bytes;
}

std::array<std::uint8_t, 14> labelSstRecord(int row, int column, std::uint16_t xf,
                                            std::uint32_t sstIndex) {
    std::array<std::uint8_t, 14> bytes;
    writeCellHead(bytes.data(), biff8::kLabelSst, 10, row, column, xf);
    writeU32(bytes.data() + 10, sstIndex);
    return bytes;
}

std::array<std::uint8_t, 10> blankRecord(int row, int column, std::uint16_t xf) {
    std::array<std::uint8_t, 10> bytes;
    writeCellHead(bytes.data(), biff8::kBlank, 6, row, column, xf);
    return bytes;
}

Bytes mulBlankRecord(int row, int first, int last, std::uint16_t xf) {
    const auto blanks = static_cast<std::uint16_t>(last - first + 1);
    Bytes bytes(10);
    writeCellHead(bytes.data(), biff8::kMulBlank, static_cast<std::uint16_t>(6 + 2 * blanks), row,
                  first, xf);
    for (int i = 1; i < blanks; ++i) {
        appendU16(bytes, xf);
    }
    appendU16(bytes, static_cast<std::uint16_t>(last));
    return bytes;
}

}  // namespace zond::xls::records
