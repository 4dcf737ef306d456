// The master side of a pseudo-terminal pair: the emulator plays the instrument on it, and tests
// use it as the far end of a serial line.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zond::sim {

class PseudoTerminal {
  public:
    // Opens a master in raw mode (no echo, no line editing before the program sets its own
    // line settings); throws std::system_error.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Whether the other side has the slave open (a closed slave hangs the master up).
    bool peerPresent() const;
    // Writes everything, waiting while the line is full; false when the peer went away first.
    bool writeAll(std::string_view bytes);
    // What arrives within `wait` (returns early once something has arrived and the line is quiet).
    std::string readFor(std::chrono::milliseconds wait);

  private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace zond::sim
