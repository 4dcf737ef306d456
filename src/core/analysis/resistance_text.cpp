#include "analysis/resistance_text.h"

#include <cmath>

#include "text/number_text.h"

namespace zond::analysis {

namespace {

std::string percentText(double fraction, char separator) {
    return text::fixedNumberText(fraction * 100.0, 2, separator) + " %";
}

// "отклонение 0,17 % не более 5 %" or "… больше 5 %".
std::string deviationText(const std::optional<double>& deviation, bool pass, char separator) {
    return "отклонение " + percentText(*deviation, separator) + (pass ? " не более" : " больше") +
           " 5 %";
}

}  // namespace

std::string channelName(int channel) {
    return "q" + std::to_string(channel + 1);
}

std::string_view undefinedText(Undefined reason) {
    switch (reason) {
        case Undefined::None:
            return "";
        case Undefined::NoReadings:
            return "нет показаний";
        case Undefined::HeatIntoRoom:
            return "тепловой поток направлен в помещение";
        case Undefined::NoTemperatureDifference:
            return "нет разности температур";
    }
    return "";
}

std::string_view storageHeatNote() {
    return "Критерий изменения теплосодержания стены по этим показаниям оценить нельзя: для "
           "него нужны теплоёмкость слоёв и температуры внутри стены.";
}

std::string resistanceText(const Resistance& r, char decimalSeparator) {
    if (!r.defined()) {
        return "не определено (" + std::string(undefinedText(r.reason)) + ")";
    }
    return text::fixedNumberText(r.value, 3, decimalSeparator);
}

std::string durationText(std::int64_t seconds) {
    const std::int64_t minutes = (seconds + 30) / 60;
    const std::int64_t days = minutes / (24 * 60);
    const std::int64_t hours = minutes / 60 % 24;
    std::string out;
    if (days > 0) {
        out = std::to_string(days) + " сут";
    }
    if (hours > 0) {
        out += (out.empty() ? "" : " ") + std::to_string(hours) + " ч";
    }
    if (minutes % 60 > 0 || out.empty()) {
        out += (out.empty() ? "" : " ") + std::to_string(minutes % 60) + " мин";
    }
    return out;
}

std::string explainDuration(const DurationCriterion& c) {
    const std::string days = std::to_string(c.days) + " сут";
    return c.pass ? "Продолжительность " + days + " — не менее 3 сут (72 ч)"
                  : "Продолжительность " + days + " — меньше 3 сут (72 ч)";
}

std::string explainLastDay(const LastDayCriterion& c, int days, char decimalSeparator) {
    if (days < 2) {
        return "Не оценивается: нужно не менее 2 сут";
    }
    const std::string r =
        "R без последних суток " + resistanceText(c.withoutLastDay, decimalSeparator);
    if (!c.deviation) {
        return r + ": отклонение от R₀ не определено";
    }
    return r + ", " + deviationText(c.deviation, c.pass, decimalSeparator) + " от R₀";
}

std::string explainThirds(const ThirdsCriterion& c, int days, char decimalSeparator) {
    if (c.days < 1 || days < 2) {
        return "Не оценивается: нужно не менее 2 сут";
    }
    const std::string m = std::to_string(c.days) + " сут";
    const std::string r = "R первых " + m + " " + resistanceText(c.first, decimalSeparator) +
                          ", последних " + m + " " + resistanceText(c.last, decimalSeparator);
    if (!c.deviation) {
        return r + ": расхождение не определено";
    }
    return r + ", " + deviationText(c.deviation, c.pass, decimalSeparator) + " от R₀";
}

std::string channelFiguresText(const ChannelResult& channel, char decimalSeparator) {
    std::string out = "R₀ = " + resistanceText(channel.r0, decimalSeparator);
    if (channel.r0.defined()) {
        out += " м²·К/Вт, Rк = " + text::fixedNumberText(*channel.rk, 3, decimalSeparator) +
               " м²·К/Вт, U = " + text::fixedNumberText(*channel.u, 3, decimalSeparator) +
               " Вт/(м²·К)";
    }
    return out;
}

std::string channelMeansText(const ChannelResult& channel, char decimalSeparator) {
    const auto fixed = [&](double value, int decimals) {
        return text::fixedNumberText(value, decimals, decimalSeparator);
    };
    return "tв = " + fixed(channel.meanTIn, 1) + " °C, tн = " + fixed(channel.meanTExt, 1) +
           " °C, Δt = " + fixed(channel.meanDifference, 1) +
           " K, q = " + fixed(channel.meanFlux, 2) + " Вт/м²";
}

std::array<CriterionLine, 3> criterionLines(const Criteria& criteria) {
    return {{{criteria.duration.pass, "C1 продолжительность", criteria.duration.explanation},
             {criteria.lastDay.pass, "C2 последние сутки", criteria.lastDay.explanation},
             {criteria.thirds.pass, "C3 трети", criteria.thirds.explanation}}};
}

std::string_view passMark(bool pass) {
    return pass ? "✓" : "✗";
}

std::string_view verdictText(bool conforms) {
    return conforms ? "Измерение соответствует критериям" : "Измерение не соответствует критериям";
}

std::string intervalText(const AnalysisResult& result) {
    return result.interval ? durationText(std::llround(*result.interval)) : "не определён";
}

std::string windowText(const AnalysisResult& result) {
    if (!result.windowFrom) {
        return {};
    }
    return dateTimeText(*result.windowFrom) + " — " + dateTimeText(*result.windowTo);
}

std::string longestPeriodText(const AnalysisResult& result, char decimalSeparator) {
    if (!result.longest) {
        return "нет";
    }
    const auto& period = *result.longest;
    std::string out = dateTimeText(period.from) + " — " + dateTimeText(period.to) + ", " +
                      std::to_string(period.days) + " сут, строк " + std::to_string(period.rows);
    for (std::size_t k = 0; k < period.r0.size(); ++k) {
        out += ", " + channelName(result.channels[k].channel) +
               ": R₀ = " + resistanceText(period.r0[k], decimalSeparator);
    }
    return out;
}

std::string warningText(WarningKind kind, const AnalysisResult& result, char decimalSeparator) {
    switch (kind) {
        case WarningKind::RowsLeftOut:
            return "Пропущено строк с нечитаемыми датой, временем или температурой: " +
                   std::to_string(result.rowsLeftOut);
        case WarningKind::NoInterval:
            return "Интервал между показаниями не определён: нужны показания в разные моменты "
                   "времени";
        case WarningKind::NoWholeDay:
            return "Показаний меньше чем на одни полные сутки: результат недействителен";
        case WarningKind::SmallDifference:
            return "Средняя разность температур " +
                   text::fixedNumberText(result.meanDifference, 1, decimalSeparator) +
                   " K меньше 10 K: погрешность велика";
        case WarningKind::LongInterval:
            return "Интервал между показаниями " +
                   durationText(static_cast<std::int64_t>(result.interval.value_or(0))) +
                   " больше 30 мин";
        case WarningKind::Gaps:
            return "Пропуски в показаниях (больше 1,5 интервала): " +
                   std::to_string(result.gapCount) + ", наибольший " +
                   durationText(result.largestGap->length) + " после " +
                   dateTimeText(result.largestGap->after);
    }
    return {};
}

}  // namespace zond::analysis
