// The measurement table: the 14 fields of MeasurementRecord and how a table file with them is made
// and opened.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string_view>

#include "dbf/dbf_table.h"

namespace zond::measurement {

// Field names, in the file's column order.
namespace field {
inline constexpr std::string_view kN = "N";
inline constexpr std::string_view kMode = "MODE";
inline constexpr std::string_view kChannel = "CHANNEL";
inline constexpr std::string_view kEnCh = "EN_CH";
inline constexpr std::string_view kDate = "DATE";
inline constexpr std::string_view kTime = "TIME";
inline constexpr std::string_view kTimeSec = "TIME_SEC";
inline constexpr std::string_view kType = "TYPE";
inline constexpr std::string_view kTavis1 = "TAVIS_1";
inline constexpr std::string_view kTavis2 = "TAVIS_2";
inline constexpr std::string_view kTavis3 = "TAVIS_3";
inline constexpr std::string_view kTIn = "T_IN";
inline constexpr std::string_view kTExt = "T_EXT";
inline constexpr std::string_view kComment = "COMMENT";
}  // namespace field

inline constexpr int kFieldCount = 14;
inline constexpr int kCommentLength = 50;

// The language ID of the program's own code page (1251), written into new tables.
inline constexpr std::uint8_t kProgramLanguageId = 0xC9;

std::span<const dbf::FieldSpec> measurementFields();

// Positions of the measurement fields in an opened table (they may stand in any order there).
struct MeasurementFieldIndexes {
    int n = -1;
    int mode = -1;
    int channel = -1;
    int enCh = -1;
    int date = -1;
    int time = -1;
    int timeSec = -1;
    int type = -1;
    int tavis1 = -1;
    int tavis2 = -1;
    int tavis3 = -1;
    int tIn = -1;
    int tExt = -1;
    int comment = -1;

    std::array<int, 3> tavis() const { return {tavis1, tavis2, tavis3}; }
};

// Throws dbf::DbfError naming `target` when no new table can take its place now: its folder is
// missing or takes no new file, the name is a folder's, or another program has the file open.
// Checked before a transfer, so that the instrument's memory is not fetched for nothing.
void checkNewTableTarget(const std::filesystem::path& target);

// Writes a new empty measurement table, replacing a file of that name only when it is complete.
void createMeasurementTable(const std::filesystem::path& path,
                            std::uint8_t languageId = kProgramLanguageId,
                            const dbf::HeaderDateSource& headerDate = dbf::localDate);

struct MeasurementFieldIndexes;
// Thrown by a table filler that stops at input it cannot take after writing sound rows: those
// rows are worth keeping, so the new table takes its name with them before the error goes on.
class FillStoppedError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
using TableFiller = std::function<void(const MeasurementFieldIndexes& fields)>;

// A new measurement table filled before it takes its name: built beside `target` under a
// temporary name, opened in `table` and handed to `fill`; then flushed to disk and renamed over
// the target, where it stays open. When `fill` throws FillStoppedError, the rows written so far
// take the target's name all the same and the error is rethrown. When anything else throws, the
// temporary goes, `table` is closed and an existing target stays as it was.
MeasurementFieldIndexes createMeasurementTable(dbf::DbfTable& table,
                                               const std::filesystem::path& target,
                                               std::uint8_t languageId, const TableFiller& fill);

// Opens a table and binds the measurement fields by name. A missing field, or one of a kind that
// cannot hold its values, closes the table again and throws dbf::DbfError.
MeasurementFieldIndexes openMeasurementTable(dbf::DbfTable& table,
                                             const std::filesystem::path& path,
                                             dbf::OpenMode mode = dbf::OpenMode::ReadWrite);

// The language ID for the next new table: the program's own until a table is opened, then the
// code page of the table opened last, so a new table writes its text as that one did.
class NewTableLanguage {
  public:
    std::uint8_t id() const { return id_; }
    void noteOpened(const dbf::DbfTable& table);

  private:
    std::uint8_t id_ = kProgramLanguageId;
};

}  // namespace zond::measurement
