// The BIFF8 writer turns a workbook model into an Excel 97 file.
#pragma once

#include <cstdint>
#include <filesystem>

#include "xls/biff_stream.h"
#include "xls/style_tables.h"
#include "xls/workbook.h"

namespace zond::xls {

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
