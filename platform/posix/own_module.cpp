#include "platform/posix/own_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace platform {
namespace {

// The directory of the running binary, with its trailing '/'; empty when it can't be told.
std::string binaryDirectory() {
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string found;
    if (length > 0) {
        found.assign(path, static_cast<std::size_t>(length));
    } else {
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void*>(&binaryDirectory), &info) != 0 && info.dli_fname != nullptr)
            found = info.dli_fname;
    }
    std::size_t slash = found.rfind('/');
    return slash == std::string::npos ? std::string() : found.substr(0, slash + 1);
}

}  // namespace

void* ownModuleEntry(const char* fileName, const char* entryName, std::string& failure) {
    std::string directory = binaryDirectory();
    void* handle = nullptr;
    failure = std::string(fileName) + " not found";
    // Next to the binary first (the build tree), then where an installation puts it.
    for (const char* place : {"", QUAVELIN_MODULES_FROM_BINARY}) {
        std::string path = directory + place + fileName;
        if (directory.empty() || ::access(path.c_str(), F_OK) != 0) continue;
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) break;
        const char* reason = ::dlerror();
        failure = reason != nullptr ? reason : path + " could not be loaded";
    }
    if (handle == nullptr) return nullptr;
    void* entry = ::dlsym(handle, entryName);
    if (entry == nullptr) failure = std::string(fileName) + " lacks its entry point";
    return entry;
}

}  // namespace platform
