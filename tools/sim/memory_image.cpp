#include "sim/memory_image.h"

#include "sim/wall_model.h"

#include "instrument/device_data.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

namespace zond::sim {

namespace {

void appendWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// Hundredths of a degree as the instrument stores them: two's complement below zero.
std::uint16_t temperatureRaw(double celsius) {
    const long hundredths = std::lround(celsius * 100.0);
    return static_cast<std::uint16_t>(hundredths & 0xFFFF);
}

std::uint16_t fluxRaw(double wattsPerSquareMetre, long versionNumber) {
    double scaled = wattsPerSquareMetre;
    if (versionNumber <= 70514) {
        scaled *= 100.0;  // hundredths
    } else if (versionNumber == 90818) {
        scaled *= 10.0;  // tenths
    }
    return static_cast<std::uint16_t>(std::clamp(std::lround(scaled), 0L, 65535L));
}

struct RecordValues {
    std::uint8_t flags = 0;
    double inside = 0;
    double outside = 0;
    std::array<double, 3> flux{};
};

void appendRecord(std::vector<std::uint8_t>& image, std::chrono::sys_seconds when,
                  const RecordValues& values, long versionNumber) {
    using namespace std::chrono;
    const sys_days day = floor<days>(when);
    const year_month_day date(day);
    const hh_mm_ss<seconds> time(when - day);
    if (static_cast<int>(date.year()) > 2255) {
        throw std::invalid_argument("records would run past the year 2255");
    }
    image.push_back(values.flags);
    appendWord(image, temperatureRaw(values.inside));
    appendWord(image, temperatureRaw(values.outside));
    image.push_back(static_cast<std::uint8_t>(time.seconds().count()));
    image.push_back(static_cast<std::uint8_t>(time.minutes().count()));
    image.push_back(static_cast<std::uint8_t>(time.hours().count()));
    image.push_back(static_cast<std::uint8_t>(static_cast<unsigned>(date.day())));
    image.push_back(static_cast<std::uint8_t>(static_cast<unsigned>(date.month())));
    image.push_back(static_cast<std::uint8_t>(static_cast<int>(date.year()) - 2000));
    for (const double flux : values.flux) {
        appendWord(image, fluxRaw(flux, versionNumber));
    }
}

// Hours since midnight of a record's time.
double hourOfDay(std::chrono::sys_seconds when) {
    using namespace std::chrono;
    return duration<double, std::ratio<3600>>(when - floor<days>(when)).count();
}

// Plausible mixed readings: fluxes roughly follow the temperature difference.
void appendMixedReadings(std::vector<std::uint8_t>& image, const GeneratorSettings& settings) {
    std::mt19937 random(settings.seed);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::uniform_real_distribution<double> weather(-12.0, 6.0);
    const double outsideMean = weather(random);
    const int channels = static_cast<int>(std::count_if(
        settings.sensors.begin(), settings.sensors.end(), [](std::uint8_t c) { return c != 0; }));
    for (std::size_t k = 0; k < settings.records; ++k) {
        const auto when = settings.start + settings.interval * static_cast<long>(k);
        const double dayPhase = 2.0 * std::numbers::pi * (std::floor(hourOfDay(when)) - 9) / 24.0;
        RecordValues values;
        values.inside = 20.5 + 1.0 * std::sin(dayPhase) + noise(random);
        values.outside = outsideMean + 4.0 * std::sin(dayPhase) + 2.0 * noise(random);
        const bool observing = (k / 48) % 3 != 0;  // long observation runs, short spot checks
        const int channel = channels > 1 ? static_cast<int>(k % channels) : 0;
        values.flags = static_cast<std::uint8_t>((observing ? 0x80 : 0) | channel);
        for (std::size_t c = 0; c < 3; ++c) {
            // A wall passes roughly 1.1 W/m² per degree of difference.
            values.flux[c] =
                settings.sensors[c] == 0
                    ? 0.0
                    : std::max(0.0, 1.1 * (values.inside - values.outside) + 2.0 * noise(random));
        }
        appendRecord(image, when, values, settings.versionNumber);
    }
}

// A wall of resistance R logged by the instrument: the outside follows the day, a slower weather
// drift and any steady warming, the inside stays near 20 °C. Without a heat capacity the flux at
// the inner surface follows Δt/R through a first-order lag of a few hours; with one it comes from
// the layered wall model, which stores heat as the outside warms.
void appendWallReadings(std::vector<std::uint8_t>& image, const GeneratorSettings& settings) {
    constexpr double kLagHours = 5.0;
    const double pi2 = 2.0 * std::numbers::pi;
    std::mt19937 random(settings.seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> phase(0.0, pi2);
    std::uniform_real_distribution<double> climate(-10.0, 0.0);
    const double outsideMean = climate(random);
    const double weather1 = phase(random);
    const double weather2 = phase(random);
    const double resistance = *settings.wallResistance;
    const double stepHours = static_cast<double>(settings.interval.count()) / 3600.0;
    const double follow = 1.0 - std::exp(-stepHours / kLagHours);

    double flux = 0;
    std::optional<LayeredWall> wall;
    for (std::size_t k = 0; k < settings.records; ++k) {
        const auto when = settings.start + settings.interval * static_cast<long>(k);
        const double hours = stepHours * static_cast<double>(k);
        const double day = pi2 * (hourOfDay(when) - 9.0) / 24.0;  // warmest at 15:00
        RecordValues values;
        values.flags = 0x80;  // logging mode, channel 0
        values.inside = 20.0 + 0.3 * std::sin(day) + 0.05 * noise(random);
        values.outside = outsideMean + 4.0 * std::sin(day) +
                         1.5 * std::sin(pi2 * hours / (24.0 * 4.7) + weather1) +
                         1.0 * std::sin(pi2 * hours / (24.0 * 2.3) + weather2) +
                         settings.warming * hours / 24.0 + 0.1 * noise(random);
        const double steady = (values.inside - values.outside) / resistance;
        if (settings.wallCapacity > 0) {
            if (!wall) {
                wall.emplace(resistance, settings.wallCapacity, values.inside, values.outside);
            } else {
                wall->advance(values.inside, values.outside,
                              static_cast<double>(settings.interval.count()));
            }
            flux = wall->innerFlux();
        } else {
            flux = k == 0 ? steady : flux + follow * (steady - flux);
        }
        for (std::size_t c = 0; c < 3; ++c) {
            values.flux[c] = settings.sensors[c] == 0 ? 0.0 : flux + 0.05 * noise(random);
        }
        appendRecord(image, when, values, settings.versionNumber);
    }
}

}  // namespace

std::vector<std::uint8_t> generateImage(const GeneratorSettings& settings) {
    std::vector<std::uint8_t> image;
    image.reserve(2 + 17 * settings.records);
    appendWord(image, static_cast<std::uint16_t>(settings.records));
    if (settings.wallResistance) {
        appendWallReadings(image, settings);
    } else {
        appendMixedReadings(image, settings);
    }
    return image;
}

std::size_t recordsForDays(unsigned days, std::chrono::seconds interval) {
    if (interval.count() <= 0) {
        throw std::invalid_argument("--interval must be above zero for --days");
    }
    const auto records = static_cast<std::size_t>(days * 86400LL / interval.count());
    if (records > instrument::DeviceImage::kMaxRecords) {
        throw std::invalid_argument(std::to_string(days) + " days at this interval take " +
                                    std::to_string(records) + " records; the memory holds " +
                                    std::to_string(instrument::DeviceImage::kMaxRecords));
    }
    return records;
}

std::chrono::sys_seconds parseStartTime(const std::string& text) {
    using namespace std::chrono;
    unsigned d = 0, mo = 0, h = 0, mi = 0, s = 0;
    int y = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2u.%2u.%4d %2u:%2u:%2u%c", &d, &mo, &y, &h, &mi, &s, &tail) !=
            6 ||
        y < 2000 || y > 2255 || h > 23 || mi > 59 || s > 59) {
        throw std::invalid_argument("start time must read dd.mm.yyyy hh:mm:ss (2000 ... 2255)");
    }
    const year_month_day date{year{y}, month{mo}, day{d}};
    if (!date.ok()) {
        throw std::invalid_argument("no such date: " + text);
    }
    return sys_days(date) + hours(h) + minutes(mi) + seconds(s);
}

}  // namespace zond::sim
