#include "dbf/pending_table.h"

#include <string>
#include <system_error>

#include "dbf/dbf_table_impl.h"
#include "dbf/locked_file.h"
#include "text/path_text.h"

namespace zond::dbf {

namespace {

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : ".";
}

// A partial file is held locked by the table building it; one nobody holds is left over.
void removeAbandonedPartials(const std::filesystem::path& target) {
    const std::string prefix = partialNamePrefix(target);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(target), error)) {
        if (!text::pathText(entry.path().filename()).starts_with(prefix)) {
            continue;
        }
        LockedFile probe;
        if (probe.open(entry.path(), false) == LockedFile::Status::Ok) {
            probe.close();
            removeFile(entry.path());
        }
    }
}

}  // namespace

std::string partialNamePrefix(const std::filesystem::path& target) {
    return "." + text::pathText(target.filename()) + ".partial-";
}

PendingTable::PendingTable(std::filesystem::path target) : target_(std::move(target)) {
    removeAbandonedPartials(target_);
    path_ = target_;
    path_.replace_filename(
        text::pathFromText(partialNamePrefix(target_) + std::to_string(currentProcessId())));
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
