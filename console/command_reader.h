// One typed word becomes a command code.
#pragma once

#include <cstdint>

using CommandCode = std::int32_t;

constexpr CommandCode CmdStop = -8;
constexpr CommandCode CmdBack10 = -7;
constexpr CommandCode CmdResume = -6;
constexpr CommandCode CmdPause = -5;
constexpr CommandCode CmdLoop = -4;
constexpr CommandCode CmdShuffle = -3;
constexpr CommandCode CmdHelp = -2;
constexpr CommandCode CmdBefore = -1;
constexpr CommandCode CmdNone = 0;
constexpr CommandCode CmdNext = 1;
constexpr CommandCode CmdExit = 2;
constexpr CommandCode CmdList = 3;
constexpr CommandCode CmdTime = 4;
constexpr CommandCode CmdAllLoop = 5;
constexpr CommandCode CmdChangeDir = 6;
constexpr CommandCode CmdDir = 7;
constexpr CommandCode CmdJump = 8;
constexpr CommandCode CmdForward10 = 9;
// A typed track number n arrives as n + kTrackCodeBase.
constexpr CommandCode kTrackCodeBase = 10;

// The code of one word as the rules give it; words are cut to 255 bytes.
CommandCode commandForWord(const char* word);
// Reads one word and returns its code; CmdExit at the end of input.
CommandCode readCommand();
