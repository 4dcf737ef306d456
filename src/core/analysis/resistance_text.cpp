#include "analysis/resistance_text.h"

#include <cmath>

#include "text/number_text.h"

namespace zond::analysis {

namespace {

constexpr double kLimit = 0.05;

std::string percentText(double fraction, char separator) {
    return text::fixedNumberText(fraction * 100.0, 2, separator) + " %";
}

// "отклонение 0,17 % не более 5 %" or "… больше 5 %".
std::string deviationText(const std::optional<double>& deviation, bool pass, char separator) {
    return "отклонение " + percentText(*deviation, separator) + (pass ? " не более" : " больше") +
           " 5 %";
}

std::string hoursText(double seconds, char separator) {
    return text::fixedNumberText(seconds / 3600.0, 1, separator) + " ч";
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
        case Undefined::NoFlux:
            return "нет теплового потока";
        case Undefined::FluxAgainstDifference:
            return "тепловой поток направлен против разности температур";
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
    return c.pass ? days + " — не менее 3 сут (72 ч)" : days + " — меньше 3 сут (72 ч)";
}

std::string explainLastDay(const LastDayCriterion& c, int days, char decimalSeparator) {
    if (days < 2) {
        return "Не оценивается: нужно не менее 2 сут";
    }
    // R of the window without its last day: the value 24 h before the end.
    const std::string r = "R на 24 ч раньше " + resistanceText(c.withoutLastDay, decimalSeparator);
    if (!c.deviation) {
        return r + ": отклонение от него не определено";
    }
    return r + ", " + deviationText(c.deviation, c.pass, decimalSeparator) + " от него";
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
    return r + ", " + deviationText(c.deviation, c.pass, decimalSeparator) + " от R последних " + m;
}

std::string explainDifference(const DifferenceCondition& c, char decimalSeparator) {
    const std::string figure = "в среднем " +
                               text::fixedNumberText(c.meanDifference, 1, decimalSeparator) +
                               " K по модулю";
    const std::string minimum = text::generalNumberText(c.minimum, decimalSeparator) + " K";
    return c.pass ? figure + " — не меньше " + minimum : figure + " — меньше " + minimum;
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

std::array<CriterionLine, 4> criterionLines(const Criteria& criteria) {
    return {
        {{criteria.duration.pass, "C1 продолжительность", criteria.duration.explanation},
         {criteria.lastDay.pass, "C2 последние сутки", criteria.lastDay.explanation},
         {criteria.thirds.pass, "C3 трети", criteria.thirds.explanation},
         {criteria.difference.pass, "Δt разность температур", criteria.difference.explanation}}};
}

std::string uncertaintyText(const ChannelResult& channel, char decimalSeparator) {
    if (!channel.uncertainty) {
        return {};
    }
    const Uncertainty& u = *channel.uncertainty;
    const auto percent = [&](double fraction) {
        return text::fixedNumberText(fraction * 100.0, 1, decimalSeparator) + " %";
    };
    return "U = " + text::fixedNumberText(u.expanded, 3, decimalSeparator) + " м²·К/Вт (" +
           percent(u.relative) + ", k = 2); стандартные составляющие: калибровка датчика потока " +
           percent(u.flux) + ", датчики температуры " + percent(u.temperature) +
           ", разброс по суткам " + percent(u.scatter);
}

std::string dynamicText(const ChannelResult& channel, char decimalSeparator) {
    const DynamicOutcome& outcome = channel.dynamic;
    if (!outcome.result) {
        return outcome.reason.empty() ? std::string{} : "не определено: " + outcome.reason;
    }
    const DynamicResult& d = *outcome.result;
    const auto fixed = [&](double value) {
        return text::fixedNumberText(value, 3, decimalSeparator);
    };
    std::string out = "R = " + fixed(d.r) + " м²·К/Вт, 95 % интервал " + fixed(d.low) + " … " +
                      (d.high ? fixed(*d.high) : std::string("не ограничен"));
    if (!d.timeConstants.empty()) {
        out += ", τ = " + hoursText(d.timeConstants[0], decimalSeparator);
        for (std::size_t n = 1; n < d.timeConstants.size(); ++n) {
            out += " и " + hoursText(d.timeConstants[n], decimalSeparator);
        }
        if (d.tauOnEdge) {
            out += " (на границе поиска)";
        }
    }
    if (d.stride > 1) {
        out += ", по каждому " + std::to_string(d.stride) + "-му показанию";
    }
    if (d.filled > 0) {
        out += ", восполнено показаний в коротких пропусках: " + std::to_string(d.filled);
    }
    out += d.accepted ? "; принят"
                      : "; не принят (интервал или изменение за последние сутки "
                        "больше 5 %)";
    return out;
}

std::string storageDriftText(const ChannelResult& channel, char decimalSeparator) {
    const StorageDrift& s = channel.storage;
    if (!s.drift) {
        return {};
    }
    std::string out = "Результат может быть смещён из-за теплоаккумуляции стены:";
    if (s.trendDays > 0) {
        out += " R по суткам менялось в одну сторону последние " + std::to_string(s.trendDays) +
               " сут, всего на " + percentText(s.trend, decimalSeparator) + " от R₀";
    }
    if (s.dynamicDifference && *s.dynamicDifference > kLimit) {
        out += std::string(s.trendDays > 0 ? ";" : "") +
               " R динамического метода отличается от R₀ на " +
               percentText(*s.dynamicDifference, decimalSeparator);
    }
    return out;
}

std::string_view reversedFluxNote(const ChannelResult& channel) {
    if (!channel.r0.defined() || !channel.r0.reversed) {
        return {};
    }
    return "Тепловой поток был направлен наружу, из помещения (обе суммы отрицательны): R₀ — их "
           "отношение";
}

std::string meanText(const AnalysisResult& result, char decimalSeparator) {
    if (!result.mean) {
        return {};
    }
    const ChannelMean& m = *result.mean;
    const auto fixed = [&](double value) {
        return text::fixedNumberText(value, 3, decimalSeparator);
    };
    return "Среднее по каналам (" + std::to_string(m.channels) + "): R₀ = " + fixed(m.r0) +
           " м²·К/Вт, от " + fixed(m.min) + " до " + fixed(m.max) + ", U = " + fixed(m.expanded) +
           " м²·К/Вт (k = 2)";
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
        return result.longestCut ? "не найден: вариантов слишком много, поиск остановлен" : "нет";
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
                   " K меньше " + text::generalNumberText(result.minDifference, decimalSeparator) +
                   " K: измерение не соответствует условию, погрешность велика";
        case WarningKind::LongInterval:
            return "Интервал между показаниями " +
                   durationText(static_cast<std::int64_t>(result.interval.value_or(0))) +
                   " больше 30 мин";
        case WarningKind::Gaps:
            return "Пропуски в показаниях за расчётный период (больше 1,5 интервала): " +
                   std::to_string(result.gapCount) + ", наибольший " +
                   durationText(result.largestGap->length) + " после " +
                   dateTimeText(result.largestGap->after);
        case WarningKind::GapsBefore:
            return "Пропуски в показаниях есть только до расчётного периода: " +
                   std::to_string(result.gapsBefore) + "; на результат они не влияют";
        case WarningKind::SparseDays: {
            std::string days;
            for (const int day : result.sparseDays) {
                days += (days.empty() ? "" : ", ") + std::to_string(day);
            }
            return "Сутки, в которых показаний меньше 90 % ожидаемого числа: " + days;
        }
        case WarningKind::FluxLeftOut: {
            std::string counts;
            for (const auto& channel : result.channels) {
                if (channel.fluxLeftOut > 0) {
                    counts += (counts.empty() ? "" : ", ") + channelName(channel.channel) + " — " +
                              std::to_string(channel.fluxLeftOut);
                }
            }
            return "Пропущено нечитаемых или невозможных значений теплового потока: " + counts;
        }
        case WarningKind::OutOfRange:
            return "Из них с температурой вне диапазона прибора (от −40 до 320 °C) или "
                   "нечисловой: " +
                   std::to_string(result.rowsOutOfRange);
        case WarningKind::ReversedFlux:
            return "Тепловой поток был направлен наружу, из помещения: R₀ — отношение "
                   "отрицательных сумм";
        case WarningKind::StorageDrift:
            return "Результат может быть смещён из-за теплоаккумуляции стены: см. пояснения по "
                   "каналам";
        case WarningKind::TooSparse:
            return "Слишком редкие показания для метода: " + std::to_string(result.rowsKept) +
                   " показаний, нужно не меньше 4 в сутки на всём промежутке; полные сутки не "
                   "выделены";
    }
    return {};
}

}  // namespace zond::analysis
