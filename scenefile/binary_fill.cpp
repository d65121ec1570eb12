#include "scenefile/binary_fill.h"

#include <algorithm>
#include <bit>
#include <compare>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/large_pages.h"
#include "scenefile/lexer.h"

namespace scenefile::detail {

namespace {

constexpr std::size_t kMaxReserve = std::size_t{1} << 30;  // bytes

// Values read from unaligned little-endian bytes, for appending a run of
// them to a vector in one pass (resizing first would write every value
// twice).
template <typename T>
class UnalignedValues {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = T;

    explicit UnalignedValues(const char* p) : p_(p) {}
    T operator*() const {
        T value;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&value, p_, sizeof value);
        } else {
            unsigned char b[sizeof(T)];
            for (std::size_t k = 0; k < sizeof(T); ++k)
                b[k] = static_cast<unsigned char>(p_[sizeof(T) - 1 - k]);
            std::memcpy(&value, b, sizeof value);
        }
        return value;
    }
    T operator[](difference_type i) const { return *(*this + i); }
    UnalignedValues& operator++() {
        p_ += sizeof(T);
        return *this;
    }
    UnalignedValues operator++(int) {
        UnalignedValues old = *this;
        ++*this;
        return old;
    }
    UnalignedValues& operator--() {
        p_ -= sizeof(T);
        return *this;
    }
    UnalignedValues operator--(int) {
        UnalignedValues old = *this;
        --*this;
        return old;
    }
    UnalignedValues& operator+=(difference_type n) {
        p_ += n * static_cast<difference_type>(sizeof(T));
        return *this;
    }
    UnalignedValues& operator-=(difference_type n) { return *this += -n; }
    friend UnalignedValues operator+(UnalignedValues a, difference_type n) { return a += n; }
    friend UnalignedValues operator+(difference_type n, UnalignedValues a) { return a += n; }
    friend UnalignedValues operator-(UnalignedValues a, difference_type n) { return a -= n; }
    friend difference_type operator-(const UnalignedValues& a, const UnalignedValues& b) {
        return (a.p_ - b.p_) / static_cast<difference_type>(sizeof(T));
    }
    friend bool operator==(const UnalignedValues& a, const UnalignedValues& b) {
        return a.p_ == b.p_;
    }
    friend auto operator<=>(const UnalignedValues& a, const UnalignedValues& b) {
        return a.p_ <=> b.p_;
    }

private:
    const char* p_;
};

template <typename T>
void appendValues(std::vector<T>& values, const char* bytes, std::size_t count) {
    UnalignedValues<T> first(bytes);
    values.insert(values.end(), first, first + static_cast<std::ptrdiff_t>(count));
}

}  // namespace

BinaryFill::BinaryFill(char kind, std::uint32_t count, bool keepValues)
    : count_(count),
      valueSize_(binaryValueSize(kind)),
      total_(std::uint64_t{count} * valueSize_),
      missing_(total_),
      keepValues_(keepValues) {
    if (valueSize_ == 0)
        throw std::logic_error(std::string("binary array of unknown kind ") + kind);
    array_.kind = kind;
    if (!keepValues_) {
        // The empty vector of the kind's type, and only the count.
        if (kind == 'i') array_.values.emplace<std::vector<std::int32_t>>();
        if (kind == 'r') array_.values.emplace<std::vector<double>>();
        array_.dropped = count_;
        return;
    }
    const std::size_t room =
        static_cast<std::size_t>(std::min<std::uint64_t>(total_, kMaxReserve)) / valueSize_;
    auto reserve = [&](auto&& values) {
        values.reserve(room);
        // Written once from end to end, as the bytes arrive.
        platform::preferLargePages(values.data(), values.capacity() * sizeof values[0]);
    };
    switch (kind) {
        case 'i':
            reserve(array_.values.emplace<std::vector<std::int32_t>>());
            break;
        case 'r':
            reserve(array_.values.emplace<std::vector<double>>());
            break;
        default:
            reserve(array_.values.emplace<std::vector<float>>());
            break;
    }
}

std::size_t BinaryFill::append(std::string_view bytes) {
    const std::size_t taken =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), missing_));
    if (!keepValues_) {
        missing_ -= taken;
        return taken;
    }
    const char* p = bytes.data();
    std::size_t left = taken;
    std::visit(
        [&](auto& values) {
            if (partialSize_ > 0) {
                const std::size_t k = std::min(valueSize_ - partialSize_, left);
                std::memcpy(partial_ + partialSize_, p, k);
                partialSize_ += k;
                p += k;
                left -= k;
                if (partialSize_ < valueSize_) return;
                appendValues(values, reinterpret_cast<const char*>(partial_), 1);
                partialSize_ = 0;
            }
            const std::size_t whole = left / valueSize_;
            appendValues(values, p, whole);
            p += whole * valueSize_;
            left -= whole * valueSize_;
            std::memcpy(partial_, p, left);
            partialSize_ = left;
        },
        array_.values);
    missing_ -= taken;
    return taken;
}

}  // namespace scenefile::detail
