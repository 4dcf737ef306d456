#include "memory_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <stdexcept>

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

}  // namespace

std::vector<std::uint8_t> generateImage(const GeneratorSettings& settings) {
    using namespace std::chrono;
    std::mt19937 random(settings.seed);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::uniform_real_distribution<double> weather(-12.0, 6.0);
    const double outsideMean = weather(random);
    const int channels = static_cast<int>(std::count_if(
        settings.sensors.begin(), settings.sensors.end(), [](std::uint8_t c) { return c != 0; }));

    std::vector<std::uint8_t> image;
    image.reserve(2 + 17 * settings.records);
    appendWord(image, static_cast<std::uint16_t>(settings.records));
    for (std::size_t k = 0; k < settings.records; ++k) {
        const sys_seconds when = settings.start + settings.interval * static_cast<long>(k);
        const sys_days day = floor<days>(when);
        const year_month_day date(day);
        const hh_mm_ss<seconds> time(when - day);
        if (static_cast<int>(date.year()) > 2255) {
            throw std::invalid_argument("records would run past the year 2255");
        }
        const double dayPhase = 2.0 * std::numbers::pi * (time.hours().count() - 9) / 24.0;

        const double inside = 20.5 + 1.0 * std::sin(dayPhase) + noise(random);
        const double outside = outsideMean + 4.0 * std::sin(dayPhase) + 2.0 * noise(random);
        const bool observing = (k / 48) % 3 != 0;  // long observation runs, short spot checks
        const int channel = channels > 1 ? static_cast<int>(k % channels) : 0;

        image.push_back(static_cast<std::uint8_t>((observing ? 0x80 : 0) | channel));
        appendWord(image, temperatureRaw(inside));
        appendWord(image, temperatureRaw(outside));
        image.push_back(static_cast<std::uint8_t>(time.seconds().count()));
        image.push_back(static_cast<std::uint8_t>(time.minutes().count()));
        image.push_back(static_cast<std::uint8_t>(time.hours().count()));
        image.push_back(static_cast<std::uint8_t>(static_cast<unsigned>(date.day())));
        image.push_back(static_cast<std::uint8_t>(static_cast<unsigned>(date.month())));
        image.push_back(static_cast<std::uint8_t>(static_cast<int>(date.year()) - 2000));
        for (const std::uint8_t sensor : settings.sensors) {
            // A wall passes roughly 1.1 W/m² per degree of difference.
            const double flux =
                sensor == 0 ? 0.0 : std::max(0.0, 1.1 * (inside - outside) + 2.0 * noise(random));
            appendWord(image, fluxRaw(flux, settings.versionNumber));
        }
    }
    return image;
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
