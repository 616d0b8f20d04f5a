// SDL's sink loaded from its own module, quavelin-sound-sdl.so, next to this one: SDL and the fifty
// libraries Debian's SDL2 brings are loaded only where no sound server answers.
#include <dlfcn.h>

#include <string>

#include "audio/posix/sink.h"

namespace sound {

int openSdlSink(QuavelinRender render, QuavelinSink& sink, bool silentOnly) {
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&openSdlSink), &self) == 0 || self.dli_fname == nullptr) return 0;
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + kSdlModuleFileName;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return 0;
    auto open = reinterpret_cast<QuavelinOpenSdlSink>(::dlsym(handle, kOpenSdlSinkName));
    return open != nullptr ? open(render, &sink, silentOnly ? 1 : 0) : 0;
}

}  // namespace sound
