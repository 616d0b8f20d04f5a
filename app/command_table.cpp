#include "app/command_table.h"

#include <array>
#include <string>
#include <vector>

namespace {

enum class Match {
    WholeWord,    // only the word itself, as typed, in lower case
    FirstLetter,  // any word that begins with the word's first letter
    Digits,       // any word that begins with a digit
    HelpOnly,     // no command: a row of the help screen alone
};

struct Command {
    std::string_view word;
    Match match;
    Action action;
    std::string_view help;  // empty: no row on the help screen
};

constexpr std::string_view kBeforeHelp =
    "現在再生されている曲の前の曲を再生します\n"
    "但し、再生開始後4秒を基準にそれ以前なら前の曲\n"
    "それ以後はその曲を再生します。";
constexpr std::string_view kNextHelp = "現在再生されている曲の次の曲を再生します";

// In the order of the help screen's rows. The order decides nothing else: a typed word is first
// looked for among the whole words, wherever they stand, and only then among the first letters and
// the digits, so that a row added anywhere is reached by its own word.
constexpr std::array kCommands{
    Command{"before", Match::FirstLetter, beforeAction, kBeforeHelp},
    Command{"next", Match::FirstLetter, nextAction, kNextHelp},
    Command{"b", Match::HelpOnly, nullptr, kBeforeHelp},
    Command{"n", Match::HelpOnly, nullptr, kNextHelp},
    Command{"alloop", Match::WholeWord, alloopAction,
            "初期状態で最後の曲が終わると最初の曲に行ますが、それをoffに出来ます\n"
            "もう一度入力すると戻ります"},
    Command{"ls", Match::WholeWord, listAction, "全曲一覧を表示します"},
    Command{"time", Match::WholeWord, timeAction, "曲の長さと、既に再生された時間を表示します."},
    Command{"stop", Match::WholeWord, stopAction,
            "再生を停止しますenterを入力すると最後に再生された曲の次から再生します."},
    Command{"exit", Match::WholeWord, exitAction, "Sorvaquinを終了します."},
    Command{"shuffle", Match::WholeWord, shuffleAction, "ランダム再生です、もう一度実行すると戻ります。"},
    Command{"help", Match::WholeWord, helpAction,
            "この機能です\nhelpを表示します\nコマンドには以下があります\n\n"
            "befor\nnext\nb\nn\nalloop\nls\nexit\nshuffle\nhelp\nloop"},
    Command{"loop", Match::WholeWord, loopAction, "一曲を繰り返し再生します。もう一度実行すると戻ります。"},
    Command{"pause", Match::FirstLetter, pauseAction, "曲を一時停止します"},
    Command{"p", Match::HelpOnly, nullptr, "pauseと同様に曲を一時停止します"},
    Command{"rel", Match::FirstLetter, resumeAction, "一時停止から再開します"},
    Command{"r", Match::HelpOnly, nullptr, "relと同様に曲を一時停止から再開します"},
    Command{"cd", Match::WholeWord, changeDirectoryAction,
            "ディレクトリを移動します。\n入力を促す表示がされますので\n"
            "移動先のディレクトリを指定してください\n相対パス、絶対パスは問いません。\n"
            "現在のパスはdirコマンドで取得可能です\n"},
    Command{"dir", Match::WholeWord, showDirectoryAction, "現在のディレクトリのパスを取得します。\n"},
    Command{"jump", Match::WholeWord, jumpAction, "指定した時点へジャンプします\n"},
    Command{"f", Match::WholeWord, seekForwardAction, ""},
    Command{"d", Match::WholeWord, seekBackAction, ""},
    Command{"0", Match::Digits, pickAction, ""},
};

bool matches(const Command& command, std::string_view word) {
    switch (command.match) {
        case Match::WholeWord: return word == command.word;
        case Match::FirstLetter: return !word.empty() && word[0] == command.word[0];
        case Match::Digits: return !word.empty() && word[0] >= '0' && word[0] <= '9';
        case Match::HelpOnly: break;
    }
    return false;
}

}  // namespace

Action actionFor(std::string_view word) {
    for (const Command& command : kCommands)
        if (command.match == Match::WholeWord && matches(command, word)) return command.action;
    for (const Command& command : kCommands)
        if (command.match != Match::WholeWord && matches(command, word)) return command.action;
    return nullptr;
}

std::vector<std::string> typedCommandWords() {
    std::vector<std::string> words;
    for (const Command& command : kCommands)
        if (command.action != nullptr && command.match != Match::Digits) words.emplace_back(command.word);
    return words;
}

std::optional<std::string_view> helpTextFor(std::string_view word) {
    for (const Command& command : kCommands)
        if (!command.help.empty() && word == command.word) return command.help;
    return std::nullopt;
}
