#pragma once
// The passes on a bare row array behind the grouping and the sort, and the
// pair test the grouping passes share.
#include "UnitFileManager.h"

namespace kp::catalogue {

constexpr double kSixMinutes = 1.0 / 240.0;
constexpr double kSixHours = 0.25;
constexpr int kWorstScore = 1000;

// False when the rows may not join; otherwise their score (lower is better)
// and gap in days.
bool PairQualifies(const TFileItem &a, const TFileItem &b, int &score, double &gap);

// Days between two rows as the grouping sees them (1: never join): rows
// that lie one within the other never join, nor rows that share more than
// a second, unless they are neighbours in one camera's numbering in one
// folder, which may share up to 6 minutes.
double RowTimeGap(const TFileItem &a, const TFileItem &b);
// Characters after the common start of the rows' paths, minus one.
int RowNameDistance(const TFileItem &a, const TFileItem &b);
// Adds Other's files to Target and widens its summary's span and duration.
void QuickMerge(TFileItem &target, const TFileItem &other);
// Joins the best qualifying pair until none is left; true when anything
// was joined.
bool AutoGroupRows(std::vector<TFileItem> &rows);
// Middle-pivot quicksort by a column, as the list sorts.
void SortRows(std::vector<TFileItem> &rows, int column, bool descending);

// Removes row K by moving the last row into its place.
void RemoveRow(std::vector<TFileItem> &rows, size_t k);

} // namespace kp::catalogue
