// Declared element counts against the size of the file.
#include "host/assimp/declared_counts.h"

#include <cctype>
#include <sstream>

namespace host::assimp::detail {

namespace {

std::string tooLarge(const std::string& what, const std::string& count, std::uint64_t size) {
    return what + " declares " + count + " elements, more than the file's " + std::to_string(size) +
           " bytes can hold";
}

// Whether the decimal `digits` exceed `limit` (no overflow on long numbers).
bool exceeds(const std::string& digits, std::uint64_t limit) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (value > (UINT64_MAX - 9) / 10) return true;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value > limit;
}

std::string checkPly(const std::string& head, std::uint64_t size) {
    std::istringstream lines(head);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        if (line.rfind("end_header", 0) == 0) {
            ended = true;
            break;
        }
        std::istringstream words(line);
        std::string keyword, name, count;
        if (!(words >> keyword >> name >> count) || keyword != "element") continue;
        if (count.find_first_not_of("0123456789") != std::string::npos)
            return "PLY header: element " + name + " has no count";
        if (exceeds(count, size)) return tooLarge("PLY header: element " + name, count, size);
    }
    // assimp's reader never returns from a header that does not end.
    if (!ended) return "PLY header: no end_header line (is the file cut short?)";
    return "";
}

// Every count="N" attribute of an XML file (COLLADA arrays and accessors).
std::string checkXmlCounts(const std::string& head, std::uint64_t size) {
    static const std::string key = "count=\"";
    for (std::size_t at = head.find(key); at != std::string::npos; at = head.find(key, at + 1)) {
        std::size_t end = at + key.size();
        while (end < head.size() && std::isdigit(static_cast<unsigned char>(head[end]))) ++end;
        const std::string count = head.substr(at + key.size(), end - at - key.size());
        if (!count.empty() && exceeds(count, size)) return tooLarge("an array", count, size);
    }
    return "";
}

}  // namespace

std::string checkDeclaredCounts(const std::string& head, std::uint64_t fileSize) {
    if (head.rfind("ply", 0) == 0) return checkPly(head, fileSize);
    if (head.find("<COLLADA") != std::string::npos) return checkXmlCounts(head, fileSize);
    return "";
}

}  // namespace host::assimp::detail
