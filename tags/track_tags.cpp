#include "tags/track_tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/display_text.h"
#include "platform/regular_file.h"
#include "platform/url_name.h"

namespace vek {
namespace {

constexpr size_t kMaxValues = 16;  // of a field with several values
constexpr long kId3v1Bytes = 128;
constexpr long kApeFooterBytes = 32;

size_t ReadAt(int fd, char* out, size_t count, long offset) {
    size_t got = 0;
    while (got < count) {
        ssize_t n = pread(fd, out + got, count - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// The bytes [begin, end) of a file open for reading, as TagLib's stream: a tag
// too large to read is left outside, so TagLib never sees it. Reads go through
// pread, leaving the descriptor's own offset alone.
class WindowStream : public TagLib::IOStream {
  public:
    WindowStream(int fd, long begin, long end) : fd_(fd), begin_(begin), end_(end) {}

    TagLib::FileName name() const override { return ""; }
    TagLib::ByteVector readBlock(unsigned long length) override {
        long left = std::max(0L, end_ - begin_ - at_);
        TagLib::ByteVector block(static_cast<unsigned>(std::min<unsigned long>(
                                     length, static_cast<unsigned long>(left))),
                                 '\0');
        size_t got = ReadAt(fd_, block.data(), block.size(), begin_ + at_);
        block.resize(static_cast<unsigned>(got));
        at_ += static_cast<long>(got);
        return block;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position from) override {
        long base = from == Beginning ? 0 : from == Current ? at_ : length();
        at_ = std::max(0L, base + offset);
    }
    long tell() const override { return at_; }
    long length() override { return end_ - begin_; }
    void truncate(long) override {}

  private:
    int fd_;
    long begin_, end_;
    long at_ = 0;
};

TagLib::ByteVector ReadVector(int fd, long offset, unsigned size) {
    TagLib::ByteVector bytes(size, '\0');
    bytes.resize(static_cast<unsigned>(ReadAt(fd, bytes.data(), size, offset)));
    return bytes;
}

// The part of the file TagLib may see: without a leading ID3v2 tag or a
// trailing APE tag that is over the bound (the ID3v1 tag after such an APE
// tag goes with it).
void TagWindow(int fd, long file_bytes, long* begin, long* end) {
    *begin = 0;
    *end = file_bytes;
    TagLib::ByteVector head = ReadVector(fd, 0, TagLib::ID3v2::Header::size());
    if (head.startsWith(TagLib::ID3v2::Header::fileIdentifier())) {
        TagLib::ID3v2::Header header(head);
        if (header.completeTagSize() > kMaxTagBytes)
            *begin = std::min<long>(file_bytes, header.completeTagSize());
    }
    long footer_at = file_bytes - kApeFooterBytes;
    if (file_bytes >= kId3v1Bytes && ReadVector(fd, file_bytes - kId3v1Bytes, 3) == "TAG")
        footer_at -= kId3v1Bytes;
    if (footer_at < *begin) return;
    TagLib::ByteVector footer_bytes = ReadVector(fd, footer_at, kApeFooterBytes);
    if (!footer_bytes.startsWith("APETAGEX")) return;
    TagLib::APE::Footer footer(footer_bytes);
    if (footer.completeTagSize() > kMaxTagBytes)
        *end = std::max(*begin,
                        footer_at + kApeFooterBytes - static_cast<long>(footer.completeTagSize()));
}

std::string Clean(const TagLib::String& text) {
    return CleanTitle(text.to8Bit(true));
}

// ID3 genres may be numbers of the ID3v1 list.
std::string GenreName(const TagLib::String& value) {
    bool number = false;
    int index = value.toInt(&number);
    if (number && index >= 0 && index < 256 && !TagLib::ID3v1::genre(index).isEmpty())
        return Clean(TagLib::ID3v1::genre(index));
    return Clean(value);
}

// The leading decimal number of a text such as "3/12" or "1999-05-01", when
// it lies within [1, max].
int LeadingNumber(const TagLib::String& text, int max) {
    std::string digits = text.to8Bit();
    long value = 0;
    size_t i = 0;
    while (i < digits.size() && digits[i] == ' ') ++i;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        value = value * 10 + (digits[i] - '0');
        if (value > max) return 0;
    }
    return static_cast<int>(value);
}

// Each field from the first of the tags that has it.
struct FieldReader {
    std::vector<TagLib::PropertyMap> maps;

    TagLib::StringList Values(const char* key) const {
        for (const TagLib::PropertyMap& map : maps) {
            auto found = map.find(key);
            if (found == map.end()) continue;
            for (const TagLib::String& value : found->second)
                if (!value.stripWhiteSpace().isEmpty()) return found->second;
        }
        return {};
    }
    std::string Text(const char* key) const {
        TagLib::StringList values = Values(key);
        return values.isEmpty() ? std::string() : Clean(values.front());
    }
    std::vector<std::string> List(const char* key,
                                  std::string (*clean)(const TagLib::String&)) const {
        std::vector<std::string> list;
        for (const TagLib::String& value : Values(key)) {
            std::string text = clean(value);
            if (!text.empty() && list.size() < kMaxValues) list.push_back(std::move(text));
        }
        return list;
    }
};

// The kind of picture by its first bytes, whatever the tag says it is.
const char* PictureExtension(const TagLib::ByteVector& bytes) {
    static const struct {
        const char* magic;
        const char* extension;
    } kKinds[] = {{"\xFF\xD8\xFF", "jpg"}, {"\x89PNG", "png"}, {"GIF8", "gif"}, {"BM", "bmp"}};
    for (const auto& kind : kKinds)
        if (bytes.startsWith(kind.magic)) return kind.extension;
    if (bytes.startsWith("RIFF") && bytes.containsAt("WEBP", 8)) return "webp";
    return nullptr;
}

bool TakePicture(const TagLib::ByteVector& bytes, TrackCover* cover) {
    const char* extension = PictureExtension(bytes);
    if (!extension || bytes.size() > kMaxCoverBytes) return false;
    cover->bytes.assign(bytes.data(), bytes.size());
    cover->extension = extension;
    return true;
}

bool FindCover(TagLib::MPEG::File& file, TrackCover* cover) {
    if (TagLib::ID3v2::Tag* id3v2 = file.ID3v2Tag(false)) {
        const TagLib::ID3v2::FrameList& frames = id3v2->frameListMap()["APIC"];
        const TagLib::ID3v2::AttachedPictureFrame* chosen = nullptr;
        for (const TagLib::ID3v2::Frame* frame : frames) {
            auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
            if (!picture) continue;
            if (!chosen || picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
                chosen = picture;
            if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) break;
        }
        if (chosen && TakePicture(chosen->picture(), cover)) return true;
    }
    if (TagLib::APE::Tag* ape = file.APETag(false)) {
        // The item holds a file name, a NUL, then the picture.
        auto found = ape->itemListMap().find("COVER ART (FRONT)");
        if (found != ape->itemListMap().end() &&
            found->second.type() == TagLib::APE::Item::Binary) {
            TagLib::ByteVector data = found->second.binaryData();
            int nul = data.find(TagLib::ByteVector(1, '\0'));
            if (nul >= 0 && TakePicture(data.mid(static_cast<unsigned>(nul) + 1), cover))
                return true;
        }
    }
    return false;
}

}  // namespace

bool ReadTrackTagsFd(int fd, int64_t file_bytes, TrackTags* tags, TrackCover* cover) {
    *tags = TrackTags{};
    if (cover) *cover = TrackCover{};
    long begin = 0, end = 0;
    TagWindow(fd, static_cast<long>(file_bytes), &begin, &end);
    WindowStream stream(fd, begin, end);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return false;

    FieldReader fields;
    if (TagLib::ID3v2::Tag* tag = file.ID3v2Tag(false)) fields.maps.push_back(tag->properties());
    if (TagLib::APE::Tag* tag = file.APETag(false)) fields.maps.push_back(tag->properties());
    if (TagLib::ID3v1::Tag* tag = file.ID3v1Tag(false)) fields.maps.push_back(tag->properties());
    tags->title = fields.Text("TITLE");
    tags->artists = fields.List("ARTIST", Clean);
    tags->album = fields.Text("ALBUM");
    tags->album_artists = fields.List("ALBUMARTIST", Clean);
    tags->genres = fields.List("GENRE", GenreName);
    TagLib::StringList track = fields.Values("TRACKNUMBER");
    tags->track = track.isEmpty() ? 0 : LeadingNumber(track.front(), 65535);
    TagLib::StringList date = fields.Values("DATE");
    tags->year = date.isEmpty() ? 0 : LeadingNumber(date.front(), 9999);

    bool found = !tags->title.empty() || !tags->artists.empty() || !tags->album.empty() ||
                 !tags->album_artists.empty() || !tags->genres.empty() || tags->track > 0 ||
                 tags->year > 0;
    if (cover && FindCover(file, cover)) found = true;
    return found;
}

bool ReadTrackTags(const char* path, TrackTags* tags, TrackCover* cover) {
    *tags = TrackTags{};
    if (cover) *cover = TrackCover{};
    if (!path || IsUrl(path)) return false;
    struct stat info;
    int fd = OpenRegularFile(path, O_RDONLY, 0, &info);
    if (fd < 0) return false;
    bool found = ReadTrackTagsFd(fd, static_cast<int64_t>(info.st_size), tags, cover);
    close(fd);
    return found;
}

std::string TagTitle(const TrackTags& tags) {
    if (tags.title.empty()) return {};
    std::string artists;
    for (const std::string& artist : tags.artists) {
        if (!artists.empty()) artists += ", ";
        artists += artist;
    }
    return artists.empty() ? tags.title : artists + " - " + tags.title;
}

}  // namespace vek
