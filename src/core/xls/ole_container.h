// A compound file (version 3, 512-byte sectors) holding one stream named "Workbook", written
// front to back. The Windows build writes its workbooks with it; on Linux libgsf does the job.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "xls/biff_stream.h"

namespace zond::xls {

// Gives the file's bytes to `sink` in order.
void writeOleContainer(const BiffStream& stream,
                       const std::function<void(std::span<const std::uint8_t>)>& sink);

}  // namespace zond::xls
