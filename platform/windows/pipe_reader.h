// Standard input from a pipe, read ahead by a thread of its own so that "is input waiting" can be
// answered at once. PeekNamedPipe would do on Windows itself, but wine does not support it on the
// pipes it hands a program (ERROR_NOT_SUPPORTED), and there a script-driven player would freeze
// in a blocking read. The thread works the same on both.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::detail {

// Starts the reader on the pipe handle the first time it is called; later calls ignore handle.
void startPipeReader(HANDLE pipe);

// Waits for bytes or the end of input; 0 at the end.
std::size_t pipeRead(char* buf, std::size_t size);

// Waits up to timeoutMs for bytes or the end of input; true when they are there to be taken.
bool pipeWait(int timeoutMs);

}  // namespace platform::detail
