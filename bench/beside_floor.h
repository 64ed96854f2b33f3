#pragma once
// A figure beside its floor, measured in the same run: the floor is what the
// least program of the same design costs on the same machine, so that their
// ratio says what the machine's speed cannot.

#include <cstdio>

namespace orvelle::bench {

// Prints "figure: NAME: VALUE UNIT, floor FLOOR UNIT, ratio R (goal at most
// GOAL: held)"; a goal of 0 is none, and a floor of 0 has no ratio. True
// unless a goal is missed.
inline bool PrintBesideFloor(const char* name, double value, double floor, const char* unit = "",
                             double goal = 0) {
  const char* space = *unit ? " " : "";
  std::printf("figure: %s: %.4g%s%s, floor %.4g%s%s", name, value, space, unit, floor, space, unit);
  const double ratio = floor > 0 ? value / floor : 0;
  if (floor > 0) std::printf(", ratio %.2f", ratio);
  const bool held = goal == 0 || (floor > 0 && ratio <= goal);
  if (goal > 0) std::printf(" (goal at most %.1f: %s)", goal, held ? "held" : "MISSED");
  std::printf("\n");
  std::fflush(stdout);
  return held;
}

}  // namespace orvelle::bench
