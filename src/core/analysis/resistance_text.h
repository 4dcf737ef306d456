// The Russian texts of the resistance analysis: reasons, criteria explanations, warnings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/wall_resistance.h"

namespace zond::analysis {

// "q1" … "q3"
std::string channelName(int channel);

// Why an R has no value, e.g. "тепловой поток направлен в помещение".
std::string_view undefinedText(Undefined reason);

// The standard's storage-heat criterion needs what the readings do not hold.
std::string_view storageHeatNote();

// An R with three decimals, or "не определено (reason)".
std::string resistanceText(const Resistance& r, char decimalSeparator);

// "2 ч 30 мин", "45 мин", "1 сут 3 ч".
std::string durationText(std::int64_t seconds);

// One-line explanations of the criteria; the criterion's figures must be filled in.
std::string explainDuration(const DurationCriterion& c);
std::string explainLastDay(const LastDayCriterion& c, int days, char decimalSeparator);
std::string explainThirds(const ThirdsCriterion& c, int days, char decimalSeparator);

// "R₀ = 2,462 м²·К/Вт, Rк = 2,303 м²·К/Вт, U = 0,406 Вт/(м²·К)", or R₀ with why it is undefined.
std::string channelFiguresText(const ChannelResult& channel, char decimalSeparator);
// "tв = 20,0 °C, tн = -10,0 °C, Δt = 30,0 K, q = 12,19 Вт/м²", the means over the window.
std::string channelMeansText(const ChannelResult& channel, char decimalSeparator);

std::string explainDifference(const DifferenceCondition& c, char decimalSeparator);

// One criterion as the summary, the window and the protocol list it: C1–C3 and the
// temperature-difference condition.
struct CriterionLine {
    bool pass = false;
    std::string_view title;  // "C1 продолжительность"
    std::string_view explanation;
};
std::array<CriterionLine, 4> criterionLines(const Criteria& criteria);

// "U = 0,246 м²·К/Вт (10,0 %, k = 2): калибровка датчика потока 5,0 %, …", empty without R0.
std::string uncertaintyText(const ChannelResult& channel, char decimalSeparator);
// "R = 1,002 м²·К/Вт (0,990 … 1,015), τ = 26,9 ч и 6,6 ч, принят", or why there is none;
// empty when the dynamic method was not asked for.
std::string dynamicText(const ChannelResult& channel, char decimalSeparator);
// The warning shown beside the verdict when stored heat may bias R0, empty otherwise.
std::string storageDriftText(const ChannelResult& channel, char decimalSeparator);
// "Тепловой поток направлен наружу (из помещения): …" when R0 came from negative sums, else empty.
std::string_view reversedFluxNote(const ChannelResult& channel);
// "Среднее по 2 каналам: R₀ = 2,000 м²·К/Вт (от 1,900 до 2,100), U = …", empty without a mean.
std::string meanText(const AnalysisResult& result, char decimalSeparator);
std::string_view passMark(bool pass);  // "✓" or "✗"
std::string_view verdictText(bool conforms);

// Δ as "6 ч", or "не определён".
std::string intervalText(const AnalysisResult& result);
// "01.10.2009 20:00:00 — 05.10.2009 14:00:00", empty without a window.
std::string windowText(const AnalysisResult& result);
// The longest conforming period with its R₀ per channel, or "нет".
std::string longestPeriodText(const AnalysisResult& result, char decimalSeparator);

// The text of a warning from the result's figures.
std::string warningText(WarningKind kind, const AnalysisResult& result, char decimalSeparator);

}  // namespace zond::analysis
