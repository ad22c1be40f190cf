// A lock-free hand-over of buffer indices from one producing thread to one
// consuming thread. The producer fills a buffer, then pushes its index; the
// consumer that peeks the index sees the buffer's contents (release/acquire).
#pragma once

#include <atomic>
#include <cstdint>

namespace vek {

struct IndexRing {
    static constexpr uint32_t kCapacity = 16;  // a power of two above the ten buffers
    int slots[kCapacity] = {};
    std::atomic<uint32_t> head{0};  // written by the producer only
    std::atomic<uint32_t> tail{0};  // written by the consumer only
};

// Producer side. False when the ring is full.
inline bool PushIndex(IndexRing* ring, int index) {
    uint32_t head = ring->head.load(std::memory_order_relaxed);
    if (head - ring->tail.load(std::memory_order_acquire) == IndexRing::kCapacity) return false;
    ring->slots[head % IndexRing::kCapacity] = index;
    ring->head.store(head + 1, std::memory_order_release);
    return true;
}

// Consumer side: the oldest index without taking it. False when empty.
inline bool PeekIndex(IndexRing* ring, int* index) {
    uint32_t tail = ring->tail.load(std::memory_order_relaxed);
    if (tail == ring->head.load(std::memory_order_acquire)) return false;
    *index = ring->slots[tail % IndexRing::kCapacity];
    return true;
}

// Consumer side: takes the index PeekIndex gave.
inline void PopIndex(IndexRing* ring) {
    ring->tail.store(ring->tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Only while neither side can run.
inline void ClearRing(IndexRing* ring) {
    ring->head.store(0, std::memory_order_relaxed);
    ring->tail.store(0, std::memory_order_relaxed);
}

}  // namespace vek
