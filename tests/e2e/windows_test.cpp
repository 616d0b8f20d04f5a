// The Windows executable under wine, through pipes: what only the Windows build can get wrong.
// Code page 932 in and out, line ends, wine's drive Z:, names in other scripts typed and as the
// argument, the pipe's reader thread waking the player while a track plays, and MCI playing sound.
// What both builds share is left to the Linux binary's tests. scripts/test-windows builds the
// executable and wine's prefix, and names them in QUAVELIN_WINDOWS_EXE and WINEPREFIX.
#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;
using namespace e2e;
using namespace std::chrono_literals;

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

std::string codePage932(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }

// The output as the Linux binary prints it: UTF-8, line ends without carriage returns.
std::string asLinuxOutput(const std::string& bytes) {
    static const std::regex lineEnd("\r\n");
    return maskTimes(convert("UTF-8", "CP932", std::regex_replace(bytes, lineEnd, "\n")));
}

// The executable run by wine, its sound going to a null device behind a file sink that keeps what
// MCI played in dir/sound.raw; the system's configuration is read first, then its default device
// replaced.
Options wineOptions(const fs::path& dir) {
    const char *exe = std::getenv("QUAVELIN_WINDOWS_EXE"), *prefix = std::getenv("WINEPREFIX");
    if (exe == nullptr || prefix == nullptr || !fs::is_regular_file(exe))
        throw std::runtime_error("QUAVELIN_WINDOWS_EXE and WINEPREFIX must name the executable and a prefix");
    const char* alsaDir = std::getenv("ALSA_CONFIG_DIR");
    std::ofstream(dir / "alsa.conf") << "<" << (alsaDir != nullptr ? alsaDir : "/usr/share/alsa")
                                     << "/alsa.conf>\npcm.!default {\n  type file\n  slave.pcm \"null\"\n"
                                     << "  file \"" << (dir / "sound.raw").string()
                                     << "\"\n  format \"raw\"\n}\n";
    return {.env = {"LC_ALL=C.UTF-8", std::string("WINEPREFIX=") + prefix, "WINEDEBUG=-all",
                    // No Mono or Gecko dialogs, no menu entries.
                    "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=",
                    "ALSA_CONFIG_PATH=" + (dir / "alsa.conf").string()},
            .binary = exe,
            .wrapper = {"wine"}};
}

// Whether dir's recording holds a sample that is not silence.
bool soundPlayed(const fs::path& dir) {
    std::ifstream recorded(dir / "sound.raw", std::ios::binary);
    std::string head(2'000'000, '\0');
    recorded.read(head.data(), static_cast<std::streamsize>(head.size()));
    return std::any_of(head.begin(), head.begin() + recorded.gcount(),
                       [](char sample) { return sample != 0; });
}

// The folder is the argument, in a locale whose ANSI code page (1252) has no Japanese, so that only
// the wide calls can keep the names; its subfolder is typed. The second byte of ソ in the folder,
// of 表 in the subfolder and of 能 in its track is 0x5C, the path separator.
TEST(WindowsSession, NamesInOtherScriptsListPlayAndChangeDirectoryThroughCodePage932) {
    TempTree tree;
    const fs::path folder = tree.root() / "ソフト";
    fs::create_directories(folder / "表示");
    for (const char* name : {"日本語", "ｶﾀｶﾅ", "café", "한국어", "🎵", "表示/能力"})
        fs::copy_file(kLongTrack, folder / (std::string(name) + ".mp3"));
    tree.addFile("ソフト/song.mp3x");  // no track, though a search for *.mp3 finds it by its 8.3 short name

    Options options = wineOptions(tree.root());
    options.arguments = {"ソフト"};
    auto player = startPlayer(tree.root(), options);
    player->write(codePage932("0 time 1 time 2 time 3 time 4 time\ndir\ncd\n表示\ntime\n"));
    // Then the player waits on the pipe with nothing read ahead while MCI plays: each word from here
    // on has to wake it. Ending while MCI plays must not crash wine's MPEGVideo device.
    const auto deadline = harness::Clock::now() + 60s;
    ASSERT_TRUE(player->waitFor(codePage932("能力~$ \r\n"), deadline)) << asLinuxOutput(player->output());
    while (!soundPlayed(tree.root()) && harness::Clock::now() < deadline) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(soundPlayed(tree.root())) << "no sound reached the sound device";
    player->write("pause rel time\ncd\nnosuchdir\nexit\n");
    EXPECT_EQ(player->wait(deadline).status, 1);

    // In the file system's order (UTF-16 code units, as NTFS sorts them), with '?' for a character
    // that code page 932 lacks; every track plays (its length shows).
    auto timeOf = [](const std::string& name) { return "\n<time> / 0 min 15 sec\n" + prompt(name); };
    std::string where = "Z:" + fs::canonical(folder).string(), ability = prompt("能力");
    std::ranges::replace(where, '/', '\\');
    std::string expected =
        kAsk + kDirPrompt + "ソフト\n0 | caf?\n1 | 日本語\n2 | ???\n3 | ?\n4 | ｶﾀｶﾅ\n\n" + prompt("caf?");
    for (const char* name : {"caf?", "日本語", "???", "?", "ｶﾀｶﾅ"})
        expected += "\n" + prompt(name) + timeOf(name);
    expected += "現在のディレクトリパス \n  " + where +
                "\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n  表示\n" + prompt("ｶﾀｶﾅ") + kDirPrompt +
                "\n" + ability + timeOf("能力") + ability + ability + timeOf("能力") + kDirPrompt +
                "失敗しました\n" + ability;
    EXPECT_EQ(asLinuxOutput(player->output()), expected);
}

}  // namespace
