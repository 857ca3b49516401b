// tamsel-studio faces: the system font map as the module builds it.
#include <cstdio>
#include <iostream>

#include "Studio.h"
#include "Tamsel.h"
#include "win/profile.h"

namespace studio {

const char* kFacesUsage = "  faces                  print the installed faces: face, pack name, file, size in MB\n";

int RunFaces(const Options& opt, std::ostream& out) {
    if (opt.positional.size() != 1) throw StudioError{"faces takes no arguments", kUsage};
    LoadProfile(opt);
    MakeFontMap();
    out << PackNameMap.size() << " face(s) in " << winprofile::FontsDir() << "\n";
    for (const auto& kv : PackNameMap) {
        const auto file = FontFileMap.find(kv.first);
        const auto size = FontSizeMap.find(kv.first);
        char mb[32];
        std::snprintf(mb, sizeof mb, "%.2f", size == FontSizeMap.end() ? 0.0 : size->second);
        out << Narrow(kv.first.c_str()) << "\t" << Narrow(kv.second.c_str()) << "\t"
            << (file == FontFileMap.end() ? std::string("-") : Narrow(file->second.c_str())) << "\t" << mb << "\n";
    }
    return kOk;
}

}  // namespace studio
