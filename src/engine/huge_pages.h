// Large per-cell lists (hit counts, marks) are read and written at random, one cell per hit: with ordinary 4 KiB
// pages nearly every hit of a large picture also misses the address translation cache. Lists made through
// ZeroedList ask the kernel for huge pages before their memory is first touched, where it offers them on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Below this a list gains nothing from huge pages.
inline constexpr std::size_t kHugePageListBytes = std::size_t{4} << 20;

// A list of n zeroes; the advice is only advice, and a kernel that does not take it gives ordinary pages.
template <class T>
void AssignZeroedList(std::vector<T>& list, std::size_t n) {
  std::vector<T> fresh;
  fresh.reserve(n);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const std::size_t bytes = n * sizeof(T);
  if (bytes >= kHugePageListBytes) {
    constexpr std::uintptr_t kPage = std::uintptr_t{2} << 20;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(fresh.data()) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(fresh.data()) + bytes) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
#endif
  fresh.resize(n);
  list.swap(fresh);
}
