#include "platform/posix/track_metadata.h"

#include <string_view>
#include <vector>

namespace platform::bus {
namespace {

// sd-bus refuses a string that is not valid UTF-8, and with it the whole Metadata: a byte that
// does not begin a whole, shortest, valid character (no surrogate, no non-character) becomes U+FFFD.
std::string validUtf8(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t n = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        char32_t code = n == 1 ? lead : lead & (0x7F >> n);
        bool ok = n > 0 && i + n <= bytes.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            ok = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        ok = ok && code != 0 && !(n == 3 && code < 0x800) &&
             !(n == 4 && (code < 0x10000 || code > 0x10FFFF)) && !(code >= 0xD800 && code <= 0xDFFF) &&
             !(code >= 0xFDD0 && code <= 0xFDEF) && (code & 0xFFFE) != 0xFFFE;
        if (ok) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string fileUrl(const std::string& path) {
    std::string url = "file://";
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            std::string_view("-._~/").find(c) != std::string_view::npos) {
            url += c;
        } else {
            constexpr std::string_view kHex = "0123456789ABCDEF";
            url += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    return url;
}

// The entries of an a{sv}, each appended only while all before it were.
class Entries {
public:
    explicit Entries(sd_bus_message* message) : message_(message) {
        result_ = sd_bus_message_open_container(message, 'a', "{sv}");
    }
    template <typename... Values>
    void add(const char* key, const char* type, Values... values) {
        open(key, type);
        if (result_ >= 0) result_ = sd_bus_message_append(message_, type, values...);
        close();
    }
    void add(const char* key, const std::string& text) {
        if (!text.empty()) add(key, "s", validUtf8(text).c_str());
    }
    void add(const char* key, const std::vector<std::string>& texts) {
        if (texts.empty()) return;
        std::vector<std::string> valid;
        std::vector<char*> list;
        for (const std::string& text : texts) valid.push_back(validUtf8(text));
        for (std::string& text : valid) list.push_back(text.data());
        list.push_back(nullptr);
        open(key, "as");
        if (result_ >= 0) result_ = sd_bus_message_append_strv(message_, list.data());
        close();
    }
    int end() { return result_ < 0 ? result_ : sd_bus_message_close_container(message_); }

private:
    void open(const char* key, const char* type) {
        if (result_ >= 0) result_ = sd_bus_message_open_container(message_, 'e', "sv");
        if (result_ >= 0) result_ = sd_bus_message_append(message_, "s", key);
        if (result_ >= 0) result_ = sd_bus_message_open_container(message_, 'v', type);
    }
    void close() {
        for (int k = 0; k < 2 && result_ >= 0; ++k) result_ = sd_bus_message_close_container(message_);
    }

    sd_bus_message* message_;
    int result_;
};

}  // namespace

int TrackMetadata::append(sd_bus_message* reply, const Status& status) {
    if (status.path != path_) {
        path_ = status.path;
        tags_ = readTrackTags(path_);
        url_ = fileUrl(path_);
        std::string cover = cover_.coverOf(path_, tags_);
        coverUrl_ = cover.empty() ? "" : fileUrl(cover);
        tags_.picture.clear();  // written out, or of no use
    }
    std::string id = trackId(status.slot);
    Entries entries(reply);
    entries.add("mpris:trackid", "o", id.c_str());
    entries.add("mpris:length", "x", status.lengthMs * 1000);
    // The tag's title, else the name as the list shows it.
    entries.add("xesam:title", tags_.title.empty() ? status.title : tags_.title);
    entries.add("xesam:artist", tags_.artists);
    entries.add("xesam:album", tags_.album);
    entries.add("xesam:albumArtist", tags_.albumArtists);
    if (tags_.trackNumber > 0) entries.add("xesam:trackNumber", "i", tags_.trackNumber);
    if (tags_.discNumber > 0) entries.add("xesam:discNumber", "i", tags_.discNumber);
    entries.add("xesam:url", url_);
    entries.add("mpris:artUrl", coverUrl_);
    return entries.end();
}

}  // namespace platform::bus
