// A replacement of the global operator new that counts every allocation of
// the process, for tests that show a loop allocates nothing.
//
// Include it in exactly one source file of a test binary: it defines the
// replacement functions, which a program may have only once.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace kvx::test {

inline std::atomic<long>& allocationCount() {
    static std::atomic<long> count{0};
    return count;
}

}  // namespace kvx::test

// The replacements pair malloc with free on purpose; GCC cannot see that
// both halves are replaced together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    kvx::test::allocationCount().fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
