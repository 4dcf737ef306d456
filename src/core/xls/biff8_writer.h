// The BIFF8 writer turns a workbook model into an Excel 97 file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>

#include "xls/biff_stream.h"
#include "xls/style_tables.h"
#include "xls/workbook.h"

namespace zond::xls {

// What the cell records of one range carry: its XF (the font and number format are in there)
// and, for a text, its shared-string number.
struct CellWriteInfo {
    static constexpr std::uint32_t kNoText = std::numeric_limits<std::uint32_t>::max();

    std::uint16_t xfIndex = 0;
    std::uint32_t sstIndex = kNoText;  // none for an empty text
};

class Biff8Writer {
  public:
    // Writes the workbook to `fileName`, replacing a file of that name only once the new one is
    // complete. Throws XlsError (see assemble and writeWorkbookFile).
    void save(const Workbook& workbook, const std::filesystem::path& fileName);

    // The "Workbook" stream of the file save writes. Throws XlsError for a worksheet reaching
    // beyond the 65,536 rows and 256 columns BIFF8 addresses, or a cell text longer than a BIFF8
    // string holds.
    BiffStream assemble(const Workbook& workbook);

  private:
    UsedColours usedColours_;
};

}  // namespace zond::xls
