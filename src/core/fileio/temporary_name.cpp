#include "fileio/temporary_name.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>

#include "text/path_text.h"

#ifdef _WIN32
#include <process.h>
#define ZOND_PROCESS_ID _getpid
#else
#include <unistd.h>
#define ZOND_PROCESS_ID ::getpid
#endif

namespace zond::fileio {

namespace {

// FNV-1a: stable across runs and systems, which is all a name needs.
std::uint32_t nameHash(const std::string& name) {
    std::uint32_t hash = 2166136261U;
    for (const unsigned char c : name) {
        hash = (hash ^ c) * 16777619U;
    }
    return hash;
}

}  // namespace

std::string temporaryPrefix(const std::filesystem::path& target) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", nameHash(text::pathText(target.filename())));
    return std::string(".zond-") + hex + "-";
}

std::filesystem::path temporaryPath(const std::filesystem::path& target) {
    // The counter keeps one process's temporaries apart; the random start keeps a new process
    // clear of what a killed one of the same ID left.
    static std::atomic<unsigned> counter{std::random_device{}() % 10000};
    auto path = target;
    path.replace_filename(temporaryPrefix(target) + std::to_string(ZOND_PROCESS_ID()) + "-" +
                          std::to_string(counter++ % 10000) + ".tmp");
    return path;
}

bool isTemporaryOf(const std::filesystem::path& target, const std::filesystem::path& candidate) {
    const std::string name = text::pathText(candidate.filename());
    return name.starts_with(temporaryPrefix(target)) && name.ends_with(".tmp");
}

}  // namespace zond::fileio
