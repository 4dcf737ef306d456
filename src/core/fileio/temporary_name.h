// Names of the temporary files built beside a target (a new table, a copy being packed, an export
// being written). They are short whatever the target's name, so a name near the file system's
// limit still has room for its temporary; hidden, so they stay out of the user's way; and they
// carry a hash of the target's name, so the next run on that target recognises the ones a killed
// run left behind.
#pragma once

#include <filesystem>
#include <string>

namespace zond::fileio {

// ".zond-HHHHHHHH-" where HHHHHHHH is a hash of the target's file name.
std::string temporaryPrefix(const std::filesystem::path& target);

// A fresh name beside `target`: the prefix, this process's ID and a counter, ".tmp".
std::filesystem::path temporaryPath(const std::filesystem::path& target);

// Whether `candidate` (a file name or a path) is one of the temporaries of `target`.
bool isTemporaryOf(const std::filesystem::path& target, const std::filesystem::path& candidate);

}  // namespace zond::fileio
