// An output that is always open and takes every byte without playing it, so
// that benchmarks and fuzzers see the cost of decoding alone.
#pragma once

#include <cstdint>

#include "output/output_system.h"

namespace vek {

extern const OutputSystem kDiscardOutput;

// Bytes written to it since the last reset.
int64_t DiscardedBytes();
void ResetDiscardedBytes();

}  // namespace vek
