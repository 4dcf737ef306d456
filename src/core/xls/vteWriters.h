// Workbook writers: the BIFF8 writer turns a workbook model into an Excel 97 file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>

#include "biff_stream.h"
#include "style_tables.h"
#include "vteExcel.h"

namespace zond::xls {

class TvteCustomWriter {
  public:
    virtual ~TvteCustomWriter() = default;
    virtual void Save(const TvteXLSWorkbook& /*workbook*/,
                      const std::filesystem::path& /*fileName*/) {}
};

// What the cell records of one range carry: its XF (the font and number format are in there)
// and, for a text, its shared-string number.
struct CellWriteInfo {
    static constexpr std::uint32_t kNoText = std::numeric_limits<std::uint32_t>::max();

    std::uint16_t xfIndex = 0;
    std::uint32_t sstIndex = kNoText;  // none for an empty text
};

class TvteExcelWriter : public TvteCustomWriter {
  public:
    // Writes the workbook to `fileName`, replacing a file of that name only once the new one is
    // complete. Throws XlsError (see assemble and writeWorkbookFile).
    void Save(const TvteXLSWorkbook& workbook, const std::filesystem::path& fileName) override;

    // The "Workbook" stream of the file Save writes. Throws XlsError for a worksheet reaching
    // beyond the 65,536 rows and 256 columns BIFF8 addresses, or a cell text longer than a BIFF8
    // string holds.
    BiffStream assemble(const TvteXLSWorkbook& workbook);

  private:
    UsedColours usedColours_;
};

}  // namespace zond::xls
