// The worked example of the resistance analysis: readings every 6 h from 01.10.2009 08:00,
// tв = 20 on every row, q2 = 2·q1; rows 1–2 are the start-up the method must drop.
#pragma once

namespace zond::testing {

struct WallExampleRow {
    double tExt;
    double q1;
};

inline constexpr int kWallExampleStepHours = 6;

inline constexpr WallExampleRow kWallExample[] = {
    {-10, 30},   {-10, 30},                             // start-up
    {-10, 12},   {-12, 13},   {-8, 11},    {-10, 12},   // day 1
    {-11, 12.5}, {-9, 11.5},  {-10, 12},   {-10, 12},   // day 2
    {-12, 13},   {-10, 12},   {-9, 12.5},  {-9, 12.5},  // day 3
    {-10, 12},   {-10, 12.5}, {-10, 12.5}, {-10, 12},   // day 4
};

}  // namespace zond::testing
