#include "host/import_warnings.h"

namespace host {

std::vector<std::string> ImportWarnings::lines() const {
    constexpr std::size_t kShown = 6;
    std::vector<std::string> out;
    for (const auto& [kind, details] : details_) {
        std::string line = kind + ": ";
        std::size_t shown = 0;
        for (const std::string& d : details) {
            if (shown == kShown) break;
            line += (shown++ ? ", " : "") + d;
        }
        if (details.size() > kShown)
            line += " (and " + std::to_string(details.size() - kShown) + " more)";
        out.push_back(line);
    }
    return out;
}

}  // namespace host
