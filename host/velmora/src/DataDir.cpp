#include "DataDir.h"

#include <dlfcn.h>

#include <filesystem>

namespace velmora {

const std::string& DataDir() {
    static const std::string dir = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<const void*>(&DataDir), &info) || !info.dli_fname) return std::string();
        // The library's own folder, with the links that led to it resolved:
        // a link to the library elsewhere still finds the installed data.
        std::error_code ec;
        const std::filesystem::path lib = std::filesystem::canonical(info.dli_fname, ec);
        if (ec) return std::string();
        return (lib.parent_path() / VELMORA_DATA_FROM_LIBDIR).lexically_normal().string();
    }();
    return dir;
}

}  // namespace velmora
