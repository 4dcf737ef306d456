// The Russian texts of the resistance analysis: reasons, criteria explanations, warnings.
#pragma once

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

// The text of a warning from the result's figures.
std::string warningText(WarningKind kind, const AnalysisResult& result, char decimalSeparator);

}  // namespace zond::analysis
