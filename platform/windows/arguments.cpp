// The arguments as UTF-8, read again from the wide command line: the argv of main holds them in
// the ANSI code page, where a name in another script is lost to question marks.
#include <windows.h>

#include <shellapi.h>

#include "platform/platform.h"
#include "platform/windows/wide_text.h"

namespace platform {

std::vector<std::string> commandLineArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int k = 1; k < count; ++k) arguments.push_back(detail::utf8FromWide(wide[k]));
    LocalFree(wide);
    return arguments;
}

}  // namespace platform
