// Publication of adapters: allocations counted by a replaced global operator
// new, a forced lost race, and a free-for-all race (run under ThreadSanitizer;
// under LeakSanitizer a loser's adapter that was not freed would show).
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "test_categories.hpp"
#include "tovric/system/error_code.hpp"

namespace {

std::atomic<long> allocations{0};
std::atomic<long> deallocations{0};

// Set on a thread whose next allocation must wait, once made, until
// `resume_allocation` is set; `held_allocation` then shows the block.
thread_local bool hold_next_allocation = false;
std::atomic<void*> held_allocation{nullptr};
std::atomic<bool> resume_allocation{false};
std::atomic<bool> held_allocation_freed{false};

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (hold_next_allocation) {
    hold_next_allocation = false;
    held_allocation.store(block);
    while (!resume_allocation.load()) std::this_thread::yield();
  }
  return block;
}

void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  deallocations.fetch_add(1, std::memory_order_relaxed);
  if (block == held_allocation.load()) held_allocation_freed.store(true);
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept { operator delete(block); }

// The other unaligned forms go through the replaced operator new and
// operator delete above, so that every block is counted and freed by the
// allocator that made it. A sanitizer's runtime supplies whichever forms a
// program leaves out, and libstdc++ 14 takes its temporary buffers (those of
// std::stable_sort, for one) from the nothrow form.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete(block); }

namespace {

using namespace tovric::system;
using test_categories::counterpart;
using test_categories::plain_category;

// Allocations minus deallocations while `work` runs.
template <class Work>
long net_allocations(Work work) {
  const long before = allocations.load() - deallocations.load();
  work();
  return allocations.load() - deallocations.load() - before;
}

const plain_category counted_category;

TEST(AdapterAllocation, GenericAndSystemCounterpartsAllocateNothing) {
  const long made = allocations.load();
  const std::error_category* generic = &counterpart(generic_category());
  const std::error_category* system = &counterpart(system_category());
  EXPECT_EQ(allocations.load(), made);
  EXPECT_EQ(generic, &std::generic_category());
  EXPECT_EQ(system, &std::system_category());
}

TEST(AdapterAllocation, OnlyTheFirstCounterpartAllocatesAndTheAdapterIsKept) {
  const std::error_category* first = nullptr;
  EXPECT_EQ(net_allocations([&] { first = &counterpart(counted_category); }), 1);
  const long made = allocations.load();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(&counterpart(counted_category), first);
  EXPECT_EQ(allocations.load(), made);
}

const plain_category contested_category;

TEST(AdapterRace, LoserFreesItsAdapterAndTakesThePublishedOne) {
  const std::error_category* loser_result = nullptr;
  const long before = allocations.load() - deallocations.load();
  std::thread loser([&] {
    hold_next_allocation = true;  // waits with its adapter made, not yet published
    loser_result = &counterpart(contested_category);
  });
  while (held_allocation.load() == nullptr) std::this_thread::yield();
  const std::error_category* winner_result = &counterpart(contested_category);
  resume_allocation.store(true);
  loser.join();

  EXPECT_EQ(loser_result, winner_result);
  EXPECT_NE(static_cast<const void*>(winner_result), held_allocation.load());
  EXPECT_TRUE(held_allocation_freed.load());
  EXPECT_EQ(allocations.load() - deallocations.load() - before, 1);
  EXPECT_EQ(&counterpart(contested_category), winner_result);
}

constexpr int race_rounds = 32;
constexpr int racers = 4;
const plain_category raced_categories[race_rounds];

TEST(AdapterRace, RacersForOneCategoryAllEndWithTheOnePublishedAdapter) {
  std::vector<const std::error_category*> seen(race_rounds * racers);
  std::vector<const char*> names(race_rounds * racers);
  std::atomic<int> arrived{0};
  std::vector<std::thread> threads;
  threads.reserve(racers);
  const long before = allocations.load() - deallocations.load();
  for (int t = 0; t < racers; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < race_rounds; ++round) {
        // All racers start a round together.
        arrived.fetch_add(1);
        while (arrived.load() < (round + 1) * racers) std::this_thread::yield();
        const std::error_category& adapter = counterpart(raced_categories[round]);
        seen[round * racers + t] = &adapter;
        // Reads the adapter's fields, which the publishing thread wrote.
        names[round * racers + t] = adapter.name();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(allocations.load() - deallocations.load() - before, race_rounds);
  for (int round = 0; round < race_rounds; ++round) {
    const std::error_category* published = &counterpart(raced_categories[round]);
    const auto* adapter = dynamic_cast<const detail::std_category*>(published);
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(&adapter->presented(), &raced_categories[round]);
    for (int t = 0; t < racers; ++t) {
      EXPECT_EQ(seen[round * racers + t], published);
      EXPECT_STREQ(names[round * racers + t], "plain");
    }
  }
}

}  // namespace
