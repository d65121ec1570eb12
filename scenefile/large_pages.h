// LargePageAllocator: the allocator of the reader's big buffers (the numbers
// of a text array in the tree, the bytes of a statement that waits for its
// end, a file's rest read at once), which asks the system for large pages.
//
// Why. A tree is built on fresh memory, and a fault per 4 KiB page is most of
// the time of reading a large text array where faults are dear (several
// microseconds each in a virtual machine): the 27 MB text mesh of the reader
// benchmark makes 41 MB of numbers, 10,000 faults. Blocks of at least
// kLargePageThreshold bytes are mapped on their own and marked for
// transparent huge pages (madvise), which the system may grant or not;
// smaller blocks come from operator new. Memory is the same either way:
// untouched room is never backed.
#pragma once

#include <sys/mman.h>

#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <utility>

namespace scenefile {

inline constexpr std::size_t kLargePageThreshold = std::size_t{4} << 20;  // 4 MiB

// Bytes of the blocks mapped on their own that are in use now (beside what
// the heap reports), for measuring.
inline std::atomic<std::size_t> largePageBytesInUse{0};

template <class T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>& /*other*/) noexcept {}  // NOLINT: rebinding

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargePageThreshold) return static_cast<T*>(::operator new(bytes));
        void* p =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        ::madvise(p, bytes, MADV_HUGEPAGE);  // a hint: refused, the pages are small
        largePageBytesInUse.fetch_add(bytes, std::memory_order_relaxed);
        return static_cast<T*>(p);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kLargePageThreshold) {
            ::operator delete(p);
        } else {
            ::munmap(p, bytes);
            largePageBytesInUse.fetch_sub(bytes, std::memory_order_relaxed);
        }
    }

    template <class U>
    bool operator==(const LargePageAllocator<U>& /*other*/) const noexcept {
        return true;
    }
};

using LargePageString = std::basic_string<char, std::char_traits<char>, LargePageAllocator<char>>;

// Uninitialised bytes from LargePageAllocator, owned.
class LargePageBuffer {
public:
    LargePageBuffer() = default;
    explicit LargePageBuffer(std::size_t size)
        : data_(LargePageAllocator<char>().allocate(size)), size_(size) {}
    ~LargePageBuffer() {
        if (data_ != nullptr) LargePageAllocator<char>().deallocate(data_, size_);
    }
    LargePageBuffer(LargePageBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    LargePageBuffer& operator=(LargePageBuffer&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    LargePageBuffer(const LargePageBuffer&) = delete;
    LargePageBuffer& operator=(const LargePageBuffer&) = delete;

    char* data() { return data_; }
    std::size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace scenefile
