#include "output/discard_output.h"

#include <atomic>

namespace vek {
namespace {

std::atomic<int64_t> g_discarded{0};

int Open(int, int, int, int, float, int) {
    return 1;
}
int Close(int) {
    return 1;
}
int IsOpen() {
    return 1;
}
int Write(int length, const uint8_t*) {
    g_discarded.fetch_add(length, std::memory_order_relaxed);
    return length;
}

}  // namespace

const OutputSystem kDiscardOutput{
    .Open = Open,
    .Close = Close,
    .IsOpen = IsOpen,
    .Write = Write,
};

int64_t DiscardedBytes() {
    return g_discarded.load(std::memory_order_relaxed);
}
void ResetDiscardedBytes() {
    g_discarded.store(0, std::memory_order_relaxed);
}

}  // namespace vek
