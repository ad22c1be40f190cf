// Editing the list where the user sees it: removing, moving and sorting
// entries. Positions are those of the list as it stands. The current entry
// stays the same entry wherever it goes. Main thread only.
#pragma once

#include <string_view>
#include <vector>

namespace vek {

// Removes the entries at these positions (in any order; repeats and positions
// outside the list are ignored) and returns how many went. When the current
// entry goes, what plays goes on: Next continues with the entry that stood
// after it and Previous with the one before it (Playlist::current_removed).
int RemoveEntries(const std::vector<int>& positions);

// Moves the entries at these positions one place up (delta -1) or down (+1),
// keeping their order among themselves; their new positions go to *moved.
// False, and nothing moves, when one of them already stands at that end.
bool MoveEntries(const std::vector<int>& positions, int delta, std::vector<int>* moved);

// Orders the list by file title, ascending or descending, with CompareTitles;
// entries with equal titles keep their order.
void SortPlaylist(bool descending);

// The order of two titles as a person reads them: ASCII letters without regard
// to case, runs of digits as numbers ("2 x" before "10 x", "07" with "7").
// Negative, zero or positive as a comes before, with or after b.
int CompareTitles(std::string_view a, std::string_view b);

}  // namespace vek
