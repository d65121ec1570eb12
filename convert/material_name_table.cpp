#include "convert/material_name_table.h"

#include <cmath>
#include <string_view>

namespace convert {

namespace {

// -1, 0, 1 in a total order of doubles: numbers as usual (0 and -0 equal),
// every NaN equal to every other and above every number.
int compareNumbers(double a, double b) {
    const bool aNaN = std::isnan(a);
    const bool bNaN = std::isnan(b);
    if (aNaN || bNaN) return aNaN == bNaN ? 0 : (aNaN ? 1 : -1);
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Byte-wise with unsigned bytes (std::char_traits<char> compares so).
int compareText(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool MaterialRecordLess::operator()(const MaterialRecord& a, const MaterialRecord& b) const {
    const int order[] = {
        compareText(a.name, b.name),
        compareNumbers(a.diffuse.x, b.diffuse.x),
        compareNumbers(a.diffuse.y, b.diffuse.y),
        compareNumbers(a.diffuse.z, b.diffuse.z),
        compareText(a.texturePath, b.texturePath),
        compareNumbers(a.shiftU, b.shiftU),
        compareNumbers(a.shiftV, b.shiftV),
        compareNumbers(a.scaleU, b.scaleU),
        compareNumbers(a.scaleV, b.scaleV),
        compareNumbers(a.wrap ? 1.0 : 0.0, b.wrap ? 1.0 : 0.0),
    };
    for (const int c : order)
        if (c != 0) return c < 0;
    return false;
}

std::string MaterialNameTable::baseName(const MaterialRecord& record) {
    return record.name.empty() ? std::string("Display color") : record.name;
}

std::string MaterialNameTable::nameFor(const MaterialRecord& record) {
    std::string base = baseName(record);
    auto& numbered = table_[base];
    // The index is the number of records the base name held before this one.
    const std::int64_t index =
        numbered.try_emplace(record, static_cast<std::int64_t>(numbered.size())).first->second;
    if (index == 0) return base;
    return base + " #" + std::to_string(index);
}

std::size_t MaterialNameTable::size() const {
    std::size_t count = 0;
    for (const auto& [base, numbered] : table_) count += numbered.size();
    return count;
}

}  // namespace convert
