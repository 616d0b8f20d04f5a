// A whole session of the real player through a pipe: every kind of command, byte for byte (only
// the seconds of the time lines, which follow the wall clock, are masked).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/e2e/run_player.h"

namespace {

namespace fs = std::filesystem;

TEST(EndToEndSession, EveryCommandPrintsItsTextsAndKeepsPlaying) {
    e2e::TempTree tree;
    const fs::path track = fs::path(QUAVELIN_SOURCE_DIR) / "tests/audio/fixtures/cbr.mp3";  // 15 s
    for (const char* name : {"music/a.mp3", "music/b.mp3", "music/sub/c.mp3"}) {
        tree.addFile(name);
        fs::copy_file(track, tree.root() / name, fs::copy_options::overwrite_existing);
    }
    tree.addFile("music/README");
    tree.addDirectory("music/x.y");

    e2e::Run run =
        e2e::runPlayer(tree.root(), "music\nls\nhelp ls\ndir\nf\ntime\nd\njump 0 3\nn\ncd sub\nexit\n");
    ASSERT_FALSE(run.timedOut) << run.out;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");

    const std::string out = std::regex_replace(
        run.out, std::regex("\n-?[0-9]+ min -?[0-9]+ sec / 0 min 15 sec\n[>.]{30}\n"), "\n<time>\n");
    const std::string a = "Quavelin~ a~$ ";
    const std::string path = fs::canonical(tree.root() / "music").string();
    EXPECT_EQ(out,
              "初期でのカレントディレクトリを指定してください。\nPlease type to new Directory~$ "
              "0 | a\n1 | b\n\n" +
                  a + "\n0 | a\n1 | b\n" + a +                                      // ls
                  "\nコマンドの状態\nshuffle  off\nloop     off\nalloop   off\n\n"  // help ls
                  "please type to cmd ~$全曲一覧を表示します\n" +
                  a + "現在のディレクトリパス \n  " + path +                                        // dir
                  "\n現在のディレクトリ直下のディレクトリ\n  .\n  ..\n  README\n  sub\n" + a + a +  // f
                  "\n<time>\n" + a +                                                                // time
                  a +                                                                               // d
                  "\n<time>\n移動先時間指定 分単位 ~$ 移動先時間指定 秒単位 ~$ " + a +              // jump
                  "\nQuavelin~ b~$ " +                                                              // n
                  "Please type to new Directory~$ \nQuavelin~ c~$ ");                               // cd sub
}

}  // namespace
