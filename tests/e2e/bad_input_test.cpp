// Input that a user or a file system can throw at the real player: closed input at every prompt,
// huge and malformed words and numbers, files that are not what their names say, odd names, a huge
// directory, and a current directory that disappears. Each run must end by itself, in time, with
// the expected status, and print nothing but the player's own text.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/run_player.h"
#include "tests/fuzz/clean_text.h"

namespace {

namespace fs = std::filesystem;

const std::string kAsk = "初期でのカレントディレクトリを指定してください。\n";
const std::string kDirPrompt = "Please type to new Directory~$ ";
const std::string kFailed = "失敗しました。\n";
const std::string kNoTracks =
    "このディレクトリにMP3は有りません\n"
    "移動先ディレクトリを指定してください\n";
const std::string kExiting = "終了します\n";
const std::string kMinutePrompt = "移動先時間指定 分単位 ~$ ";
const std::string kSecondPrompt = "移動先時間指定 秒単位 ~$ ";
const std::string kHelpPrompt = "please type to cmd ~$";

std::string prompt(const std::string& name) { return "Quavelin~ " + name + "~$ "; }

// One second of real MPEG audio, a few kilobytes.
std::string shortTrack() {
    std::ifstream in(fs::path(QUAVELIN_E2E_FIXTURES) / "one-second.mp3", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 1000) throw std::runtime_error("the one-second fixture is missing");
    return bytes;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
    return bytes;
}

using fuzz::isCleanText;

// Ended by itself, in time, with status, quietly.
void expectOrderlyEnd(const e2e::Run& run, int status, const std::string& what) {
    EXPECT_FALSE(run.timedOut) << what;
    EXPECT_EQ(run.status, status) << what << "\n" << run.out;
    EXPECT_EQ(run.err, "") << what;
}

// The names of the tracks whose prompt was shown, in order.
std::vector<std::string> promptedNames(const std::string& out) {
    std::vector<std::string> names;
    const std::string open = "Quavelin~ ", close = "~$ ";
    for (auto at = out.find(open); at != std::string::npos; at = out.find(open, at + 1)) {
        auto end = out.find(close, at + open.size());
        if (end == std::string::npos) break;
        names.push_back(out.substr(at + open.size(), end - at - open.size()));
    }
    return names;
}

// root/m holds two short tracks, a and b; root/empty holds no track.
class EndToEndBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(tree.root() / "m" / "a.mp3", shortTrack());
        writeFile(tree.root() / "m" / "b.mp3", shortTrack());
        tree.addDirectory("empty");
    }

    // Everything printed up to the first track's prompt.
    static std::string started() { return kAsk + kDirPrompt + "0 | a\n1 | b\n\n" + prompt("a"); }

    e2e::TempTree tree;
};

TEST_F(EndToEndBadInput, EndOfInputAtEveryPrompt) {
    const std::string helpLines = "\nコマンドの状態\nshuffle  off\nloop     off\nalloop   off\n\n";
    struct Case {
        std::string input;
        std::string outputAfterStart;  // what follows the first prompt, to the very end
        int status;
    };
    const Case cases[] = {
        // The command prompt: end of input reads as "exit".
        {"m\n", "", 1},
        {"m\nls", "\n0 | a\n1 | b\n" + prompt("a"), 1},
        // The help prompt.
        {"m\nhelp\n", helpLines + kHelpPrompt, 1},
        // The directory prompt of cd, and the one after a directory without tracks.
        {"m\ncd\n", kDirPrompt + kExiting, 1},
        {"m\ncd ../empty\n", kDirPrompt + kNoTracks + kDirPrompt + kExiting, 1},
        // Slot 49 passed on typing 50: the final single-byte read finds nothing, or one byte.
        {"m\n50\n", "", 0},
        {"m\n50", "", 0},
        {"m\n50\nx", "", 0},
    };
    for (const Case& c : cases) {
        e2e::Run run = e2e::runPlayer(tree.root(), c.input);
        expectOrderlyEnd(run, c.status, c.input);
        EXPECT_EQ(run.out, started() + c.outputAfterStart) << c.input;
    }

    // Both jump prompts: the time line comes first, then the prompt that finds no number.
    for (const std::string& input : {std::string("m\njump\n"), std::string("m\njump 1\n")}) {
        e2e::Run run = e2e::runPlayer(tree.root(), input);
        expectOrderlyEnd(run, 1, input);
        ASSERT_EQ(run.out.substr(0, started().size()), started()) << input;
        std::string last = input == "m\njump\n" ? kMinutePrompt : kMinutePrompt + kSecondPrompt;
        ASSERT_GE(run.out.size(), last.size());
        EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last) << input;
        EXPECT_TRUE(isCleanText(run.out));
    }
}

TEST_F(EndToEndBadInput, MalformedNumbersAsCommandsAndJumpTimes) {
    const std::string thirtyDigits = "123456789012345678901234567890";
    // Paused first, so that a can't end while the commands are read, one a poll. A number past
    // 50, a signed one and digits with a tail: only the tail-ended one picks a slot (12, past the
    // list, so the list starts over at a); "1x" then picks b.
    std::string commands = "p\n" + thirtyDigits + "\n-3\n+3\n-0\n99999999999\n12abc\n1x\n";
    // Jumps to minus five minutes plus three seconds, to a huge time, and to "12abc" seconds;
    // the time line after each.
    commands += "jump\n-5\n+3\ntime\njump\n" + thirtyDigits + "\n12abc\ntime\njump\n-" + thirtyDigits +
                "\n-" + thirtyDigits + "\ntime\nexit\n";
    e2e::Run run = e2e::runPlayer(tree.root(), "m\n" + commands);
    expectOrderlyEnd(run, 1, "numbers");
    EXPECT_TRUE(isCleanText(run.out));
    ASSERT_EQ(run.out.substr(0, started().size()), started());
    // The huge jump sets the clock past b's end: the track is over and a follows.
    std::vector<std::string> names = promptedNames(run.out);
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"a", "a", "a", "b"}));
    // Every time line is whole numbers around " / ", with a full 30-wide bar after it.
    std::size_t timeLines = 0;
    for (auto at = run.out.find(" sec / "); at != std::string::npos; at = run.out.find(" sec / ", at + 1)) {
        ++timeLines;
        auto barStart = run.out.find('\n', at) + 1;
        std::string bar = run.out.substr(barStart, 31);
        EXPECT_EQ(bar.find_first_not_of(">."), 30u) << bar;
        EXPECT_EQ(bar.back(), '\n');
    }
    EXPECT_EQ(timeLines, 6u);  // three jumps, three time commands
}

TEST_F(EndToEndBadInput, TenMegabyteWords) {
    const std::size_t tenMegabytes = 10u << 20;
    // At the directory prompt it is a directory that does not exist; at the command prompt one
    // word that is no command, then one read as "next" by its first letter; at the minute prompt
    // a number held far from overflow.
    std::string input = std::string(tenMegabytes, 'a') + "\nm\np\n" + std::string(tenMegabytes, 'x') + " " +
                        "n" + std::string(tenMegabytes, 'x') + "\njump\n" + std::string(tenMegabytes, '7') +
                        "\n0\nexit\n";
    e2e::Run run = e2e::runPlayer(tree.root(), input);
    expectOrderlyEnd(run, 1, "ten megabyte words");
    EXPECT_TRUE(isCleanText(run.out));
    std::string expected = kAsk + kDirPrompt + kFailed + kDirPrompt + "0 | a\n1 | b\n\n" + prompt("a") +
                           prompt("a") + "\n" + prompt("b");
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_NE(run.out.find(kSecondPrompt), std::string::npos);

    // A huge word that input ends inside; paused first, so that a slow reader (valgrind) does not
    // let track a end while it takes the word in.
    run = e2e::runPlayer(tree.root(), "m\np\n" + std::string(tenMegabytes, 'q'));
    expectOrderlyEnd(run, 1, "a huge last word");
    EXPECT_EQ(run.out, started() + prompt("a"));
}

TEST_F(EndToEndBadInput, FilesThatAreNotTracksAndOddNames) {
    const fs::path dir = tree.root() / "odd";
    const std::string track = shortTrack();
    writeFile(dir / "empty.mp3", "");
    writeFile(dir / "noise.mp3", randomBytes(8192, 1));
    writeFile(dir / "noise.wav", randomBytes(8192, 2));  // not an MP3 name: never listed
    writeFile(dir / "riff.mp3", "RIFF" + randomBytes(4000, 3));
    writeFile(dir / "truncated.mp3", track.substr(0, track.size() / 2 + 7));  // cut inside a frame
    fs::create_directory(dir / "x.mp3");
    fs::create_symlink("nowhere.mp3", dir / "y.mp3");
    writeFile(dir / "with  two spaces.mp3", track);
    writeFile(dir / "bad-\xff\xfe-utf8.mp3", track);
    const std::string longStem(251, 'L');  // 255 bytes with ".mp3", the longest name there is
    writeFile(dir / (longStem + ".mp3"), track);
    writeFile(dir / "ok.mp3", track);

    // Names in the order of the upper-cased bytes; '\xff' sorts after every ASCII letter.
    const std::vector<std::string> order = {
        "bad-\xff\xfe-utf8", "empty", longStem, "noise", "ok", "riff", "truncated",
        "with  two spaces",  "x",     "y"};
    std::string listing;
    for (std::size_t k = 0; k < order.size(); ++k) {
        char number[32];
        std::snprintf(number, sizeof number, "%-2zu| ", k);
        listing += number + order[k] + "\n";
    }
    // Each track: paused (so that a silent one can't end between two polls), its length on the
    // time line, then on to the next; the last wraps to the first.
    std::string commands;
    for (std::size_t k = 0; k < order.size(); ++k) commands += "p\ntime\nn\n";
    e2e::Run run = e2e::runPlayer(tree.root(), "odd\n" + commands + "exit\n");
    expectOrderlyEnd(run, 1, "odd files");

    std::string expected = kAsk + kDirPrompt + listing;
    const std::vector<bool> plays = {true, false, true, false, true, false, false, true, false, false};
    for (std::size_t k = 0; k < order.size(); ++k) {
        expected += "\n" + prompt(order[k]) + prompt(order[k]);
        // Anything that does not decode is silent and as long as nothing; the cut file keeps
        // what can be decoded of its second, which is less than a whole one.
        bool whole = plays[k];
        expected += "\n0 min 0 sec / 0 min " + std::string(whole ? "1" : "0") + " sec\n";
        expected += std::string(whole ? ">" : ".") + std::string(29, '.') + "\n" + prompt(order[k]);
    }
    expected += "\n" + prompt(order[0]);
    EXPECT_EQ(run.out, expected);
}

TEST_F(EndToEndBadInput, DirectoryOfAHundredThousandEntries) {
    // 60 000 MP3 names (in an order unlike the sorted one), 20 000 other names with a dot and
    // 20 000 without, all empty files; in memory where the system has a memory file system, since
    // making and removing them on a disk takes seconds.
    std::error_code error;
    bool inMemory = fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0;
    e2e::TempTree hugeTree = inMemory ? e2e::TempTree("/dev/shm") : e2e::TempTree();
    const fs::path dir = hugeTree.root() / "huge";
    fs::create_directory(dir);
    char name[32];
    for (int k = 0; k < 100'000; ++k) {
        int n = (k * 7919) % 100'000;
        if (n < 60'000)
            std::snprintf(name, sizeof name, "t%05d.mp3", 59'999 - n);
        else if (n < 80'000)
            std::snprintf(name, sizeof name, "n%05d.txt", n);
        else
            std::snprintf(name, sizeof name, "d%05d", n);
        int fd = ::open((dir / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name;
        ::close(fd);
    }

    // Paused, so that the silent first track can't end before the listing is asked for.
    e2e::Run run = e2e::runPlayer(hugeTree.root(), "huge\np\ndir\nexit\n");
    expectOrderlyEnd(run, 1, "huge directory");
    std::string expected = kAsk + kDirPrompt;
    for (int k = 0; k < 50; ++k) {
        std::snprintf(name, sizeof name, "%-2d| t%05d\n", k, k);
        expected += name;
    }
    expected += "\n" + prompt("t00000") + prompt("t00000") + "現在のディレクトリパス \n  " +
                fs::canonical(dir).string() + "\n" + "現在のディレクトリ直下のディレクトリ\n  .\n  ..\n";
    for (int k = 0; k < 48; ++k) {
        std::snprintf(name, sizeof name, "  d%05d\n", 80'000 + k);
        expected += name;
    }
    expected += prompt("t00000");
    EXPECT_EQ(run.out, expected);
}

// The sound libraries are a module loaded beside the binary; a binary without it still runs,
// says once that it plays silently, and takes its commands as ever.
TEST_F(EndToEndBadInput, WithoutItsSoundModuleTracksPlaySilently) {
    tree.addDirectory("alone");
    fs::copy_file(QUAVELIN_BINARY, tree.root() / "alone" / "quavelin");
    e2e::Run run = e2e::runPlayerBinary(tree.root() / "alone" / "quavelin", tree.root(), "m\nls");
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 1) << run.out;
    // Without sound a track's length is 0, so it may end (and the next one start) before the end
    // of input is seen, when the clock's second turns meanwhile.
    const std::string listed = started() + "\n0 | a\n1 | b\n" + prompt("a");
    EXPECT_TRUE(run.out == listed || run.out == listed + "\n" + prompt("b")) << run.out;
    EXPECT_EQ(run.err, "quavelin: no sound (quavelin-sound.so not found); tracks play silently.\n");
}

// A user who types only when the prompt asks must see it: the prompt of a track that has started
// (and whatever a command printed) is shown while the player waits for a key, not only once the
// next word has been typed.
TEST_F(EndToEndBadInput, PromptIsShownBeforeAnythingIsTyped) {
    std::vector<e2e::InputStep> steps = {
        {"", {}, "m\n"},
        {prompt("a"), {}, "p\n"},
        {prompt("a"), {}, "exit\n"},
    };
    e2e::Run run = e2e::runPlayer(tree.root(), steps, {}, 10);
    expectOrderlyEnd(run, 1, "typing after each prompt");
    EXPECT_EQ(run.out, started() + prompt("a"));
}

TEST_F(EndToEndBadInput, CurrentDirectoryRemovedWhilePlaying) {
    writeFile(tree.root() / "other" / "c.mp3", shortTrack());
    const fs::path doomed = tree.root() / "m";
    // Once a plays, its directory goes; the list, the next track (paused at once: it can't be
    // opened, and a silent track could end between two polls), the directory listing and a step
    // up must still behave, and another directory must still be reachable.
    std::vector<e2e::InputStep> steps = {
        {"", {}, "m\np\n"},
        {prompt("a"), [&] { fs::remove_all(doomed); }, "ls\nn\np\ndir\ncd ..\nother\nexit\n"},
    };
    e2e::Run run = e2e::runPlayer(tree.root(), steps);
    expectOrderlyEnd(run, 1, "removed directory");
    std::string expected = started() + prompt("a") + "\n0 | a\n1 | b\n" + prompt("a") + "\n" + prompt("b") +
                           prompt("b") +
                           // Nothing to show: the directory has no path and no entries any more.
                           "現在のディレクトリパス \n  \n現在のディレクトリ直下のディレクトリ\n" +
                           prompt("b") + kDirPrompt + kNoTracks + kDirPrompt + "\n" + prompt("c");
    EXPECT_EQ(run.out, expected);
}

}  // namespace
