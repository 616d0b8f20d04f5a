// The real platforms keep the input buffer for the whole run.
#include "platform/stdin_source.h"

platform::detail::InputBuffer& platform::detail::inputBuffer() {
    static InputBuffer buffer;
    return buffer;
}
