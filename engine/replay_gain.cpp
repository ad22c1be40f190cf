#include "engine/replay_gain.h"

#include <apetag.h>
#include <fcntl.h>
#include <id3v2framefactory.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <strings.h>
#include <textidentificationframe.h>
#include <tfilestream.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "engine/stream_reader.h"
#include "platform/regular_file.h"
#include "tags/track_tags.h"

namespace vek {
namespace {

constexpr double kMaxGainDb = 64.0;

enum Field { kTrackGain, kTrackPeak, kAlbumGain, kAlbumPeak, kFieldCount };
constexpr const char* kFieldNames[kFieldCount] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK",
                                                  "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A plain decimal number, with an optional '+' and a decimal comma as some
// taggers in some locales wrote it; no hexadecimal, NaN or infinity.
bool ParseNumber(std::string_view text, double* value) {
    text = Trimmed(text);
    bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    char digits[32];
    if (text.empty() || text.size() >= sizeof digits || (plus && text.front() == '-')) return false;
    size_t size = text.size();
    for (size_t i = 0; i < size; ++i) digits[i] = text[i] == ',' ? '.' : text[i];
    double parsed = 0;
    auto [end, error] = std::from_chars(digits, digits + size, parsed, std::chars_format::general);
    if (error != std::errc() || end != digits + size || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

// The library lets only its frames' kin name a frame's header.
struct FrameKin : TagLib::ID3v2::Frame {
    using HeaderType = Header;
};

// Reads only the frames that can carry a gain: pictures, chapters and the
// rest stay unparsed bytes, so a hostile tag cannot make the parse deep.
class GainFrames : public TagLib::ID3v2::FrameFactory {
  protected:
    bool updateFrame(FrameKin::HeaderType* header) const override {
        return FrameFactory::updateFrame(header) && header->frameID() == "TXXX";
    }
};

void Store(Field field, const TagLib::String& text, ReplayGainInfo* info) {
    std::optional<double>* slots[kFieldCount] = {&info->track_gain, &info->track_peak,
                                                 &info->album_gain, &info->album_peak};
    if (slots[field]->has_value()) return;
    std::string utf8 = text.to8Bit(true);
    double value = 0;
    bool gain = field == kTrackGain || field == kAlbumGain;
    if (gain ? ParseReplayGainDb(utf8, &value) : ParseReplayGainPeak(utf8, &value))
        *slots[field] = value;
}

void ReadId3v2(TagLib::ID3v2::Tag* tag, ReplayGainInfo* info) {
    if (!tag) return;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("TXXX")) {
        auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
        if (!text) continue;
        // The description comes first in the field list, the value after it.
        TagLib::StringList fields = text->fieldList();
        if (fields.size() < 2) continue;
        std::string name = text->description().upper().to8Bit(true);
        for (int f = 0; f < kFieldCount; ++f)
            if (name == kFieldNames[f]) Store(static_cast<Field>(f), fields[1], info);
    }
}

// APE keys are matched in any case by the tag itself.
void ReadApe(TagLib::APE::Tag* tag, ReplayGainInfo* info) {
    if (!tag) return;
    const TagLib::APE::ItemListMap& items = tag->itemListMap();
    for (int f = 0; f < kFieldCount; ++f) {
        auto item = items.find(kFieldNames[f]);
        if (item != items.end() && item->second.type() == TagLib::APE::Item::Text)
            Store(static_cast<Field>(f), item->second.toString(), info);
    }
}

double DbToFactor(double db) {
    return std::pow(10.0, db / 20.0);
}

}  // namespace

bool ParseReplayGainDb(std::string_view text, double* db) {
    text = Trimmed(text);
    if (text.size() >= 2 && strncasecmp(text.data() + text.size() - 2, "dB", 2) == 0)
        text.remove_suffix(2);
    double value = 0;
    if (!ParseNumber(text, &value) || std::fabs(value) > kMaxGainDb) return false;
    *db = value;
    return true;
}

bool ParseReplayGainPeak(std::string_view text, double* peak) {
    double value = 0;
    if (!ParseNumber(text, &value) || !(value > 0)) return false;
    *peak = value;
    return true;
}

ReplayGainInfo ReadReplayGain(const char* path) {
    ReplayGainInfo info;
    // Only a plain file: opening a FIFO would wait for a writer, and reading
    // it would take the bytes the player is about to play.
    int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return info;
    TagLib::FileStream stream(fd, true);
    if (!stream.isOpen()) {
        close(fd);
        return info;
    }
    TagLib::ByteVector head = stream.readBlock(10);
    if (head.size() == 10 &&
        LeadingTagBytes(reinterpret_cast<const uint8_t*>(head.data())) > kMaxTagBytes)
        return info;
    stream.seek(0);
    static GainFrames factory;
    TagLib::MPEG::File file(&stream, &factory, false);
    if (!file.isValid()) return info;
    if (file.hasID3v2Tag()) ReadId3v2(file.ID3v2Tag(), &info);
    if (file.hasAPETag()) ReadApe(file.APETag(), &info);
    return info;
}

bool AddLameGain(const LameTag& lame, ReplayGainInfo* info) {
    if (info->track_gain || info->album_gain || !lame.present) return false;
    if (lame.has_radio_gain) info->track_gain = lame.radio_gain / 10.0;
    if (lame.has_audiophile_gain) info->album_gain = lame.audiophile_gain / 10.0;
    return info->track_gain || info->album_gain;
}

double ReplayGainFactor(const ReplayGainInfo& info, int mode, int preamp_db) {
    if (mode != kReplayGainTrack && mode != kReplayGainAlbum) return 1.0;
    std::optional<double> gain =
        mode == kReplayGainAlbum && info.album_gain ? info.album_gain : info.track_gain;
    if (!gain) return 1.0;
    // The track's own peak bounds its samples most closely; the album's
    // holds for them too.
    double peak = info.track_peak.value_or(info.album_peak.value_or(1.0));
    return std::min(DbToFactor(*gain + std::clamp(preamp_db, -12, 12)), 1.0 / peak);
}

}  // namespace vek
