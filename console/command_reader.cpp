#include "console/command_reader.h"

#include <array>
#include <cstring>

#include "platform/platform.h"

namespace {

struct WholeWord {
    const char* word;
    CommandCode code;
};

// Whole words, each matched only as typed, in lower case.
constexpr std::array<WholeWord, 11> kWholeWords{{
    {"stop", CmdStop},
    {"exit", CmdExit},
    {"ls", CmdList},
    {"time", CmdTime},
    {"alloop", CmdAllLoop},
    {"help", CmdHelp},
    {"shuffle", CmdShuffle},
    {"loop", CmdLoop},
    {"cd", CmdChangeDir},
    {"dir", CmdDir},
    {"jump", CmdJump},
}};

// The run of digits at the start of word, as a code. Anything past 50 does nothing, so a long run
// is held at a value that can't overflow and still lands above every track code.
CommandCode trackCode(const char* word) {
    constexpr CommandCode kHeld = 1'000'000;
    CommandCode value = 0;
    for (const char* c = word; *c >= '0' && *c <= '9'; ++c) {
        value = value * 10 + (*c - '0');
        if (value > kHeld) value = kHeld;
    }
    return value + kTrackCodeBase;
}

}  // namespace

CommandCode commandForWord(const char* word) {
    // The four commands that also answer to any word beginning with their letter.
    switch (word[0]) {
        case 'n': return CmdNext;
        case 'b': return CmdBefore;
        case 'p': return CmdPause;
        case 'r': return CmdResume;
        default: break;
    }
    for (const WholeWord& entry : kWholeWords)
        if (std::strcmp(word, entry.word) == 0) return entry.code;
    if (std::strcmp(word, "f") == 0) return CmdForward10;
    if (std::strcmp(word, "d") == 0) return CmdBack10;
    if (word[0] >= '0' && word[0] <= '9') return trackCode(word);
    return CmdNone;
}

CommandCode readCommand() {
    std::array<char, 256> cmd{};
    if (!platform::readWord(cmd.data(), cmd.size())) return CmdExit;
    return commandForWord(cmd.data());
}
