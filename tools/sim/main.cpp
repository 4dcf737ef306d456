// zond-sim: plays a ZOND-8T.05 on a pseudo-terminal. The first line on stdout is the device to
// open; the emulator answers 'V' and 'N' until it is stopped.
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "instrument/device_data.h"
#include "instrument/wire_format.h"
#include "sim/instrument_replies.h"
#include "sim/memory_image.h"
#include "sim/pseudo_terminal.h"
#include "sim/wall_model.h"

namespace {

using namespace zond::sim;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage = R"(usage: zond-sim [OPTIONS]

Opens a pseudo-terminal, prints its device path and answers the instrument's transfer protocol
on it until stopped.

  --records N          generate N records (0 ... 3854, default 100)
  --start "dd.mm.yyyy hh:mm:ss"   time of the first record (default "01.10.2009 08:00:00")
  --interval SECONDS   time between records (default 600)
  --seed S             seed of the generated readings (default 1)
  --wall R             logging-mode readings of a wall of thermal resistance R m²·K/W: a daily
                       cycle and weather outside, about 20 °C inside, the flux lagging Δt/R
  --days N             with --wall: N days of readings at --interval (default 5); they must
                       fit the memory's 3854 records
  --mass C             with --wall: the wall's heat capacity C kJ/(m²·K) (default 0: a light
                       wall); the flux then comes from a model of 8 layers between the surface
                       resistances 1/8.7 and 1/23, so the wall stores heat as a real one does
  --warming K          with --wall: the outside warms steadily by K °C a day (default 0;
                       negative: cooling)
  --image FILE         serve the bytes of FILE as the memory image instead
  --write-image FILE   also write the image served to FILE
  --version A.B.C      version bytes V1.V2.V3 of the header (default 9.8.18)
  --sensors a,b,c      sensor codes of the three channels (default 1,0,0)
  --type T             instrument type in the header (default 5)
  --generation G       generation in the header (default 5)
  --baud B             pace the output at B bits/s, 10 bits a character (default: unpaced)
  --fault KIND         silent | zap | bad-header | bad-data | no-end | noise | oversize
  --link PATH          also make PATH a symbolic link to the device
  --once               exit after one complete data block
  --log FILE           write every byte exchanged to FILE
)";

struct Options {
    GeneratorSettings generator;
    Identity identity;
    Fault fault = Fault::None;
    std::optional<std::string> imageFile;
    std::optional<std::string> writeImage;
    std::optional<std::string> link;
    std::optional<std::string> logFile;
    unsigned baud = 0;
    bool once = false;
    std::optional<unsigned> days;
    std::optional<double> mass;
    std::optional<double> warming;
};

double positiveValue(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !(value > 0) || value > 1000) {
        throw std::invalid_argument(what + " must be a number above 0 and at most 1000");
    }
    return value;
}

double numberIn(const std::string& text, double lowest, double highest, const std::string& what) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || !(value >= lowest && value <= highest)) {
        throw std::invalid_argument(what + " must be a number from " + std::to_string(lowest) +
                                    " to " + std::to_string(highest));
    }
    return value;
}

// --wall with --days, --mass and --warming: the record count follows from the days.
void settleWall(Options& options) {
    const auto& wall = options.generator.wallResistance;
    for (const auto& [given, name] : {std::pair{options.days.has_value(), "--days"},
                                      std::pair{options.mass.has_value(), "--mass"},
                                      std::pair{options.warming.has_value(), "--warming"}}) {
        if (given && !wall) {
            throw std::invalid_argument(std::string(name) + " needs --wall");
        }
    }
    if (options.mass && *options.mass > 0) {
        if (*wall <= LayeredWall::kSurfaceInside + LayeredWall::kSurfaceOutside + 0.01) {
            throw std::invalid_argument(
                "--mass needs --wall above the surface resistances, 0.17 m²·K/W");
        }
        options.generator.wallCapacity = *options.mass * 1000.0;
    }
    options.generator.warming = options.warming.value_or(0);
    if (options.generator.wallResistance) {
        options.generator.records =
            recordsForDays(options.days.value_or(5), options.generator.interval);
    }
}

unsigned long parseNumber(const std::string& text, unsigned long maximum, const std::string& what) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || text[0] == '-' || value > maximum) {
        throw std::invalid_argument(what + " must be a number from 0 to " +
                                    std::to_string(maximum));
    }
    return value;
}

std::array<std::uint8_t, 3> parseTriple(const std::string& text, char separator,
                                        const std::string& what) {
    std::array<std::uint8_t, 3> values{};
    std::stringstream stream(text);
    std::string part;
    std::size_t i = 0;
    while (std::getline(stream, part, separator)) {
        if (i == values.size()) {
            throw std::invalid_argument(what + " takes three numbers");
        }
        values[i++] = static_cast<std::uint8_t>(parseNumber(part, 255, what));
    }
    if (i != values.size()) {
        throw std::invalid_argument(what + " takes three numbers");
    }
    return values;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    options.generator.start = parseStartTime("01.10.2009 08:00:00");
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (name == "--once") {
            options.once = true;
            continue;
        }
        if (i + 1 >= argc) {
            throw std::invalid_argument("unknown option or missing value: " + name);
        }
        const std::string value = argv[++i];
        if (name == "--records") {
            options.generator.records =
                parseNumber(value, zond::instrument::DeviceImage::kMaxRecords, name);
        } else if (name == "--start") {
            options.generator.start = parseStartTime(value);
        } else if (name == "--interval") {
            options.generator.interval =
                std::chrono::seconds(parseNumber(value, 86400 * 366, name));
        } else if (name == "--seed") {
            options.generator.seed =
                static_cast<std::uint32_t>(parseNumber(value, 0xFFFFFFFF, name));
        } else if (name == "--wall") {
            options.generator.wallResistance = positiveValue(value, name);
        } else if (name == "--mass") {
            options.mass = numberIn(value, 0, 10000, name);
        } else if (name == "--warming") {
            options.warming = numberIn(value, -20, 20, name);
        } else if (name == "--days") {
            options.days = static_cast<unsigned>(parseNumber(value, 366, name));
        } else if (name == "--image") {
            options.imageFile = value;
        } else if (name == "--write-image") {
            options.writeImage = value;
        } else if (name == "--version") {
            options.identity.version = parseTriple(value, '.', name);
        } else if (name == "--sensors") {
            options.identity.sensors = parseTriple(value, ',', name);
        } else if (name == "--type") {
            options.identity.type = static_cast<std::uint8_t>(parseNumber(value, 255, name));
        } else if (name == "--generation") {
            options.identity.generation = static_cast<std::uint8_t>(parseNumber(value, 207, name));
        } else if (name == "--baud") {
            options.baud = static_cast<unsigned>(parseNumber(value, 4000000, name));
        } else if (name == "--fault") {
            options.fault = parseFault(value);
        } else if (name == "--link") {
            options.link = value;
        } else if (name == "--log") {
            options.logFile = value;
        } else {
            throw std::invalid_argument("unknown option " + name);
        }
    }
    const auto& v = options.identity.version;
    options.generator.versionNumber = v[0] * 10000L + v[1] * 100L + v[2];
    options.generator.sensors = options.identity.sensors;
    settleWall(options);
    return options;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every byte exchanged, as lines a person can read: time, direction, printable text.
class ExchangeLog {
  public:
    explicit ExchangeLog(const std::optional<std::string>& path) : start_(Clock::now()) {
        if (path) {
            out_.open(*path);
            if (!out_) {
                throw std::runtime_error("cannot write " + *path);
            }
        }
    }

    void note(const char* direction, std::string_view bytes) {
        if (!out_.is_open()) {
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        constexpr std::size_t kLine = 64;
        for (std::size_t at = 0; at < bytes.size(); at += kLine) {
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%10.3f %s ", seconds, direction);
            out_ << stamp;
            for (const char c : bytes.substr(at, kLine)) {
                const auto u = static_cast<unsigned char>(c);
                if (u >= 0x20 && u < 0x7F && c != '\\') {
                    out_ << c;
                } else {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
                    out_ << escaped;
                }
            }
            out_ << '\n';
        }
        out_.flush();
    }

  private:
    std::ofstream out_;
    Clock::time_point start_;
};

// Output waiting for the line, released at the line's pace when one is set.
class Sender {
  public:
    Sender(PseudoTerminal& line, ExchangeLog& log, unsigned baud)
        : line_(line), log_(log), baud_(baud) {}

    void queue(std::string reply) {
        if (pending_.size() == sent_) {
            pending_.clear();
            sent_ = 0;
            paceStart_ = Clock::now();
        }
        pending_ += reply;
    }
    void drop() {
        pending_.clear();
        sent_ = 0;
    }
    bool busy() const { return sent_ < pending_.size(); }

    // Writes what is due; returns how long to wait before more is due (zero: as fast as the
    // line takes).
    std::chrono::milliseconds pump() {
        std::size_t due = pending_.size();
        if (baud_ != 0) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - paceStart_).count();
            due = std::min(pending_.size(), static_cast<std::size_t>(elapsed * baud_ / 10.0));
        }
        if (due > sent_) {
            const ssize_t n = write(line_.masterFd(), pending_.data() + sent_, due - sent_);
            if (n > 0) {
                log_.note("sim>", std::string_view(pending_).substr(sent_, n));
                sent_ += static_cast<std::size_t>(n);
            }
        }
        if (!busy() || baud_ == 0) {
            return std::chrono::milliseconds(0);
        }
        return std::chrono::milliseconds(std::max(1u, 10000u / baud_));
    }

  private:
    PseudoTerminal& line_;
    ExchangeLog& log_;
    unsigned baud_;
    std::string pending_;
    std::size_t sent_ = 0;
    Clock::time_point paceStart_;
};

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

int run(const Options& options) {
    const std::vector<std::uint8_t> image =
        options.imageFile ? readFile(*options.imageFile) : generateImage(options.generator);
    if (options.writeImage) {
        std::ofstream out(*options.writeImage, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + *options.writeImage);
        }
    }

    PseudoTerminal line;
    if (options.link) {
        std::filesystem::remove(*options.link);
        std::filesystem::create_symlink(line.slavePath(), *options.link);
    }
    std::cout << line.slavePath() << std::endl;
    ExchangeLog log(options.logFile);
    Sender sender(line, log, options.baud);
    bool zapPending = options.fault == Fault::Zap;
    bool blockQueued = false;
    bool peerSeen = false;

    while (stopRequested == 0) {
        const auto wait = sender.pump();
        pollfd p{line.masterFd(), static_cast<short>(POLLIN | (sender.busy() ? POLLOUT : 0)), 0};
        const int timeout = sender.busy() ? static_cast<int>(wait.count()) : 100;
        if (poll(&p, 1, timeout) < 0) {
            continue;  // a signal
        }
        if ((p.revents & POLLHUP) != 0) {
            // Nobody has the device open: what was meant for the last caller is dropped.
            if (peerSeen) {
                log.note("---", "line closed");
                peerSeen = false;
            }
            // With --once the emulator leaves only after the caller has closed the line, so that
            // nothing it has not read yet is lost with the device.
            if (options.once && blockQueued && !sender.busy()) {
                break;
            }
            sender.drop();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        peerSeen = true;
        if ((p.revents & POLLIN) == 0) {
            continue;
        }
        char received[256];
        const ssize_t n = read(line.masterFd(), received, sizeof received);
        if (n <= 0) {
            continue;
        }
        log.note("host>", std::string_view(received, static_cast<std::size_t>(n)));
        if (options.fault == Fault::Silent) {
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (received[i] == zond::instrument::wire::kIdentify) {
                sender.drop();
                sender.queue(headerReply(options.identity, options.fault));
            } else if (received[i] == zond::instrument::wire::kRequestData) {
                sender.queue(dataReply(image, options.fault, zapPending));
                blockQueued = !zapPending;
                zapPending = false;
            }
        }
    }
    if (options.link) {
        std::filesystem::remove(*options.link);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    try {
        return run(parseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "zond-sim: " << error.what() << '\n';
        return 1;
    }
}
