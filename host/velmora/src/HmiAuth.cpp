#include <fstream>
#include <map>
#include <sstream>

#include "DataDir.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/wstr.h"

namespace {
std::string ShippedModels() { return velmora::DataDir() + "/models.ini"; }

struct ModelState {
    std::string file = ShippedModels();
    std::string model;
    std::map<std::string, int64_t> limits;
};

ModelState& State() {
    static ModelState state;
    return state;
}

// Reads the limits of one model; false when the model has no section.
bool ReadModel(const std::string& path, const std::string& model, std::map<std::string, int64_t>& out) {
    std::string bytes;
    winfiles::ReadRegularFile(path, &bytes, size_t{16} << 20);
    std::istringstream f(bytes);
    std::string line, section;
    bool found = false;
    while (std::getline(f, line)) {
        line = TrimLine(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = TrimLine(line.substr(1, line.size() - 2));
            found = found || section == model;
            continue;
        }
        if (section != model) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        try {
            out[TrimLine(line.substr(0, eq))] = std::stoll(TrimLine(line.substr(eq + 1)));
        } catch (...) {
            // A value that is not a number is no limit.
        }
    }
    return found;
}
}  // namespace

CHmiAuth* CHmiAuth::getSingleton() {
    static CHmiAuth auth;
    return &auth;
}

bool CHmiAuth::getModelDataLimit(const std::string& key, int64_t& value, const std::string& /*subKey*/) {
    const auto& limits = State().limits;
    auto it = limits.find(key);
    if (it == limits.end()) return false;
    value = it->second;
    return true;
}

namespace velmora {
void SetModelDataFile(const std::string& path) {
    State().file = path.empty() ? ShippedModels() : path;
    State().limits.clear();
    State().model.clear();
}

bool SetPanelModel(const std::string& model) {
    std::map<std::string, int64_t> limits;
    if (!ReadModel(State().file, model, limits)) return false;
    State().model = model;
    State().limits.swap(limits);
    return true;
}
}  // namespace velmora
