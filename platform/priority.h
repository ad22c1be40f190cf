// Thread priority levels 0..5 (lowest, below normal, normal, above normal,
// highest, real time) mapped onto the niceness of the calling thread.
#pragma once

namespace vek {

// Any level outside 0..5 gives normal. Raising priority needs privileges an
// ordinary user usually lacks; a refused change is ignored.
void SetPriorityLevel(int level);

// The niceness a level maps to, relative to the process's own.
int NicenessOfLevel(int level);

}  // namespace vek
