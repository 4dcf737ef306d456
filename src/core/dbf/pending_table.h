// A new table built under a temporary name beside its target and moved over the target only when
// it is complete, so a failed or killed build leaves the old table (or no file), never a partial
// one.
#pragma once

#include <filesystem>

#include "dbf/dbf_table.h"

namespace zond::dbf {

class PendingTable {
  public:
    // Picks a short temporary name beside the target (fileio/temporary_name.h) and removes the
    // leftovers of that target (removeLeftovers). Nothing is created yet.
    explicit PendingTable(std::filesystem::path target);
    // Removes the temporary file unless committed.
    ~PendingTable();
    PendingTable(const PendingTable&) = delete;
    PendingTable& operator=(const PendingTable&) = delete;

    // Where to create and fill the table.
    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& target() const { return target_; }

    // Throws DbfError naming the target when no table can take its place now: its folder is
    // missing or takes no new file, the name is a folder's or a read-only file's, or another
    // program has the file open. Checked before slow work (a transfer) whose result would otherwise
    // be lost.
    void checkTarget() const;

    // `table`, open on path(), is flushed to disk and renamed over the target; it stays open
    // there. Throws DbfError (the temporary stays until destruction).
    void commit(DbfTable& table);

  private:
    std::filesystem::path target_;
    std::filesystem::path path_;
    bool committed_ = false;
};

// The prefix (UTF-8) of the temporary files of a target, for tests.
std::string partialNamePrefix(const std::filesystem::path& target);

// Removes the temporary files beside `target` (new tables, packed copies, exports) that no
// process holds any more: what a killed run left.
void removeLeftovers(const std::filesystem::path& target);

}  // namespace zond::dbf
