#include "console/help_screen.h"

#include <array>
#include <cstring>

#include "console/output.h"
#include "platform/platform.h"

namespace {

// The command words and their texts, row by row. "b" and "n" carry the texts of "before" and
// "next"; "d", "f" and track numbers have no row.
constexpr std::array<const char*, kHelpEntries> hlp{
    "before", "next", "b",     "n", "alloop", "ls", "time", "stop", "exit", "shuffle",
    "help",   "loop", "pause", "p", "rel",    "r",  "cd",   "dir",  "jump",
};

constexpr const char* kBeforeText =
    "現在再生されている曲の前の曲を再生します\n"
    "但し、再生開始後4秒を基準にそれ以前なら前の曲\n"
    "それ以後はその曲を再生します。";
constexpr const char* kNextText = "現在再生されている曲の次の曲を再生します";

constexpr std::array<const char*, kHelpEntries> hlp_naka{
    kBeforeText,
    kNextText,
    kBeforeText,
    kNextText,
    "初期状態で最後の曲が終わると最初の曲に行ますが、それをoffに出来ます\n"
    "もう一度入力すると戻ります",
    "全曲一覧を表示します",
    "曲の長さと、既に再生された時間を表示します.",
    "再生を停止しますenterを入力すると最後に再生された曲の次から再生します.",
    "Sorvaquinを終了します.",
    "ランダム再生です、もう一度実行すると戻ります。",
    "この機能です\nhelpを表示します\nコマンドには以下があります\n\n"
    "befor\nnext\nb\nn\nalloop\nls\nexit\nshuffle\nhelp\nloop",
    "一曲を繰り返し再生します。もう一度実行すると戻ります。",
    "曲を一時停止します",
    "pauseと同様に曲を一時停止します",
    "一時停止から再開します",
    "relと同様に曲を一時停止から再開します",
    "ディレクトリを移動します。\n入力を促す表示がされますので\n"
    "移動先のディレクトリを指定してください\n相対パス、絶対パスは問いません。\n"
    "現在のパスはdirコマンドで取得可能です\n",
    "現在のディレクトリのパスを取得します。\n",
    "指定した時点へジャンプします\n",
};

}  // namespace

void showHelp() {
    printBytes("please type to cmd ~$");
    std::array<char, 256> hlpcmd{};
    if (!platform::readWord(hlpcmd.data(), hlpcmd.size())) platform::exitProcess(1);
    for (int row = 0; row < kHelpEntries; ++row) {
        if (std::strcmp(hlpcmd.data(), hlp[row]) == 0) {
            printText(hlp_naka[row]);
            printBytes("\n");
            return;
        }
    }
    printText("コマンドが無効です。\n");
}
