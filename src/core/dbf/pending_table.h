// A new table built under a temporary name beside its target and moved over the target only when
// it is complete, so a failed or killed build leaves the old table (or no file), never a partial
// one.
#pragma once

#include <filesystem>

#include "dbf/dbf_table.h"

namespace zond::dbf {

class PendingTable {
  public:
    // Picks the temporary name ".NAME.partial-PID" beside the target and removes the partial
    // files of that target that no process holds any more (left by a killed run). Nothing is
    // created yet.
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

// The prefix (UTF-8) of the partial files of a target, for tests and for the clean-up.
std::string partialNamePrefix(const std::filesystem::path& target);

}  // namespace zond::dbf
