// A track's tags (ID3v2.2 to 2.4, APE, ID3v1) as the lists, the desktop's media
// controls and vekplay show them, read with TagLib. Safe on any thread: reads
// share nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek {

struct TrackTags {
    // Text is UTF-8 made fit to show (see CleanTitle); empty when no tag has it.
    std::string title;
    std::vector<std::string> artists;
    std::string album;
    std::vector<std::string> album_artists;
    std::vector<std::string> genres;
    int track = 0;  // 0: none
    int year = 0;   // 0: none
    // The front cover's file in the art cache, once it has been stored there.
    std::string cover_path;
};

// An embedded picture's bytes and the file ending of their format.
struct TrackCover {
    std::string bytes;
    std::string extension;  // "jpg", "png", "gif", "bmp" or "webp"
};

// A tag larger than this is skipped without being read, and so is a picture
// larger than kMaxCoverBytes: a file's tags must not cost the player hundreds
// of megabytes.
inline constexpr int64_t kMaxTagBytes = 16 << 20;
inline constexpr int64_t kMaxCoverBytes = 8 << 20;

// Reads the tags of the regular file open at fd, file_bytes long, with pread
// only, so that the caller may read the same descriptor for other things.
// Each field comes from the first tag that has it: ID3v2, then APE, then
// ID3v1. With cover given, the front cover (else the first picture) goes
// there. True when some field or a picture was found.
bool ReadTrackTagsFd(int fd, int64_t file_bytes, TrackTags* tags, TrackCover* cover);

// The same by name; false for a URL and for anything but a regular file.
bool ReadTrackTags(const char* path, TrackTags* tags, TrackCover* cover);

// "Artist - Title" (several artists joined by ", "), the title alone when no
// artist is named; empty without a title.
std::string TagTitle(const TrackTags& tags);

}  // namespace vek
