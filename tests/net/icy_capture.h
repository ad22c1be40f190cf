// What the radio metadata demultiplexer hands out, kept: the audio whole,
// each block apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/icy_metadata.h"

namespace vek::test {

struct IcyCapture {
    std::string audio;
    std::vector<std::string> blocks;

    IcySink Sink() {
        return IcySink{[](void* self, const char* data, size_t size) {
                           static_cast<IcyCapture*>(self)->audio.append(data, size);
                       },
                       [](void* self, std::string_view text) {
                           static_cast<IcyCapture*>(self)->blocks.emplace_back(text);
                       },
                       this};
    }
};

}  // namespace vek::test
