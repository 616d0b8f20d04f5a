// The numbers that set how the sound reacts and what it costs, together, each with what it trades.
#pragma once

#include <cstdint>

namespace sound {

// A fade lasts 5 ms (at 44.1 kHz; frames are the sink's, so it is a little shorter at 48 kHz): long
// enough that a cut or a resumed sound makes no click, short enough to go unheard as a delay.
constexpr std::int64_t kFadeFrames = 220;

// A change is written this long after where the sound is heard: the time it takes to reach the
// sound server. Less and the change lands where the server has already played; more and every
// command is heard that much later.
constexpr std::int64_t kWriteAheadMs = 10;

// What the sound server's stream holds: a second, asked for a quarter at a time, so that its thread
// wakes about four times a second. More would wake it less, but the stream's memory shared with the
// server is part of the player's resident memory.
constexpr std::int64_t kQueuedMs = 1000;
constexpr std::int64_t kRequestMs = kQueuedMs / 4;

// How far behind what it has written the output can still change what the sink plays: the queue and
// what the sink itself holds ahead of the speakers (up to half a second when nothing else plays). A
// change that would reach further back lands at the oldest frame kept. Each millisecond kept costs
// 8 bytes a frame of resident memory.
constexpr std::int64_t kKeptMs = kQueuedMs + 500;

}  // namespace sound
