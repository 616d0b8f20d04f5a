#include "app/command_line.h"

#include <array>
#include <optional>
#include <string_view>

#include "app/player.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kUsageLine = "Usage: quavelin [OPTION]... [DIRECTORY]\n";
constexpr std::string_view kUsageRest =
    "Plays the MP3 files of DIRECTORY one after another and takes one-word commands\n"
    "at its prompt. Without DIRECTORY it asks for one.\n"
    "\n"
    "  DIRECTORY      where to start: taken as the answer to the first question\n"
    "                 for a directory\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --no-mpris     stay off the desktop's bus: no media keys, no playerctl\n"
    "  --             end of the options: what follows is the directory\n"
    "\n"
    "In the player, \"help\" and a command word explain that command; the manual\n"
    "is \"man quavelin\".\n";

enum class Option { Help, Version, NoMpris };

struct OptionName {
    std::string_view shortName;
    std::string_view longName;
    Option option;
};

constexpr std::array kOptions{
    OptionName{"-h", "--help", Option::Help},
    OptionName{"-V", "--version", Option::Version},
    OptionName{"", "--no-mpris", Option::NoMpris},
};

int usageError(const std::string& message) {
    platform::writeError("quavelin: " + message + "\n");
    platform::writeError(kUsageLine);
    return 2;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments) {
    std::optional<std::string> directory;
    bool optionsEnded = false, onDesktopBus = true;
    for (const std::string& argument : arguments) {
        bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (isOption && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (isOption) {
            const OptionName* found = nullptr;
            for (const OptionName& name : kOptions)
                if (argument == name.shortName || argument == name.longName) found = &name;
            if (found == nullptr) return usageError("unknown option '" + argument + "'");
            if (found->option == Option::NoMpris) {
                onDesktopBus = false;
                continue;
            }
            if (found->option == Option::Version) {
                platform::writeBytes("quavelin " QUAVELIN_VERSION "\n");
            } else {
                platform::writeBytes(kUsageLine);
                platform::writeBytes(kUsageRest);
            }
            return 0;
        }
        if (directory) return usageError("one directory at most ('" + argument + "' is a second one)");
        directory = argument;
    }
    return runPlayer(directory, onDesktopBus);
}
