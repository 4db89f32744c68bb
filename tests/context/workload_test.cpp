// Two programs of the kind users write on contexts, checked against results
// computed without contexts: generators that parse numbers (a word that is
// no number throws on the generator's stack) and are stopped early by an
// exception thrown into them, and a round-robin scheduler whose tasks move
// to another thread on every step and throw and catch on their own stacks.
// Then the same two written with fibers, which are also dropped while
// suspended, end by exceptions that reach their resumer, and take their
// stacks from pools. These are the programs run under AddressSanitizer,
// ThreadSanitizer and valgrind: no report and no warning is allowed there.
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "switching.hpp"
#include "tovric/context/fiber.hpp"
#include "tovric/context/stack_pool.hpp"

using namespace context_test;

namespace {

// ---------------------------------------------------------------------------
// Generators

// What a consumer throws into a generator to stop it: where to go back to.
struct stop_request {
  fcontext_handle consumer;
};

fcontext_transfer throw_stop(fcontext_transfer t) { throw stop_request{t.from}; }

// Yields the numbers among the words of a text, parsed on its own context by
// std::stoi; a word that is not wholly a number in range is counted instead.
class number_generator {
 public:
  explicit number_generator(std::string words)
      : text(std::move(words)), stack(32 * 1024), context(stack.make(&body)) {}

  // The next number, or nothing once the text is used up.
  std::optional<int> next() {
    const fcontext_transfer t = jump(context, this);
    context = t.from;
    if (t.payload == nullptr) return std::nullopt;
    return *static_cast<const int*>(t.payload);
  }

  // Ends the generator early: its pending switch throws stop_request.
  void stop() { context = ontop(context, this, &throw_stop).from; }

  int rejected() const { return rejected_words; }

 private:
  static void body(fcontext_transfer t) {
    entered(t);
    auto* self = static_cast<number_generator*>(t.payload);
    try {
      std::istringstream words(self->text);
      for (std::string word; words >> word;) {
        int value = 0;
        try {
          std::size_t used = 0;
          value = std::stoi(word, &used);
          if (used != word.size()) throw std::invalid_argument(word);
        } catch (const std::logic_error&) {  // invalid_argument, out_of_range
          ++self->rejected_words;
          continue;
        }
        t = jump(t.from, &value);
      }
    } catch (const stop_request& stop) {
      t.from = stop.consumer;
    }
    switch_away_for_good(t.from, nullptr);
  }

  std::string text;
  int rejected_words = 0;
  test_stack stack;
  fcontext_handle context;
};

// Words of every kind: numbers, signs alone, trailing junk, out of range.
std::string text_for(int seed) {
  static const char* const odd_words[] = {"-", "x1", "12ab", "99999999999", "--3", "7.5"};
  std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(seed);
  auto random = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  std::string text;
  const int words = 5 + static_cast<int>(random() % 20);
  for (int i = 0; i < words; ++i) {
    const std::uint32_t r = random();
    if (r % 4 == 0) {
      text += odd_words[r / 4 % 6];
    } else {
      text += std::to_string(static_cast<int>(r % 200001) - 100000);
    }
    text += ' ';
  }
  return text;
}

// The same parse without contexts or exceptions.
struct parsed {
  std::vector<int> numbers;
  int rejected = 0;
};

parsed parse_directly(const std::string& text) {
  parsed out;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error == std::errc() && end == word.data() + word.size()) {
      out.numbers.push_back(value);
    } else {
      ++out.rejected;
    }
  }
  return out;
}

TEST(Workload, InterleavedGeneratorsYieldWhatADirectParseFindsAndStopWhenAsked) {
  constexpr int generators = 200;
  constexpr std::size_t taken_before_stop = 3;
  std::vector<std::unique_ptr<number_generator>> running;
  std::vector<std::vector<int>> yielded(generators);
  std::vector<bool> ended(generators, false);
  for (int i = 0; i < generators; ++i) running.push_back(std::make_unique<number_generator>(text_for(i)));

  // One number from each live generator per round; every fourth is stopped
  // after a few.
  for (int live = generators; live > 0;) {
    for (int i = 0; i < generators; ++i) {
      if (ended[i]) continue;
      if (i % 4 == 0 && yielded[i].size() == taken_before_stop) {
        running[i]->stop();
        ended[i] = true;
        --live;
      } else if (const std::optional<int> n = running[i]->next()) {
        yielded[i].push_back(*n);
      } else {
        ended[i] = true;
        --live;
      }
    }
  }

  int stopped_early = 0;
  for (int i = 0; i < generators; ++i) {
    SCOPED_TRACE(text_for(i));
    const parsed expected = parse_directly(text_for(i));
    if (i % 4 == 0 && expected.numbers.size() >= taken_before_stop) {
      ++stopped_early;
      EXPECT_EQ(yielded[i], std::vector<int>(expected.numbers.begin(),
                                             expected.numbers.begin() + taken_before_stop));
    } else {
      EXPECT_EQ(yielded[i], expected.numbers);
      EXPECT_EQ(running[i]->rejected(), expected.rejected);
    }
  }
  EXPECT_GT(stopped_early, generators / 8);
}

// ---------------------------------------------------------------------------
// Round-robin scheduler

constexpr int tasks = 300;
constexpr int steps = 12;

thread_local int worker_index = -1;
// Through a volatile pointer: a task must see the worker it runs on now, not
// the address of the thread-local computed before its last switch.
int own_worker_index() { return worker_index; }
int (*volatile const current_worker)() = &own_worker_index;

struct carried {
  long value;
};

// Throws from `depth` frames down; caught where the descent began.
void descend(int depth, long value) {
  if (depth == 0) throw carried{value};
  descend(depth - 1, value + depth);
}

long value_of_step(int task, int step) {
  try {
    descend((task + step) % 6 + 1, long{task} * 1000 + step);
  } catch (const carried& c) {
    return c.value;
  }
  return -1;
}

long expected_value_of_step(int task, int step) {
  const int depth = (task + step) % 6 + 1;
  return long{task} * 1000 + step + depth * (depth + 1) / 2;
}

struct task {
  int id = 0;
  test_stack stack{32 * 1024};
  fcontext_handle context = nullptr;
  long total = 0;
  unsigned workers_seen = 0;  // bit i: ran on worker i
  bool finished = false;
};

void task_body(fcontext_transfer t) {
  entered(t);
  auto* self = static_cast<task*>(t.payload);
  for (int step = 0; step < steps; ++step) {
    self->total += value_of_step(self->id, step);
    self->workers_seen |= 1u << current_worker();
    t = jump(t.from, nullptr);  // yield to the scheduler
  }
  self->finished = true;
  switch_away_for_good(t.from, nullptr);
}

TEST(Workload, RoundRobinTasksMovingBetweenThreadsComputeWhatASequentialLoopComputes) {
  std::vector<std::unique_ptr<task>> all;
  for (int i = 0; i < tasks; ++i) {
    all.push_back(std::make_unique<task>());
    all.back()->id = i;
    all.back()->context = all.back()->stack.make(&task_body);
  }
  // Round r: worker w resumes the tasks i with (i + r) % 2 == w, so every
  // task goes on on the other worker's thread in the next round.
  for (int round = 0; round <= steps; ++round) {
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
      workers.emplace_back([&all, round, w] {
        worker_index = w;
        for (int i = (w + round) % 2; i < tasks; i += 2) {
          task& k = *all[i];
          k.context = jump(k.context, &k).from;
        }
      });
    }
    for (std::thread& w : workers) w.join();
  }

  int wrong_totals = 0;
  int unfinished = 0;
  int stayed_on_one_thread = 0;
  for (const auto& k : all) {
    long expected = 0;
    for (int step = 0; step < steps; ++step) expected += expected_value_of_step(k->id, step);
    wrong_totals += k->total != expected;
    unfinished += !k->finished;
    stayed_on_one_thread += k->workers_seen != 3u;
  }
  EXPECT_EQ(wrong_totals, 0);
  EXPECT_EQ(unfinished, 0);
  EXPECT_EQ(stayed_on_one_thread, 0);
}

// ---------------------------------------------------------------------------
// Fibers

using tovric::context::fiber;
using tovric::context::stack_pool;

// Notes its destruction in the log it is given: the frames of a fiber that
// is dropped while suspended must each be destroyed once, innermost first.
struct frame_guard {
  std::vector<int>* log;
  int frame;
  ~frame_guard() { log->push_back(frame); }
};

// The fiber counterpart of number_generator, two frames deep: the numbers
// among the words, parse errors caught on the fiber's stack; the word
// "fatal" ends it with an exception for its resumer.
void yield_numbers(fiber<int>::suspender& self, const std::string& text, int& rejected,
                   std::vector<int>& log) {
  const frame_guard inner{&log, 2};
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (word == "fatal") throw std::runtime_error("fatal word in " + text);
    try {
      std::size_t used = 0;
      const int value = std::stoi(word, &used);
      if (used != word.size()) throw std::invalid_argument(word);
      self.suspend(value);
    } catch (const std::logic_error&) {
      ++rejected;
    }
  }
}

TEST(FiberWorkload, GeneratorsYieldWhatADirectParseFindsAndEveryFrameIsDestroyedOnceHoweverTheyEnd) {
  constexpr int generators = 300;
  constexpr std::size_t taken_before_drop = 3;
  stack_pool pool(32 * 1024, 16);
  std::vector<std::string> texts;
  std::vector<int> rejected(generators, 0);
  std::vector<std::vector<int>> logs(generators), yielded(generators);
  std::vector<std::string> errors(generators);
  auto owner = std::make_shared<int>(0);  // held by every fiber's function object
  std::vector<fiber<int>> running;
  for (int i = 0; i < generators; ++i) {
    texts.push_back(text_for(i) + (i % 5 == 0 ? "fatal" : ""));
    running.emplace_back(pool, [&, i, owner](fiber<int>::suspender& self) {
      const frame_guard outer{&logs[i], 1};
      yield_numbers(self, texts[i], rejected[i], logs[i]);
    });
  }

  // Round robin, one number each; every fourth generator is dropped after a
  // few, every tenth before it starts; halfway, all are moved elsewhere.
  for (int round = 0, live = generators; live > 0; ++round) {
    if (round == 4) running = std::vector<fiber<int>>(std::make_move_iterator(running.begin()),
                                                      std::make_move_iterator(running.end()));
    for (int i = 0; i < generators; ++i) {
      fiber<int>& g = running[i];
      if (g.done()) continue;
      if (i % 10 == 9 || (i % 4 == 0 && yielded[i].size() == taken_before_drop)) {
        g = fiber<int>();
        --live;
        continue;
      }
      try {
        if (const std::optional<int> n = g.resume()) {
          yielded[i].push_back(*n);
        } else {
          --live;
        }
      } catch (const std::runtime_error& e) {
        errors[i] = e.what();
        --live;
      }
    }
  }

  int dropped = 0, failed = 0;
  for (int i = 0; i < generators; ++i) {
    SCOPED_TRACE(texts[i]);
    const parsed expected = parse_directly(text_for(i));
    if (i % 10 == 9) {
      EXPECT_TRUE(yielded[i].empty() && logs[i].empty()) << "a fiber that never started ran";
      continue;
    }
    EXPECT_EQ(logs[i], (std::vector<int>{2, 1}));  // the inner frame first, each once
    if (i % 4 == 0 && expected.numbers.size() >= taken_before_drop) {
      ++dropped;
      EXPECT_EQ(yielded[i], std::vector<int>(expected.numbers.begin(),
                                             expected.numbers.begin() + taken_before_drop));
    } else {
      EXPECT_EQ(yielded[i], expected.numbers);
      EXPECT_EQ(rejected[i], expected.rejected);
      failed += !errors[i].empty();
      EXPECT_EQ(errors[i], i % 5 == 0 ? "fatal word in " + texts[i] : "");
    }
  }
  EXPECT_GT(dropped, generators / 8);
  EXPECT_GT(failed, generators / 8);
  EXPECT_EQ(owner.use_count(), 1) << "function objects left undestroyed";
  EXPECT_EQ(pool.idle(), pool.max_idle()) << "stacks not given back";
}

// Request and response: each fiber is resumed with a step number and
// answers with that step's value, computed by a throw and catch on its own
// stack; the scheduler's two threads take turns, so that every fiber goes on
// on the other thread at every step. A third of the fibers are dropped while
// suspended halfway, by whichever thread has them; their stacks go back to
// the pool that both threads share.
TEST(FiberWorkload, RequestResponseFibersMovingBetweenThreadsAnswerWhatASequentialLoopComputes) {
  constexpr int dropped_at = steps / 2;
  stack_pool pool(32 * 1024, 64);
  std::vector<fiber<long, int>> all;
  std::vector<std::vector<int>> logs(tasks);
  std::vector<unsigned> workers_seen(tasks, 0);
  std::vector<long> totals(tasks, 0);
  for (int i = 0; i < tasks; ++i) {
    all.emplace_back(pool, [&, i](fiber<long, int>::suspender& self, int step) {
      const frame_guard guard{&logs[i], 1};
      for (;;) {
        workers_seen[i] |= 1u << current_worker();
        step = self.suspend(value_of_step(i, step));
      }
    });
  }
  for (int step = 0; step < steps; ++step) {
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
      workers.emplace_back([&, step, w] {
        worker_index = w;
        for (int i = (w + step) % 2; i < tasks; i += 2) {
          if (step == dropped_at && i % 3 == 0) all[i] = fiber<long, int>();
          if (!all[i].done()) totals[i] += *all[i].resume(step);
        }
      });
    }
    for (std::thread& w : workers) w.join();
  }
  all.clear();

  int wrong = 0;
  for (int i = 0; i < tasks; ++i) {
    long expected = 0;
    for (int step = 0; step < (i % 3 == 0 ? dropped_at : steps); ++step) {
      expected += expected_value_of_step(i, step);
    }
    wrong += totals[i] != expected || workers_seen[i] != 3u || logs[i] != std::vector<int>{1};
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(pool.idle(), pool.max_idle());
  EXPECT_GT(pool.idle(), 0u);
}

}  // namespace
