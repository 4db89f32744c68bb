// Fibers at work, in two parts.
// 1. A lexer as a generator: a fiber<token> walks a text and suspends with
//    each token it finds; the reader loops `while (auto t = lexer.resume())`.
//    A character the lexer does not know makes it throw, on its own stack;
//    the exception comes out of the resume() that ran it.
// 2. A round-robin scheduler: a few fiber<> tasks on stacks from one
//    stack_pool, each doing a step and suspending; the scheduler resumes them
//    in turn and, after a fixed number of rounds, drops the one that never
//    ends. Dropping a suspended fiber unwinds its stack, so the destructors
//    of its locals run: each task prints when its cleanup runs.
// main checks the results against a direct computation and returns 1 if
// anything is off, or if an exception is still being handled at the end.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tovric/context/fiber.hpp"
#include "tovric/context/stack_pool.hpp"

namespace ctx = tovric::context;

namespace {

bool failed = false;

void check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    failed = true;
  }
}

// ---- 1. A lexer as a generator ---------------------------------------------

struct token {
  const char* kind;  // "number", "name" or "punct"
  std::string text;
};

// A fiber that yields the tokens of `text` one by one: numbers (digits and
// dots), names (letters, digits, '_'), and one-character punctuation.
ctx::fiber<token> lex(std::string text) {
  return ctx::fiber<token>([text = std::move(text)](ctx::fiber<token>::suspender& self) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (std::size_t i = 0, end = 0; i < text.size(); i = end) {
      end = i + 1;
      const char* kind = "punct";
      if (std::isspace(at(i))) continue;
      if (std::isdigit(at(i))) {
        while (end < text.size() && (std::isdigit(at(end)) || text[end] == '.')) ++end;
        kind = "number";
      } else if (std::isalpha(at(i)) || text[i] == '_') {
        while (end < text.size() && (std::isalnum(at(end)) || text[end] == '_')) ++end;
        kind = "name";
      } else if (std::string_view("=;,()+-*/").find(text[i]) == std::string_view::npos) {
        throw std::runtime_error("unexpected '" + text.substr(i, 1) + "' at offset " +
                                 std::to_string(i));
      }
      self.suspend(token{kind, text.substr(i, end - i)});
    }
  });
}

// Lexes `text`, printing the tokens; returns how many there were and their
// texts run together, or rethrows what the lexer threw.
std::pair<int, std::string> print_tokens(const std::string& text) {
  ctx::fiber<token> lexer = lex(text);
  std::pair<int, std::string> seen;
  while (auto t = lexer.resume()) {
    std::printf("  %-6s %s\n", t->kind, t->text.c_str());
    ++seen.first;
    seen.second += t->text;
  }
  return seen;
}

// ---- 2. A round-robin scheduler --------------------------------------------

int cleanups = 0;

// A local of every task: its destructor runs when the task's function ends,
// by returning or by being unwound.
struct cleanup {
  const char* task;
  ~cleanup() {
    std::printf("  %s: cleanup\n", task);
    ++cleanups;
  }
};

struct task {
  const char* name;
  ctx::fiber<> body;
};

// Resumes the tasks in turn, round after round, until all have finished or
// `rounds` have run; then drops those left.
void run(std::vector<task>& tasks, int rounds) {
  for (int round = 1; round <= rounds && !tasks.empty(); ++round) {
    std::printf(" round %d\n", round);
    for (std::size_t i = 0; i < tasks.size();) {
      if (tasks[i].body.resume()) {
        ++i;
      } else {
        std::printf("  %s: finished\n", tasks[i].name);
        tasks.erase(tasks.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  for (const task& t : tasks) std::printf(" dropping %s, still suspended\n", t.name);
  tasks.clear();  // destroys the fibers: each suspended one is unwound
}

}  // namespace

int main() {
  std::printf("tokens:\n");
  const std::string config = "width = 640 * 2; ratio = 1.5; title = main_view;";
  const auto [count, joined] = print_tokens(config);
  std::string squeezed = config;
  squeezed.erase(std::remove(squeezed.begin(), squeezed.end(), ' '), squeezed.end());
  check(count == 14, "the config has 14 tokens");
  check(joined == squeezed, "the tokens are the config without its spaces");

  std::printf("tokens of a bad line:\n");
  bool thrown = false;
  try {
    print_tokens("depth = 3 # three levels");
  } catch (const std::runtime_error& e) {
    std::printf("  lexer stopped: %s\n", e.what());
    thrown = true;
  }
  check(thrown, "the lexer's exception reaches main");

  std::printf("tasks:\n");
  ctx::stack_pool pool(64 * 1024);
  long total = 0;
  // A task that adds the squares of first..last to `total`, one per step.
  const auto squares = [&total](const char* name, int first, int last) {
    return [=, &total](ctx::fiber<>::suspender& self) {
      cleanup note{name};
      for (int k = first; k <= last; ++k) {
        total += k * k;
        std::printf("  %s: + %d\n", name, k * k);
        self.suspend();
      }
    };
  };
  std::vector<task> tasks;
  tasks.push_back({"low", ctx::fiber<>(pool, squares("low", 1, 2))});
  tasks.push_back({"mid", ctx::fiber<>(pool, squares("mid", 3, 5))});
  tasks.push_back({"high", ctx::fiber<>(pool, squares("high", 6, 8))});
  tasks.push_back({"ticker", ctx::fiber<>(pool, [](ctx::fiber<>::suspender& self) {
                     cleanup note{"ticker"};
                     for (int tick = 1;; ++tick) {
                       std::printf("  ticker: tick %d\n", tick);
                       self.suspend();
                     }
                   })});
  run(tasks, 5);

  long direct = 0;
  for (int k = 1; k <= 8; ++k) direct += k * k;
  std::printf("total %ld (directly %ld); cleanups %d; stacks kept by the pool %zu\n", total, direct,
              cleanups, pool.idle());
  check(total == direct, "the tasks' total is the sum of the squares of 1..8");
  check(cleanups == 4, "every task's cleanup ran, the dropped one's too");
  check(pool.idle() == 4, "every stack went back to the pool");
  check(std::current_exception() == nullptr, "no exception is being handled at the end");
  return failed ? 1 : 0;
}
