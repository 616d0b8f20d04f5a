#include <gtest/gtest.h>

#include "tests/unit/scenario.h"

namespace {

using scenario::runPlayer;

class Startup : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
};

const std::string kAskFirst = "初期でのカレントディレクトリを指定してください。\n";
const std::string kPrompt = "Please type to new Directory~$ ";
const std::string kNoMp3 = "このディレクトリにMP3は有りません\n移動先ディレクトリを指定してください\n";

TEST_F(Startup, MistypedThenEmptyThenFullDirectoryListsOnceAfterAllAttempts) {
    fake::addDirectory("/empty");
    fake::addFile("/empty/notes.txt");
    scenario::addTracks("/music", {"b.mp3", "A.MP3", "c.Mp3"});
    fake::type("/nowhere /empty /music exit");
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_EQ(fake::output(), kAskFirst + kPrompt + "失敗しました。\n" + kPrompt + kNoMp3 + kPrompt +
                                  "0 | A\n1 | b\n2 | c\n" + "\nQuavelin~ A~$ ");
    EXPECT_EQ(fake::currentDirectory(), "/music");
}

TEST_F(Startup, ListsTheFirstFiftyNamesInNameOrder) {
    fake::addDirectory("/many");
    for (int n = 54; n >= 0; --n)
        fake::addFile("/many/t" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".mp3");
    fake::addDirectory("/many/x.mp3");  // a directory whose name matches is taken like a file
    fake::type("/many exit");
    EXPECT_EQ(runPlayer(), 1);
    const std::string& out = fake::output();
    EXPECT_NE(out.find("0 | t00\n1 | t01\n"), std::string::npos);
    EXPECT_NE(out.find("49| t49\n\nQuavelin~ t00~$ "), std::string::npos);
    EXPECT_EQ(out.find("t50"), std::string::npos);
    EXPECT_EQ(out.find("| x\n"), std::string::npos);  // x sorts after t00..t49
}

TEST_F(Startup, NamesWithSeveralDotsAndTheBareExtension) {
    scenario::addTracks("/m", {"a.b.mp3", ".mp3", "LIVE.MP3"});
    fake::type("/m exit");
    EXPECT_EQ(runPlayer(), 1);
    EXPECT_NE(fake::output().find("0 | \n1 | a.b\n2 | LIVE\n"), std::string::npos);
}

}  // namespace
