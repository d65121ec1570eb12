// UVW data and polygon selections.
#include "host/tag.h"

#include <algorithm>

namespace host {

UVWStruct UVWTag::GetSlow(Int32 i) const {
    if (i < 0 || i >= GetDataCount()) return UVWStruct{};
    return uvw_[static_cast<std::size_t>(i)];
}

Int32 BaseSelect::GetCount() const {
    Int64 count = 0;
    for (const auto& [a, b] : ranges_) count += static_cast<Int64>(b) - a + 1;
    return static_cast<Int32>(std::min<Int64>(count, 0x7fffffff));
}

bool BaseSelect::GetRange(Int32 seg, Int32 maxElements, Int32* a, Int32* b) const {
    if (seg < 0 || seg >= GetSegments() || maxElements <= 0) return false;
    const auto& [first, last] = ranges_[static_cast<std::size_t>(seg)];
    const Int32 clipped = std::min(last, maxElements - 1);
    if (first > clipped) return false;
    if (a) *a = first;
    if (b) *b = clipped;
    return true;
}

bool BaseSelect::IsSelected(Int32 i) const {
    // The first range whose end is not below i.
    const auto it =
        std::lower_bound(ranges_.begin(), ranges_.end(), i,
                         [](const std::pair<Int32, Int32>& r, Int32 v) { return r.second < v; });
    return it != ranges_.end() && it->first <= i;
}

void BaseSelect::Select(Int32 i) {
    if (i < 0 || IsSelected(i)) return;
    // Insert [i, i] in order, then merge it with touching neighbours.
    auto it =
        std::lower_bound(ranges_.begin(), ranges_.end(), i,
                         [](const std::pair<Int32, Int32>& r, Int32 v) { return r.first < v; });
    it = ranges_.insert(it, {i, i});
    auto next = it + 1;
    if (next != ranges_.end() && i < 0x7fffffff && next->first == i + 1) {
        it->second = next->second;
        it = ranges_.erase(next) - 1;
    }
    if (it != ranges_.begin()) {
        auto prev = it - 1;
        if (prev->second + 1 == it->first) {
            prev->second = it->second;
            ranges_.erase(it);
        }
    }
}

}  // namespace host
