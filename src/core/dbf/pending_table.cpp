#include "dbf/pending_table.h"

#include <string>
#include <system_error>

#include "dbf/dbf_table_impl.h"
#include "dbf/locked_file.h"
#include "fileio/temporary_name.h"

namespace zond::dbf {

namespace {

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : ".";
}

}  // namespace

void removeLeftovers(const std::filesystem::path& target) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(target), error)) {
        if (!fileio::isTemporaryOf(target, entry.path())) {
            continue;
        }
        // The run building a file holds it locked; one nobody holds is left over.
        LockedFile probe;
        if (probe.open(entry.path(), false) == LockedFile::Status::Ok) {
            probe.close();
            removeFile(entry.path());
        }
    }
}

std::string partialNamePrefix(const std::filesystem::path& target) {
    return fileio::temporaryPrefix(target);
}

PendingTable::PendingTable(std::filesystem::path target) : target_(std::move(target)) {
    removeLeftovers(target_);
    path_ = fileio::temporaryPath(target_);
}

PendingTable::~PendingTable() {
    if (!committed_) {
        removeFile(path_);
    }
}

void PendingTable::checkTarget() const {
    std::error_code error;
    if (std::filesystem::is_directory(target_, error)) {
        throw DbfError("Create: " + quoted(target_) + " is a folder.");
    }
    LockedFile file = holdForReplacing(target_);
    file.close();
    if (file.open(path_, true, true) != LockedFile::Status::Ok) {
        throw DbfError("Create: cannot create a file in the folder " + quoted(folderOf(target_)) +
                       ".");
    }
    file.close();
    removeFile(path_);
}

void PendingTable::commit(DbfTable& table) {
    table.moveTo(target_);
    committed_ = true;
}

}  // namespace zond::dbf
