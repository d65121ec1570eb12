// ImportWarnings: what an asset importer could not carry over, gathered so
// that a file with ten thousand of one problem reports it on one line.
//
// Contract. note() files a detail under its kind; a detail noted twice counts
// once. lines() gives one line per kind, kinds in order:
// "<kind>: <detail>, <detail>, ... (and N more)", at most six details shown.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace host {

class ImportWarnings {
public:
    void note(const std::string& kind, const std::string& detail) { details_[kind].insert(detail); }
    std::vector<std::string> lines() const;

private:
    std::map<std::string, std::set<std::string>> details_;
};

}  // namespace host
