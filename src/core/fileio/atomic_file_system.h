// What AtomicFile's portable half needs from the system; implemented once for POSIX and once for
// Windows beside AtomicFile itself.
#pragma once

#include <filesystem>

namespace zond::fileio::system {

// Whether the file name of `target` is within the longest name its folder takes.
bool nameFits(const std::filesystem::path& target);
// Whether another program holds `target` (an existing file) locked or open for writing.
bool heldByAnother(const std::filesystem::path& target);
// Removes `file` unless a running program holds it.
void removeIfAbandoned(const std::filesystem::path& file);

}  // namespace zond::fileio::system
