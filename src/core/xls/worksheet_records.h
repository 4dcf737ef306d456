// The bytes of the records a worksheet substream is made of, one function a record. The `...Data`
// functions give what follows the record header; the cell records come whole, header included,
// as they are gathered into a row block.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "xls/workbook.h"

namespace zond::xls::records {

using Bytes = std::vector<std::uint8_t>;

// The substream a BOF opens.
enum class BofType : std::uint16_t { WorkbookGlobals = 0x0005, Worksheet = 0x0010 };

Bytes u16Data(std::uint16_t value);
Bytes doubleData(double value);
Bytes bofData(BofType type);
// INDEX with room for the DBCELL positions of `blocks` row blocks.
Bytes indexData(std::uint32_t firstRow, std::uint32_t rowEnd, std::uint32_t blocks);
Bytes defaultRowHeightData();
Bytes horizontalPageBreaksData(const std::vector<int>& rows);
// HEADER and FOOTER: the non-empty parts behind their position codes.
Bytes headerFooterData(const std::string& left, const std::string& centre,
                       const std::string& right);
Bytes setupData(const PageSetup& setup);
Bytes colInfoData(const ColumnInfo& column);
Bytes dimensionsData(const UsedBounds& bounds);
// ROW of a row whose cells span [firstColumn, columnEnd); `info` is null for a default height.
Bytes rowData(int row, int firstColumn, int columnEnd, const RowInfo* info);
// DBCELL: the distance back to the block's first ROW, the offset of the first cell record from
// the end of that ROW, and the cell bytes of every row but the last.
Bytes dbCellData(std::uint32_t blockLength, std::uint16_t firstCellOffset,
                 std::span<const std::uint16_t> rowLengths);
Bytes window2Data(bool firstSheet);
Bytes selectionData();
Bytes mergedCellsData(std::span<const RangeRect> ranges);

std::array<std::uint8_t, 18> numberRecord(int row, int column, std::uint16_t xf, double value);
std::array<std::uint8_t, 14> labelSstRecord(int row, int column, std::uint16_t xf,
                                            std::uint32_t sstIndex);
std::array<std::uint8_t, 10> blankRecord(int row, int column, std::uint16_t xf);
// MULBLANK over columns first to last, every cell with the same XF.
Bytes mulBlankRecord(int row, int first, int last, std::uint16_t xf);

}  // namespace zond::xls::records
