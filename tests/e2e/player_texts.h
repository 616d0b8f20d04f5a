// The player's own texts as the real binary prints them in the C locale (UTF-8), for comparing its
// output byte for byte.
#pragma once

#include <regex>
#include <string>

namespace e2e {

inline const std::string kAsk = "初期でのカレントディレクトリを指定してください。\n";
inline const std::string kDirPrompt = "Please type to new Directory~$ ";
inline const std::string kFailed = "失敗しました。\n";
inline const std::string kNoTracks =
    "このディレクトリにMP3は有りません\n"
    "移動先ディレクトリを指定してください\n";
inline const std::string kExiting = "終了します\n";
inline const std::string kHelpModes =
    "\nコマンドの状態\nshuffle  off\nloop     off\nalloop   off\n\nplease type to cmd ~$";
inline const std::string kMinutePrompt = "移動先時間指定 分単位 ~$ ";
inline const std::string kSecondPrompt = "移動先時間指定 秒単位 ~$ ";

inline std::string prompt(const std::string& track) { return "Quavelin~ " + track + "~$ "; }

// The time line and its bar follow the wall clock: each becomes "<time>". A negative time is never
// shown, so it is left to stand out.
inline std::string maskTimes(const std::string& out) {
    static const std::regex timeLine("\n[0-9]+ min [0-9]+ sec / [0-9]+ min [0-9]+ sec\n[>.]{30}\n");
    return std::regex_replace(out, timeLine, "\n<time>\n");
}

}  // namespace e2e
