// Sizes shared by every module that stores a path or name.
#pragma once

#include <climits>
#include <cstddef>

namespace vek {

// A path field holds PATH_MAX bytes including the terminator. Longer names are
// refused by whoever receives them, never cut.
inline constexpr size_t kPathField = PATH_MAX;

}  // namespace vek
