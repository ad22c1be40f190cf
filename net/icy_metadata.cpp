#include "net/icy_metadata.h"

#include <algorithm>
#include <charconv>

namespace vek {

namespace {
constexpr size_t kBlockUnit = 16;
constexpr std::string_view kTitleField = "StreamTitle='";
}  // namespace

void StartIcyBody(IcyDemuxer* demuxer, uint32_t interval) {
    demuxer->interval = interval;
    demuxer->audio_left = interval;
    demuxer->block_left = 0;
    demuxer->in_block = false;
    demuxer->block.clear();
}

void FeedIcyBody(IcyDemuxer* d, const char* data, size_t size, const IcySink& sink) {
    if (d->interval == 0) {
        if (size > 0) sink.audio(sink.context, data, size);
        return;
    }
    while (size > 0) {
        if (d->audio_left > 0) {
            size_t run = std::min<size_t>(d->audio_left, size);
            sink.audio(sink.context, data, run);
            d->audio_left -= static_cast<uint32_t>(run);
            data += run;
            size -= run;
        } else if (!d->in_block) {
            d->block_left = static_cast<uint8_t>(*data) * kBlockUnit;
            ++data;
            --size;
            d->in_block = d->block_left > 0;
            if (!d->in_block) d->audio_left = d->interval;
        } else {
            size_t run = std::min(d->block_left, size);
            d->block.append(data, run);
            d->block_left -= run;
            data += run;
            size -= run;
            if (d->block_left == 0) {
                sink.block(sink.context, d->block);
                d->block.clear();
                d->in_block = false;
                d->audio_left = d->interval;
            }
        }
    }
}

uint32_t ParseIcyInterval(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    uint32_t interval = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), interval);
    if (error != std::errc() || end != value.data() + value.size()) return 0;
    return interval;
}

bool FindStreamTitle(std::string_view block, std::string* title) {
    // The padding is not part of the text.
    size_t nul = block.find('\0');
    if (nul != std::string_view::npos) block = block.substr(0, nul);
    size_t field = block.find(kTitleField);
    if (field == std::string_view::npos) return false;
    std::string_view rest = block.substr(field + kTitleField.size());
    size_t end = rest.find("';");
    if (end == std::string_view::npos) end = rest.rfind('\'');
    if (end == std::string_view::npos) end = rest.size();
    *title = CleanTitle(rest.substr(0, end));
    return true;
}

}  // namespace vek
