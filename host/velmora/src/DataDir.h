// Where the studio's data lives: beside this library, at the path the
// install gives it (language files in lang/, models.ini, script modules in
// scripts/). The build tree has the same layout.
#pragma once

#include <string>

namespace velmora {
// Absolute; "" when the library's own file cannot be found.
const std::string& DataDir();
}  // namespace velmora
