#pragma once
// The pair test shared by the two grouping passes.
#include "UnitFileManager.h"

namespace kp::catalogue {

constexpr double kSixMinutes = 1.0 / 240.0;
constexpr double kSixHours = 0.25;
constexpr int kWorstScore = 1000;

// False when the rows may not join; otherwise their score (lower is better)
// and gap in days.
bool PairQualifies(const TFileItem &a, const TFileItem &b, int &score, double &gap);

// Removes row K by moving the last row into its place.
void RemoveRow(std::vector<TFileItem> &rows, size_t k);

} // namespace kp::catalogue
