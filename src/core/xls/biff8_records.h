// Record numbers and limits of the BIFF8 format (Excel 97 workbooks).
#pragma once

#include <cstdint>

namespace zond::xls::biff8 {

// Addressable cells of one worksheet.
inline constexpr std::int32_t kMaxRows = 65536;
inline constexpr std::int32_t kMaxColumns = 256;

// Data bytes of one record; longer data go on in CONTINUE records.
inline constexpr std::uint32_t kMaxRecordData = 8224;
inline constexpr std::uint32_t kRecordHeaderSize = 4;

// Stored strings carry this flag byte: 16-bit characters.
inline constexpr std::uint8_t kUncompressedFlag = 0x01;

enum Record : std::uint16_t {
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kPrecision = 0x000E,
    kRefMode = 0x000F,
    kDelta = 0x0010,
    kIteration = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kWindowProtect = 0x0019,
    kHorizontalPageBreaks = 0x001B,
    kSelection = 0x001D,
    kDateMode = 0x0022,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kPrintHeaders = 0x002A,
    kPrintGridLines = 0x002B,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kCodePage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kPalette = 0x0092,
    kFnGroupCount = 0x009C,
    kSetup = 0x00A1,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kMms = 0x00C1,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kMergedCells = 0x00E5,
    kMulBlank = 0x00BE,
    kDbCell = 0x00D7,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kProt4Rev = 0x01AF,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kExcel9File = 0x01C0,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kRow = 0x0208,
    kIndex = 0x020B,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
    kEof = 0x000A,
};

}  // namespace zond::xls::biff8
