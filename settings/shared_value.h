// Values shared between threads without a lock. A field is read and written
// whole through relaxed atomics: a reader sees the old or the new value, and
// the record that holds such fields stays copyable as a whole.
#pragma once

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/limits.h"

namespace vek {

template <typename T>
class Relaxed {
public:
    Relaxed(T value = T{}) : value_(value) {}
    Relaxed(const Relaxed& other) : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T value) {
        store(value);
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return value_.load(std::memory_order_relaxed); }
    void store(T value) { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

// A path shared between threads; copies are taken under a lock so no reader sees
// half a change.
class SharedPath {
public:
    SharedPath() { text_[0] = '\0'; }
    SharedPath(const SharedPath& other) { other.Get(text_, sizeof text_); }
    SharedPath& operator=(const SharedPath& other) {
        if (this != &other) {
            char copy[kPathField];
            other.Get(copy, sizeof copy);
            Set(copy);
        }
        return *this;
    }
    // Refuses (false, nothing changes) a text that does not fit.
    bool Set(const char* text) {
        size_t length = std::strlen(text);
        if (length >= kPathField) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        std::memcpy(text_, text, length + 1);
        return true;
    }
    void Get(char* out, size_t out_size) const {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t length = std::strlen(text_);
        if (length >= out_size) length = out_size - 1;
        std::memcpy(out, text_, length);
        out[length] = '\0';
    }
    std::string Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    char text_[kPathField];
};

}  // namespace vek
