#include "tests/support/tagged_file.h"

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>

#include "tests/support/test_support.h"

namespace vek::test {

bool WriteTaggedCopy(const std::string& source, const std::string& path,
                     const std::vector<TagWriting>& tags) {
    std::vector<uint8_t> audio = ReadFileBytes(source);
    if (audio.empty() || !WriteFileBytes(path, audio.data(), audio.size())) return false;
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) return false;
    int kinds = TagLib::MPEG::File::NoTags;
    TagLib::ID3v2::Version version = TagLib::ID3v2::v4;
    for (const TagWriting& t : tags) {
        TagLib::PropertyMap map;
        auto put = [&map](const char* key, const std::string& value) {
            if (!value.empty()) map[key].append(TagLib::String(value, TagLib::String::UTF8));
        };
        put("TITLE", t.title);
        for (const std::string& artist : t.artists) put("ARTIST", artist);
        put("ALBUM", t.album);
        put("ALBUMARTIST", t.album_artist);
        put("GENRE", t.genre);
        put("TRACKNUMBER", t.track);
        put("DATE", t.date);
        for (const auto& [name, value] : t.more) put(name.c_str(), value);
        TagLib::ByteVector picture(t.picture.data(), static_cast<unsigned>(t.picture.size()));
        if (t.kind == TagWriting::kId3v1) {
            file.ID3v1Tag(true)->setProperties(map);
            kinds |= TagLib::MPEG::File::ID3v1;
        } else if (t.kind == TagWriting::kApe) {
            TagLib::APE::Tag* tag = file.APETag(true);
            tag->setProperties(map);
            // A file name and a NUL before the picture.
            if (!t.picture.empty())
                tag->setData("COVER ART (FRONT)", TagLib::ByteVector("cover.jpg", 10) + picture);
            kinds |= TagLib::MPEG::File::APE;
        } else {
            TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
            tag->setProperties(map);
            for (TagLib::ID3v2::Frame* frame : tag->frameList())
                if (auto* text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame))
                    text->setTextEncoding(t.latin1 ? TagLib::String::Latin1 : TagLib::String::UTF8);
            if (!t.picture.empty()) {
                auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
                frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
                frame->setMimeType("image/jpeg");
                frame->setPicture(picture);
                tag->addFrame(frame);
            }
            kinds |= TagLib::MPEG::File::ID3v2;
            if (t.kind == TagWriting::kId3v23) version = TagLib::ID3v2::v3;
        }
    }
    return file.save(kinds, TagLib::File::StripOthers, version, TagLib::File::DoNotDuplicate);
}

std::string JpegLike(size_t bytes) {
    std::string picture = "\xFF\xD8\xFF\xE0";
    picture.resize(bytes, 'j');
    return picture;
}

}  // namespace vek::test
