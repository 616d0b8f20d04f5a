#include "platform/windows/pipe_reader.h"

#include <array>
#include <cstring>

namespace platform::detail {
namespace {

// Filled by the reader thread one chunk at a time, emptied by the player's thread. Everything here
// is trivially destructible on purpose: the reader may still be blocked in ReadFile while the
// process ends, and no destructor may pull the lock away from under it.
struct Shared {
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed;
    std::array<char, 4096> bytes;
    std::size_t head;     // next byte to hand out
    std::size_t pending;  // bytes not yet handed out
    bool ended;           // the pipe's writer has gone (or a read failed)
};

Shared shared;
HANDLE source = nullptr;
bool started = false;

DWORD WINAPI readerThread(void*) {
    std::array<char, 4096> chunk;
    for (;;) {
        DWORD got = 0;
        // Zero bytes is the end: a Windows pipe fails with ERROR_BROKEN_PIPE, wine reads 0.
        bool ok = ReadFile(source, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0;
        EnterCriticalSection(&shared.lock);
        while (shared.pending > 0) SleepConditionVariableCS(&shared.changed, &shared.lock, INFINITE);
        if (ok) {
            std::memcpy(shared.bytes.data(), chunk.data(), got);
            shared.head = 0;
            shared.pending = got;
        } else {
            shared.ended = true;
        }
        WakeAllConditionVariable(&shared.changed);
        LeaveCriticalSection(&shared.lock);
        if (!ok) return 0;
    }
}

}  // namespace

void startPipeReader(HANDLE pipe) {
    if (started) return;
    started = true;
    source = pipe;
    InitializeCriticalSection(&shared.lock);
    InitializeConditionVariable(&shared.changed);
    HANDLE thread = CreateThread(nullptr, 0, readerThread, nullptr, 0, nullptr);
    if (thread == nullptr) {
        shared.ended = true;  // no reader: the input can't be read at all
        return;
    }
    CloseHandle(thread);  // the thread runs on by itself until the end of input
}

std::size_t pipeRead(char* buf, std::size_t size) {
    EnterCriticalSection(&shared.lock);
    while (shared.pending == 0 && !shared.ended)
        SleepConditionVariableCS(&shared.changed, &shared.lock, INFINITE);
    std::size_t taken = shared.pending < size ? shared.pending : size;
    std::memcpy(buf, shared.bytes.data() + shared.head, taken);
    shared.head += taken;
    shared.pending -= taken;
    if (shared.pending == 0) WakeAllConditionVariable(&shared.changed);
    LeaveCriticalSection(&shared.lock);
    return taken;
}

bool pipeWait(int timeoutMs) {
    EnterCriticalSection(&shared.lock);
    if (shared.pending == 0 && !shared.ended && timeoutMs > 0)
        SleepConditionVariableCS(&shared.changed, &shared.lock, static_cast<DWORD>(timeoutMs));
    bool ready = shared.pending > 0 || shared.ended;
    LeaveCriticalSection(&shared.lock);
    return ready;
}

}  // namespace platform::detail
