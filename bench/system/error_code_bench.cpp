// The error-category facility against libstdc++'s std::error_category,
// std::error_code and std::error_condition, same run: identity tests,
// code-against-value tests and the standard-counterpart lookup after the
// first call. Global operator new is replaced to count allocations; each
// benchmark reports them per iteration ("allocs"), which must be 0.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <system_error>

#include "ratio_reporter.hpp"
#include "tovric/system/error_code.hpp"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Not inlined, so that the compiler does not pair malloc with the
// replaced operator new when it checks matching deallocations.
[[gnu::noinline]] void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

using namespace tovric::system;

// A program's own category, without identifier.
class program_category final : public error_category {
 public:
  const char* name() const noexcept override { return "program"; }
  std::string message(int) const override { return "program"; }
};
const program_category program;

// Hides a pointer's value from the optimiser, so that calls stay dispatched.
template <class T>
T* opaque(T* p) {
  benchmark::DoNotOptimize(p);
  return p;
}

// Runs `body` in the timing loop and reports allocations per iteration.
template <class Body>
void measure(benchmark::State& state, Body body) {
  const long before = allocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(body());
  state.counters["allocs"] = benchmark::Counter(static_cast<double>(allocations.load() - before),
                                                benchmark::Counter::kAvgIterations);
}

// Identity of two distinct category objects with one identifier (tovric)
// against two references to one standard category (std: by address).
void identity_tovric(benchmark::State& state) {
  static const detail::generic_error_category other_generic;
  const error_category* a = opaque(&generic_category());
  const error_category* b = opaque<const error_category>(&other_generic);
  measure(state, [&] { return *a == *b; });
}
void identity_std(benchmark::State& state) {
  const std::error_category* a = opaque(&std::generic_category());
  const std::error_category* b = opaque(&std::generic_category());
  measure(state, [&] { return *a == *b; });
}

// Identity of a category without identifier with itself.
void identity_without_identifier_tovric(benchmark::State& state) {
  const error_category* a = opaque<const error_category>(&program);
  const error_category* b = opaque<const error_category>(&program);
  measure(state, [&] { return *a == *b; });
}

// Equality of two conditions in one category object, and of a condition in
// the generic object with one whose category was left empty (an identity
// test by identifier).
void condition_equality_tovric(benchmark::State& state) {
  const error_condition a(EINVAL, generic_category());
  const error_condition b(EINVAL, generic_category());
  const error_condition* pa = opaque(&a);
  const error_condition* pb = opaque(&b);
  measure(state, [&] { return *pa == *pb; });
}
void condition_equality_empty_category_tovric(benchmark::State& state) {
  const error_condition a(EINVAL, generic_category());
  const error_condition b(EINVAL);
  const error_condition* pa = opaque(&a);
  const error_condition* pb = opaque(&b);
  measure(state, [&] { return *pa == *pb; });
}
void condition_equality_std(benchmark::State& state) {
  const std::error_condition a(EINVAL, std::generic_category());
  const std::error_condition b(EINVAL, std::generic_category());
  const std::error_condition* pa = opaque(&a);
  const std::error_condition* pb = opaque(&b);
  measure(state, [&] { return *pa == *pb; });
}

// A category's code-against-value test, dispatched.
void code_against_value_tovric(benchmark::State& state) {
  const error_code code(EINVAL, generic_category());
  const error_code* c = opaque(&code);
  const error_category* category = opaque(&generic_category());
  measure(state, [&] { return category->equivalent(*c, EINVAL); });
}
void code_against_value_held_std_code_tovric(benchmark::State& state) {
  const std::error_code standard(EINVAL, std::generic_category());
  const error_code code(standard);
  const int derived = code.value();
  const error_code* c = opaque(&code);
  const error_category* category = opaque(&interop_category());
  measure(state, [&] { return category->equivalent(*c, derived); });
}
void code_against_value_std(benchmark::State& state) {
  const std::error_code code(EINVAL, std::generic_category());
  const std::error_code* c = opaque(&code);
  const std::error_category* category = opaque(&std::generic_category());
  measure(state, [&] { return category->equivalent(*c, EINVAL); });
}

// A standard code against a standard condition, both in a tovric category's
// adapter, against both in std::generic_category().
void std_code_against_condition_adapter(benchmark::State& state) {
  const std::error_category& adapter = program;
  const std::error_code code(5, adapter);
  const std::error_condition condition(5, adapter);
  const std::error_code* c = opaque(&code);
  const std::error_condition* k = opaque(&condition);
  measure(state, [&] { return *c == *k; });
}
void std_code_against_condition_std(benchmark::State& state) {
  const std::error_code code(5, std::generic_category());
  const std::error_condition condition(5, std::generic_category());
  const std::error_code* c = opaque(&code);
  const std::error_condition* k = opaque(&condition);
  measure(state, [&] { return *c == *k; });
}

// The standard counterpart after the first call: an adapter (one atomic
// load) and the generic category (std::generic_category()), against asking
// libstdc++ for its category (through a pointer, as the call is otherwise
// hoisted out of the loop).
void counterpart_adapter_tovric(benchmark::State& state) {
  const error_category* category = opaque(&interop_category());
  static_cast<void>(static_cast<const std::error_category&>(*category));  // makes the adapter
  measure(state, [&] { return &static_cast<const std::error_category&>(*category); });
}
void counterpart_generic_tovric(benchmark::State& state) {
  const error_category* category = opaque(&generic_category());
  measure(state, [&] { return &static_cast<const std::error_category&>(*category); });
}
void counterpart_std(benchmark::State& state) {
  const std::error_category& (*generic)() noexcept = opaque(&std::generic_category);
  measure(state, [&] { return &generic(); });
}

}  // namespace

BENCHMARK(identity_tovric);
BENCHMARK(identity_std);
BENCHMARK(identity_without_identifier_tovric);
BENCHMARK(condition_equality_tovric);
BENCHMARK(condition_equality_empty_category_tovric);
BENCHMARK(condition_equality_std);
BENCHMARK(code_against_value_tovric);
BENCHMARK(code_against_value_held_std_code_tovric);
BENCHMARK(code_against_value_std);
BENCHMARK(std_code_against_condition_adapter);
BENCHMARK(std_code_against_condition_std);
BENCHMARK(counterpart_adapter_tovric);
BENCHMARK(counterpart_generic_tovric);
BENCHMARK(counterpart_std);

int main(int argc, char** argv) {
  return tovric_bench::run_with_ratios(
      argc, argv,
      {{"identity_tovric", "identity_std"},
       {"condition_equality_tovric", "condition_equality_std"},
       {"code_against_value_tovric", "code_against_value_std"},
       {"std_code_against_condition_adapter", "std_code_against_condition_std"},
       {"counterpart_adapter_tovric", "counterpart_std"},
       {"counterpart_generic_tovric", "counterpart_std"}});
}
