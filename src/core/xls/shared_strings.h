// The shared-string table (SST) of a workbook: the non-empty texts of its ranges, one entry each in
// range order, which is the order the LABELSST cells number them in.
#pragma once

#include "xls/biff_stream.h"
#include "xls/workbook.h"

namespace zond::xls {

// Whether any range of the workbook holds a non-empty text; the SST is written only then.
bool hasSharedStrings(const Workbook& workbook);

// Writes SST with its CONTINUE records, then EXTSST. Throws XlsError for a text longer than a
// BIFF8 string holds.
void writeSharedStrings(BiffStream& out, const Workbook& workbook);

}  // namespace zond::xls
