// Memory with an inaccessible page on each side, for fuzz targets that must
// show that a routine reads and writes nothing outside its buffers: any
// access past either end faults at once.
#ifndef TOVRIC_FUZZ_GUARDED_MEMORY_HPP
#define TOVRIC_FUZZ_GUARDED_MEMORY_HPP

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>

class guarded_memory {
 public:
  // Room for `bytes` bytes between the two guard pages.
  explicit guarded_memory(std::size_t bytes) {
    page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    inner_ = (bytes + page_ - 1) / page_ * page_;
    if (inner_ == 0) inner_ = page_;
    void* all = ::mmap(nullptr, inner_ + 2 * page_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (all == MAP_FAILED) std::abort();
    base_ = static_cast<unsigned char*>(all);
    if (::mprotect(base_ + page_, inner_, PROT_READ | PROT_WRITE) != 0) std::abort();
  }
  ~guarded_memory() { ::munmap(base_, inner_ + 2 * page_); }
  guarded_memory(const guarded_memory&) = delete;
  guarded_memory& operator=(const guarded_memory&) = delete;

  // `bytes` bytes right after the leading guard page.
  unsigned char* at_start(std::size_t) const { return base_ + page_; }
  // `bytes` bytes right before the trailing guard page.
  unsigned char* at_end(std::size_t bytes) const { return base_ + page_ + inner_ - bytes; }

 private:
  std::size_t page_ = 0;
  std::size_t inner_ = 0;
  unsigned char* base_ = nullptr;
};

#endif
