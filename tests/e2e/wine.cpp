#include "tests/e2e/wine.h"

#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>

namespace e2e::wine {
namespace fs = std::filesystem;

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

// text from one character set into another. What can't be converted follows as it is, after a
// mark, so that it can't pass for the right text.
std::string convert(const char* to, const char* from, std::string_view text) {
    std::string result(text.size() * 4, '\0');
    char *in = const_cast<char*>(text.data()), *out = result.data();
    std::size_t inLeft = text.size(), outLeft = result.size();
    iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no iconv converter");
    const bool failed = ::iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1);
    ::iconv_close(converter);
    result.resize(result.size() - outLeft);
    return failed ? result + "<not " + from + ">" + std::string(in, inLeft) : result;
}

}  // namespace

Options options(const fs::path& soundDir) {
    // A null device behind a file sink keeps what MCI played; the system's configuration is read
    // first, then its default device replaced.
    const char* alsaDir = std::getenv("ALSA_CONFIG_DIR");
    std::ofstream(soundDir / "alsa.conf")
        << "<" << (alsaDir != nullptr ? alsaDir : "/usr/share/alsa")
        << "/alsa.conf>\npcm.!default {\n  type file\n  slave.pcm \"null\"\n"
        << "  file \"" << (soundDir / "sound.raw").string() << "\"\n  format \"raw\"\n}\n";
    const fs::path exe = variable("QUAVELIN_WINDOWS_EXE");
    if (!fs::is_regular_file(exe)) throw std::runtime_error("no Windows executable at " + exe.string());
    return {.env = {"LC_ALL=C.UTF-8", "WINEPREFIX=" + variable("WINEPREFIX"), "WINEDEBUG=-all",
                    // No Mono or Gecko dialogs, no menu entries.
                    "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=",
                    "ALSA_CONFIG_PATH=" + (soundDir / "alsa.conf").string()},
            .binary = exe,
            .wrapper = {"wine"}};
}

bool soundPlayed(const fs::path& soundDir) {
    std::ifstream recorded(soundDir / "sound.raw", std::ios::binary);
    std::string head(2'000'000, '\0');
    recorded.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(recorded.gcount()));
    return std::any_of(head.begin(), head.end(), [](char sample) { return sample != 0; });
}

std::string codePage932(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }

std::string asLinuxOutput(std::string_view bytes) {
    static const std::regex lineEnd("\r\n"),
        timeLine("\n[0-9]+ min [0-9]+ sec / ([0-9]+ min [0-9]+ sec)\n[>.]{30}\n");
    const std::string text = convert("UTF-8", "CP932", std::regex_replace(std::string(bytes), lineEnd, "\n"));
    return std::regex_replace(text, timeLine, "\n<time> / $1\n");
}

std::string windowsPath(const fs::path& path) {
    std::string shown = "Z:" + path.string();
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

void restart() {
    const std::string command =
        "WINEPREFIX='" + variable("WINEPREFIX") + "' timeout 30 wineserver -k 2>/dev/null";
    (void)std::system(command.c_str());
}

}  // namespace e2e::wine
