#include "bench/player/child.h"

#include <dirent.h>

#include <cstdlib>
#include <fstream>

extern char** environ;

namespace bench {

Usage Child::finish(std::chrono::milliseconds timeout) {
    closeInput();
    harness::Ended ended = wait(Clock::now() + timeout);
    const rusage& r = ended.resources;
    return {static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6,
            r.ru_maxrss, ended.status, ended.timedOut};
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    return env;
}

std::vector<std::string> environmentWith(std::vector<std::string> base,
                                         const std::vector<std::string>& extra) {
    for (const std::string& entry : extra) {
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(base, [&](const std::string& e) { return e.starts_with(name); });
        base.push_back(entry);
    }
    return base;
}

std::int64_t threadCpuNs(pid_t pid, pid_t tid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/schedstat");
    std::int64_t ns = 0;
    stat >> ns;
    return ns;
}

std::vector<pid_t> threadsOf(pid_t pid) {
    std::vector<pid_t> tids;
    std::string path = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') tids.push_back(static_cast<pid_t>(std::atoi(entry->d_name)));
        ::closedir(dir);
    }
    return tids;
}

}  // namespace bench
