// The thin layer over the operating system. The player calls only these plain functions; CMake
// links one implementation (POSIX or Windows), and the tests link a fake with a virtual clock,
// scripted input and an in-memory directory tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---- Clock --------------------------------------------------------------------------------
// Calendar seconds. Kept 64-bit everywhere so that stamps stay right past 2038.
std::int64_t clockSeconds();
// Milliseconds of a steady clock (never set back): the pace of the playback loop's checks.
std::int64_t clockMs();

// ---- Random numbers (the shuffle pick) ------------------------------------------------------
void seedRandom(std::uint32_t seed);
int randomNumber();  // 0 .. RAND_MAX of the platform

// ---- Input: one buffered stream over standard input ---------------------------------------
// Every read flushes the output first, so the prompt in front of it is always visible.

// Reads one white-space-delimited word into buf (size bytes with the terminating zero). Leading
// blanks and line ends are skipped; a longer word is cut to the buffer and the rest of it is
// discarded. Whatever follows the word stays for the next read. False at end of input.
bool readWord(char* buf, std::size_t size);

// Reads an answer at a directory prompt into buf (size bytes with the terminating zero): a word as
// readWord does, or, when it begins with a double quote, everything up to the closing quote or the
// end of the line (blanks included, the quotes left out; quoted tells which). False at end of input.
bool readPath(char* buf, std::size_t size, bool& quoted);

// Reads one byte; -1 at end of input.
int readChar();

// Waits up to timeoutMs (0: not at all) until a command can be read without waiting for the user:
// a whole word, ended by a blank or a line end, is buffered, or the end of input has been seen. A
// leftover line end alone is not, nor is half a word: its bytes stay buffered until its end comes.
// A command waiting from the desktop's bus (desktop_bus.h) counts as well.
// Returns as soon as one can, true; false when the time is up. Flushes the output first, so
// whatever the player printed is seen while it waits.
bool waitForInput(int timeoutMs);

// Whether a whole typed word (or the end of input) can be read at once, taking in what standard
// input has ready without waiting for more. While calls from the desktop's bus wait, this tells
// whether the keyboard waits too.
bool typedWordWaiting();

// The words Tab completes at the player's prompts where standard input and output are a terminal
// with a line editor (POSIX); at a directory question it completes directories. Elsewhere unused.
void offerCompletions(std::vector<std::string> words);

// ---- Output ---------------------------------------------------------------------------------
// The player's own messages, written in the source as UTF-8; converted to the console's
// character set (POSIX: code page 932 in Shift_JIS locales; Windows: UTF-16 to a console, code
// page 932 to a pipe or a file).
void writeText(std::string_view utf8);
// File names, paths and plain ASCII. POSIX writes them exactly as the file system holds them;
// Windows holds every name as UTF-8 and converts it as writeText does ('?' for a character that
// code page 932 lacks).
void writeBytes(std::string_view bytes);
void flushOutput();
// Complaints about the command line, on standard error, in the console's encoding.
void writeError(std::string_view utf8);

// ---- Directories ------------------------------------------------------------------------------
constexpr std::size_t kNameBytes = 256;
using NameSlot = std::array<char, kNameBytes>;

enum class NamePattern {
    Mp3Files,         // names ending in .mp3, letters compared without regard to case
    NamesWithoutDot,  // names without any '.', plus "." and ".."
};

// Stores up to out.size() names of the current directory that match pattern, each zero-terminated,
// in the platform's order (on POSIX: sorted by name with ASCII letters upper-cased, the order of
// the Windows file system). Names longer than 255 bytes are skipped. Returns the number stored,
// or -1 when the directory can't be searched.
int findNames(NamePattern pattern, std::span<NameSlot> out);

// Makes path the current directory; true on success.
bool enterDirectory(const char* path);
// The whole current directory path, however long; empty when it can't be read.
std::string currentDirectory();

// ---- Command line -----------------------------------------------------------------------------
// The arguments after the program's name, as UTF-8 (on Windows read again from the wide command
// line, since argv there holds only what the ANSI code page can say).
std::vector<std::string> commandLineArguments(int argc, char** argv);

}  // namespace platform
