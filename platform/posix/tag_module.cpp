// The tag reader's module: TagLib reads the ID3v2, APE and ID3v1 tags of an MP3 file (Latin-1 and
// UTF-16 texts come out as UTF-8), after a look at the ID3v2 header that keeps an oversized tag
// from being loaded at all.
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>

#include <array>
#include <cstdio>

#include "platform/posix/tag_module.h"

namespace {

// The bytes an ID3v2 tag at the file's start takes, header and footer included; 0 without one.
long id3v2Size(const char* path) {
    std::array<unsigned char, 10> header{};
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    bool read = std::fread(header.data(), 1, header.size(), file) == header.size();
    std::fclose(file);
    if (!read || header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
    // The size after the header, in four bytes of seven bits each.
    long size = 0;
    for (int k = 6; k < 10; ++k) size = size << 7 | (header[k] & 0x7F);
    constexpr unsigned char kFooter = 0x10;
    return 10 + size + ((header[5] & kFooter) != 0 ? 10 : 0);
}

// The file as TagLib sees it when an ID3v2 tag is too large to read: it begins after the tag, so
// that TagLib never reads it, and the tags at the end are found as ever.
class FileAfter : public TagLib::FileStream {
public:
    FileAfter(const char* path, long skipped) : FileStream(path, true), skipped_(skipped) {}
    void seek(long offset, Position from) override {
        FileStream::seek(from == Beginning ? offset + skipped_ : offset, from);
    }
    long tell() const override { return FileStream::tell() - skipped_; }
    long length() override { return FileStream::length() - skipped_; }

private:
    long skipped_;
};

// The property of each field, in the order of QuavelinTagField.
constexpr std::array<const char*, kQuavelinTagFields> kProperties{"TITLE",       "ARTIST",      "ALBUM",
                                                                  "ALBUMARTIST", "TRACKNUMBER", "DISCNUMBER"};

}  // namespace

extern "C" __attribute__((visibility("default"))) int quavelin_read_tags(const char* path,
                                                                         std::size_t largestTag,
                                                                         const QuavelinTagSink* sink) {
    long tag = id3v2Size(path);
    FileAfter stream(path, static_cast<std::size_t>(tag) > largestTag ? tag : 0);
    if (!stream.isOpen()) return 0;
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid()) return 0;
    const TagLib::PropertyMap properties = file.properties();
    for (int field = 0; field < kQuavelinTagFields; ++field) {
        auto found = properties.find(kProperties[static_cast<std::size_t>(field)]);
        if (found == properties.end()) continue;
        for (const TagLib::String& value : found->second)
            sink->text(sink->context, field, value.toCString(true));
    }
    // The first picture: a tag that has several puts the front cover first.
    const TagLib::ID3v2::FrameList pictures =
        file.hasID3v2Tag() ? file.ID3v2Tag()->frameList("APIC") : TagLib::ID3v2::FrameList();
    if (const auto* cover =
            pictures.isEmpty() ? nullptr
                               : dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(pictures.front())) {
        TagLib::ByteVector bytes = cover->picture();
        sink->picture(sink->context, cover->mimeType().toCString(true),
                      reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    return 1;
}
