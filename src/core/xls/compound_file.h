// The compound-file container of a workbook: one stream "Workbook" in a new file.
#pragma once

#include <cstdint>
#include <filesystem>

#include "xls/biff_stream.h"

namespace zond::xls {

// Structured-storage result codes, as a Windows user of the program sees them in the error texts.
namespace stg {
inline constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80030005);
inline constexpr std::int32_t kPathNotFound = static_cast<std::int32_t>(0x80030003);
inline constexpr std::int32_t kTooManyOpenFiles = static_cast<std::int32_t>(0x80030004);
inline constexpr std::int32_t kShareViolation = static_cast<std::int32_t>(0x80030020);
inline constexpr std::int32_t kMediumFull = static_cast<std::int32_t>(0x80030070);
inline constexpr std::int32_t kInvalidName = static_cast<std::int32_t>(0x800300FC);
inline constexpr std::int32_t kCantSave = static_cast<std::int32_t>(0x80030103);
}  // namespace stg

// Writes `stream` as the stream "Workbook" of a compound file at `path`. The file is built beside
// the target under a temporary name and renamed into place only when complete, so a failure
// leaves an existing file of that name as it was. Throws XlsError with "StgCreateDocFile error
// %d" when the file cannot be created (a target locked by another program gives a share
// violation), "CreateStream error %d" when the stream cannot, and the system's text when writing
// fails.
void writeWorkbookFile(const std::filesystem::path& path, const BiffStream& stream);

}  // namespace zond::xls
