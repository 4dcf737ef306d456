// The buffering AtomicFile does on every system: small writes gather in memory and reach the file
// in large pieces.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zond::fileio {

inline constexpr std::size_t kWriteBufferSize = 256 * 1024;

// Adds `bytes` to `buffer`; flush() empties a buffer that would overflow, and a piece at least
// as large as the buffer goes out at once.
template <typename Flush>
void bufferedWrite(std::string& buffer, std::string_view bytes, Flush&& flush) {
    if (buffer.size() + bytes.size() > kWriteBufferSize) {
        flush();
    }
    if (bytes.size() >= kWriteBufferSize) {
        buffer.assign(bytes);
        flush();
    } else {
        buffer.append(bytes);
    }
}

}  // namespace zond::fileio
