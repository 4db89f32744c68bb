#include "tovric/context/fcontext.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fp_settings.hpp"
#include "frame.hpp"
#include "switching.hpp"

using namespace context_test;
using tovric::context::make_fcontext;

namespace {

std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

template <class T>
T frame_field(fcontext_handle h, std::size_t offset) {
  T v;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(h) + offset, sizeof v);
  return v;
}

// True if `from` is a 16-aligned frame a little below `frame`, on the stack of
// the function that owns `frame`.
bool is_frame_below(fcontext_handle from, const void* frame) {
  return address(from) % 16 == 0 && address(from) < address(frame) &&
         address(frame) - address(from) < 64 * 1024;
}

const void* library_base(std::uintptr_t code) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(code), &info) == 0) return nullptr;
  return info.dli_fbase;
}

void never_started(fcontext_transfer) { std::abort(); }

// True if the frame that __builtin_frame_address named is on `stack`: the
// byte below that address is the frame's on every processor (on RISC-V the
// address is the stack pointer at the function's entry, just above its frame).
bool frame_on(const test_stack& stack, const void* frame) {
  return stack.contains(static_cast<const unsigned char*>(frame) - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// make_fcontext and the frame it writes

TEST(MakeFcontext, HandleIsTopRoundedDownToSixteenMinusTheFrameSize) {
  alignas(16) unsigned char memory[512];
  for (std::size_t skew = 0; skew < 16; ++skew) {
    fcontext_handle h = make_fcontext(memory + 256 + skew, 256, &never_started);
    EXPECT_EQ(address(h), address(memory + 256) - TOVRIC_CONTEXT_FRAME_SIZE) << "top 16k+" << skew;
  }
}

TEST(MakeFcontext, WritesOnlyItsFieldsOfTheFrame) {
  alignas(16) unsigned char memory[512];
  std::memset(memory, 0xa5, sizeof memory);
  fcontext_handle h = make_fcontext(memory + 448 + 7, sizeof memory, &never_started);
  auto* frame = reinterpret_cast<unsigned char*>(h);
  ASSERT_EQ(frame, memory + 448 - TOVRIC_CONTEXT_FRAME_SIZE);

  EXPECT_EQ(frame_field<fp_control_word>(h, frame_fp_control), fp_control());
#if defined(__x86_64__)
  EXPECT_EQ(frame_field<std::uint16_t>(h, TOVRIC_CONTEXT_FRAME_X87_CW), x87_control());
  // rbp slot (finish): a routine of the library other than the trampoline.
  const auto finish = frame_field<std::uintptr_t>(h, TOVRIC_CONTEXT_FRAME_RBP);
#endif
  EXPECT_EQ(frame_field<std::uintptr_t>(h, frame_entry),
            reinterpret_cast<std::uintptr_t>(&never_started));
  // Resume address (trampoline): a routine of the library.
  const auto trampoline = frame_field<std::uintptr_t>(h, TOVRIC_CONTEXT_FRAME_RESUME);
  const void* base =
      library_base(reinterpret_cast<std::uintptr_t>(&tovric::context::jump_fcontext));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(library_base(trampoline), base);
#if defined(__x86_64__)
  EXPECT_NE(finish, trampoline);
  EXPECT_EQ(library_base(finish), base);
#endif

  std::vector<std::size_t> touched;
  for (std::size_t i = 0; i < sizeof memory; ++i) {
    bool written = false;
    for (const frame_field_span& f : fields_make_writes) {
      written = written || (memory + i >= frame + f.offset && memory + i < frame + f.offset + f.bytes);
    }
    if (!written && memory[i] != 0xa5) touched.push_back(i);
  }
  EXPECT_TRUE(touched.empty()) << "first byte written outside make's fields: " << touched.front();
}

TEST(MakeFcontext, SizeArgumentIsNeverRead) {
  alignas(16) unsigned char memory[512];
  std::memset(memory, 0x3c, sizeof memory);
  fcontext_handle first = make_fcontext(memory + 456, 0, &never_started);
  unsigned char frame[TOVRIC_CONTEXT_FRAME_SIZE];
  std::memcpy(frame, first, sizeof frame);
  std::memset(memory, 0x3c, sizeof memory);
  fcontext_handle second = make_fcontext(memory + 456, SIZE_MAX, &never_started);
  EXPECT_EQ(first, second);
  EXPECT_EQ(std::memcmp(frame, second, sizeof frame), 0);
}

extern "C" void make_probe(void* top, std::size_t size, fcontext_entry entry, std::uint64_t* out,
                           decltype(&make_fcontext) make);

// make_fcontext changes its result register and one scratch register (rcx,
// x9, t0) only.
TEST(MakeFcontext, ChangesNoRegisterButItsResultAndOneScratchRegister) {
  alignas(16) unsigned char memory[512];
  std::uint64_t after[32] = {};
  make_probe(memory + 456, 77, &never_started, after, &make_fcontext);
  EXPECT_EQ(after[make_result], address(memory + 448) - TOVRIC_CONTEXT_FRAME_SIZE);
  EXPECT_EQ(after[make_size], 77u);
  EXPECT_EQ(after[make_entry], reinterpret_cast<std::uintptr_t>(&never_started));
#if defined(__x86_64__)
  EXPECT_EQ(after[5], address(memory + 456));                              // rdi
  EXPECT_EQ(after[11], reinterpret_cast<std::uintptr_t>(&make_fcontext));  // r11
#endif
  for (const auto& [reg, value] : make_keeps) EXPECT_EQ(after[reg], value) << "register " << reg;
}

namespace replaced {
const char* started = nullptr;
void first(fcontext_transfer t) {
  entered(t);
  started = "first";
  switch_away_for_good(t.from, nullptr);
}
void second(fcontext_transfer t) {
  entered(t);
  started = "second";
  switch_away_for_good(t.from, nullptr);
}
}  // namespace replaced

TEST(MakeFcontext, SecondFrameOnTheSameTopReplacesTheFirst) {
  test_stack stack;
  fcontext_handle a = stack.make(&replaced::first);
  fcontext_handle b = stack.make(&replaced::second);
  EXPECT_EQ(a, b);
  jump(b, nullptr);
  EXPECT_STREQ(replaced::started, "second");
}

// ---------------------------------------------------------------------------
// The first instruction of an entry function (recorded by probes_<processor>.S)

extern "C" {
// Named for x86-64; on AArch64 (RISC-V) rbx is x19 (s1), rbp is x29 (s0).
struct probe_record {
  std::uintptr_t rsp;
  std::uintptr_t rbx;
  std::uintptr_t rbp;
  std::uintptr_t return_address;
};
probe_record probe_seen;
void probe_entry(fcontext_transfer);
fcontext_transfer probe_ontop(fcontext_transfer);

fcontext_transfer probe_entry_got;
void probe_entry_body(fcontext_transfer t) {
  entered(t);
  probe_entry_got = t;
  switch_away_for_good(t.from, nullptr);
}
}

// An entry function starts as if called from the rounded top: on x86-64 at
// 8 mod 16 with itself in rbx and finish in rbp and as return address; on
// AArch64 (RISC-V) at the top with itself in x19 (s1), a zero frame
// pointer, and finish, a library routine other than the trampoline, as
// return address.
TEST(EntryFunction, StartsAsIfCalledFromTheTopWithItsEndAsReturnAddress) {
  test_stack stack;
  // 7 bytes past a multiple of 16 (make_fcontext never touches those 7)
  unsigned char* top = stack.top() + 7;
  // Whatever make_fcontext leaves unwritten is not zero by chance.
  std::memset(stack.top() - TOVRIC_CONTEXT_FRAME_SIZE, 0xa5, TOVRIC_CONTEXT_FRAME_SIZE);
  fcontext_handle h = make_fcontext(top, stack.size(), &probe_entry);
  [[maybe_unused]] const auto trampoline =
      frame_field<std::uintptr_t>(h, TOVRIC_CONTEXT_FRAME_RESUME);
#if defined(__x86_64__)
  const auto finish = frame_field<std::uintptr_t>(h, TOVRIC_CONTEXT_FRAME_RBP);
#endif
  int payload = 0;

  jump(h, &payload);

  const std::uintptr_t rounded_top = address(top) & ~std::uintptr_t{15};
  EXPECT_EQ(probe_seen.rsp, rounded_top - return_address_bytes);
  EXPECT_EQ(probe_seen.rsp % 16, return_address_bytes);
  EXPECT_EQ(probe_seen.rbx, reinterpret_cast<std::uintptr_t>(&probe_entry));
#if defined(__x86_64__)
  EXPECT_EQ(probe_seen.rbp, finish);
  EXPECT_EQ(probe_seen.return_address, finish);
#else
  EXPECT_EQ(probe_seen.rbp, 0u);
  EXPECT_NE(probe_seen.return_address, trampoline);
  EXPECT_EQ(library_base(probe_seen.return_address), library_base(trampoline));
#endif
  EXPECT_EQ(probe_entry_got.payload, &payload);
}

// ---------------------------------------------------------------------------
// jump_fcontext

namespace first_switch {
fcontext_transfer got;
fp_control_word control_in_from_frame;
void entry(fcontext_transfer t) {
  entered(t);
  got = t;
  control_in_from_frame = frame_field<fp_control_word>(t.from, frame_fp_control);
  switch_away_for_good(t.from, nullptr);
}
}  // namespace first_switch

TEST(JumpFcontext, FirstSwitchHandsOverTheFrameItWroteAndThePayload) {
  fp_settings_guard guard;
  set_rounding(round_zero);  // makes the saved control word recognisable
  test_stack stack;
  int payload = 0;
  jump(stack.make(&first_switch::entry), &payload);

  EXPECT_EQ(first_switch::got.payload, &payload);
  EXPECT_TRUE(is_frame_below(first_switch::got.from, __builtin_frame_address(0)));
  EXPECT_EQ(first_switch::control_in_from_frame & rounding_field, round_zero);
}

namespace round_trip {
int p1, p2, p3, p4;
fcontext_transfer b_started, b_resumed;
void entry(fcontext_transfer t) {
  entered(t);
  b_started = t;
  b_resumed = jump(t.from, &p2);
  switch_away_for_good(b_resumed.from, &p4);
}
}  // namespace round_trip

TEST(JumpFcontext, RoundTripCarriesPayloadsBothWays) {
  using namespace round_trip;
  test_stack stack;
  fcontext_transfer a1 = jump(stack.make(&entry), &p1);
  EXPECT_EQ(b_started.payload, &p1);
  EXPECT_EQ(a1.payload, &p2);
  EXPECT_TRUE(stack.contains(a1.from));
  EXPECT_EQ(address(a1.from) % 16, 0u);

  fcontext_transfer a2 = jump(a1.from, &p3);
  EXPECT_EQ(b_resumed.payload, &p3);
  EXPECT_TRUE(is_frame_below(b_resumed.from, __builtin_frame_address(0)));
  EXPECT_EQ(a2.payload, &p4);
  EXPECT_TRUE(stack.contains(a2.from));
}

extern "C" {
void switch_probe(fcontext_handle to, void* payload, fcontext_ontop fn, std::uint64_t* out,
                  void* routine);
void clobbering_entry(fcontext_transfer);
}

fcontext_transfer unchanged(fcontext_transfer t) { return t; }

// The entry function overwrites every callee-saved register (rbx, rbp and
// r12-r15; x19-x29 and d8-d15; s0-s11 and fs0-fs11); the switching side
// gets its own values back, whichever routine switched.
TEST(JumpFcontext, PreservedRegistersComeBackAfterTheSwitch) {
  const std::pair<const char*, void*> routines[] = {
      {"jump_fcontext", reinterpret_cast<void*>(&tovric::context::jump_fcontext)},
      {"ontop_fcontext", reinterpret_cast<void*>(&tovric::context::ontop_fcontext)}};
  for (const auto& [name, routine] : routines) {
    test_stack stack(64 * 1024);
    std::uint64_t after[32] = {};
    switch_probe(stack.make(&clobbering_entry), nullptr, &unchanged, after, routine);
    for (std::size_t i = 0; i < preserved_known.size(); ++i) {
      EXPECT_EQ(after[i], preserved_known[i]) << "preserved register " << i << " after " << name;
    }
  }
}

// ---------------------------------------------------------------------------
// Floating-point settings travel with their context

namespace own_settings {
fp_control_word rounding_seen;
#if defined(__x86_64__)
std::uint16_t x87_seen;
#endif
void entry(fcontext_transfer t) {
  entered(t);
  set_rounding(round_up);
#if defined(__x86_64__)
  set_x87_control((x87_control() & ~(x87_precision | x87_rounding)) | x87_single | x87_round_down);
#endif
  t = jump(t.from, nullptr);
  rounding_seen = rounding();
#if defined(__x86_64__)
  x87_seen = x87_control();
#endif
  switch_away_for_good(t.from, nullptr);
}
}  // namespace own_settings

TEST(FloatingPointSettings, RoundingAndPrecisionStayWithTheirContext) {
  fp_settings_guard guard;
  set_rounding(round_zero);
#if defined(__x86_64__)
  const std::uint16_t main_x87 = x87_control();
#endif
  test_stack stack;

  fcontext_transfer t = jump(stack.make(&own_settings::entry), nullptr);
  EXPECT_EQ(rounding(), round_zero);
#if defined(__x86_64__)
  EXPECT_EQ(x87_control(), main_x87);
#endif

  set_rounding(round_down);  // this context changes again meanwhile
  jump(t.from, nullptr);
  EXPECT_EQ(own_settings::rounding_seen, round_up);
  EXPECT_EQ(rounding(), round_down);
#if defined(__x86_64__)
  EXPECT_EQ(own_settings::x87_seen & (x87_precision | x87_rounding), x87_single | x87_round_down);
  EXPECT_EQ(x87_control(), main_x87);
#endif
}

#if defined(__x86_64__)
// The sticky exception flags are part of MXCSR, which travels whole. (FPSR
// on AArch64 and fflags on RISC-V are status, not control: they stay with
// the thread.)
namespace sticky {
std::uint32_t flags_after_division, flags_when_resumed;
void entry(fcontext_transfer t) {
  entered(t);
  volatile double zero = 0.0;
  volatile double quotient = 1.0 / zero;
  static_cast<void>(quotient);
  flags_after_division = mxcsr() & mxcsr_flags;
  t = jump(t.from, nullptr);
  flags_when_resumed = mxcsr() & mxcsr_flags;
  switch_away_for_good(t.from, nullptr);
}
}  // namespace sticky

TEST(FloatingPointSettings, StickyFlagRaisedInOneContextIsNotSeenInAnother) {
  fp_settings_guard guard;
  set_mxcsr(mxcsr() & ~mxcsr_flags);
  test_stack stack;

  fcontext_transfer t = jump(stack.make(&sticky::entry), nullptr);
  EXPECT_NE(sticky::flags_after_division & mxcsr_divide_by_zero, 0u);
  EXPECT_EQ(mxcsr() & mxcsr_flags, 0u);

  jump(t.from, nullptr);
  EXPECT_NE(sticky::flags_when_resumed & mxcsr_divide_by_zero, 0u);
  EXPECT_EQ(mxcsr() & mxcsr_flags, 0u);
}
#endif

namespace captured {
fp_control_word rounding_seen;
#if defined(__x86_64__)
std::uint16_t x87_seen;
#endif
void entry(fcontext_transfer t) {
  entered(t);
  rounding_seen = rounding();
#if defined(__x86_64__)
  x87_seen = x87_control();
#endif
  switch_away_for_good(t.from, nullptr);
}
}  // namespace captured

TEST(FloatingPointSettings, NewContextStartsWithTheSettingsOfMakeNotOfFirstSwitch) {
  fp_settings_guard guard;
  test_stack stack;
  set_rounding(round_up);
#if defined(__x86_64__)
  set_x87_control((x87_control() & ~x87_rounding) | x87_round_down);
#endif
  fcontext_handle h = stack.make(&captured::entry);
  set_rounding(round_zero);
#if defined(__x86_64__)
  set_x87_control((x87_control() & ~x87_rounding) | x87_round_up);
#endif

  jump(h, nullptr);
  EXPECT_EQ(captured::rounding_seen, round_up);
  EXPECT_EQ(rounding(), round_zero);
#if defined(__x86_64__)
  EXPECT_EQ(captured::x87_seen & x87_rounding, x87_round_down);
  EXPECT_EQ(x87_control() & x87_rounding, x87_round_up);
#endif
}

// ---------------------------------------------------------------------------
// ontop_fcontext

namespace on_top {
int marker;
const auto fake_handle = reinterpret_cast<fcontext_handle>(std::uintptr_t{0x5a5a0});
fcontext_transfer given;       // what the on-top function was given
fcontext_transfer target_got;  // what the target's pending switch returned
const void* ontop_frame = nullptr;
std::uint32_t ontop_mxcsr = 0;

fcontext_transfer identity(fcontext_transfer t) {
  given = t;
  return t;
}
fcontext_transfer returns_marker(fcontext_transfer t) {
  given = t;
  return {fake_handle, &marker};
}
fcontext_transfer keeps_from_returns_marker(fcontext_transfer t) {
  given = t;
  ontop_frame = __builtin_frame_address(0);
  return {t.from, &marker};
}
fcontext_transfer throws(fcontext_transfer t) {
  given = t;
  throw std::runtime_error("thrown on top");
}

// Suspends once, records what its pending switch returns, then goes back to
// the context that ran the on-top function.
void waits_once(fcontext_transfer t) {
  entered(t);
  target_got = jump(t.from, nullptr);
  switch_away_for_good(given.from, nullptr);
}
}  // namespace on_top

TEST(OntopFcontext, SuspendedTargetReceivesTheOnTopResultNotItsArgument) {
  using namespace on_top;
  test_stack stack;
  fcontext_transfer b = jump(stack.make(&waits_once), nullptr);
  int payload = 0;
  fcontext_transfer back = ontop(b.from, &payload, &returns_marker);

  EXPECT_EQ(given.payload, &payload);
  EXPECT_TRUE(is_frame_below(given.from, __builtin_frame_address(0)));
  EXPECT_EQ(target_got.from, fake_handle);
  EXPECT_EQ(target_got.payload, &marker);
  EXPECT_TRUE(stack.contains(back.from));
}

TEST(OntopFcontext, IdentityOnTopFunctionIsIndistinguishableFromJump) {
  using namespace on_top;
  test_stack stack;
  fcontext_transfer b = jump(stack.make(&waits_once), nullptr);
  int payload = 0;
  ontop(b.from, &payload, &identity);

  EXPECT_EQ(target_got.from, given.from);
  EXPECT_EQ(target_got.payload, &payload);
  EXPECT_TRUE(is_frame_below(target_got.from, __builtin_frame_address(0)));
}

// The exact frame an on-top function starts in is the bare routine's; the
// wrapper puts a function of its own in between where it announces switches.
// So this context, and the test, switch with the bare routines.
namespace probed {
fp_control_word rounding_seen;
const void* frame_seen;
void entry(fcontext_transfer t) {
  set_rounding(round_up);
  t = tovric::context::jump_fcontext(t.from, nullptr);
  tovric::context::jump_fcontext(t.from, nullptr);
  std::abort();
}
}  // namespace probed

extern "C" fcontext_transfer probe_ontop_body(fcontext_transfer t) {
  probed::rounding_seen = rounding();
  probed::frame_seen = __builtin_frame_address(0);
  return t;
}

TEST(OntopFcontext, OnTopFunctionRunsOnTheTargetStackAsIfCalledAtItsResumePoint) {
  fp_settings_guard guard;
  set_rounding(round_zero);
  test_stack stack;
  fcontext_transfer b = tovric::context::jump_fcontext(stack.make(&probed::entry), nullptr);
  const auto resume_address = frame_field<std::uintptr_t>(b.from, TOVRIC_CONTEXT_FRAME_RESUME);

  tovric::context::ontop_fcontext(b.from, nullptr, &probe_ontop);

  EXPECT_EQ(probe_seen.rsp, address(b.from) + TOVRIC_CONTEXT_FRAME_SIZE - return_address_bytes);
  EXPECT_EQ(probe_seen.rsp % 16, return_address_bytes);
  EXPECT_EQ(probe_seen.return_address, resume_address);
  EXPECT_TRUE(frame_on(stack, probed::frame_seen));
  EXPECT_EQ(probed::rounding_seen, round_up);
  EXPECT_EQ(rounding(), round_zero);
}

namespace crossing {
int p1, p2, p3, p4, p5;
fcontext_transfer after_ontop, after_jump;
void entry(fcontext_transfer t) {
  entered(t);
  after_ontop = ontop(t.from, &p1, &on_top::identity);  // suspended in ontop_fcontext
  after_jump = jump(after_ontop.from, &p3);             // suspended in jump_fcontext
  switch_away_for_good(after_jump.from, &p5);
}
}  // namespace crossing

TEST(OntopFcontext, SuspensionsOfJumpAndOntopCanBeResumedByEither) {
  using namespace crossing;
  test_stack stack;
  fcontext_transfer a = jump(stack.make(&entry), nullptr);
  EXPECT_EQ(a.payload, &p1);

  a = jump(a.from, &p2);  // resumes the ontop_fcontext suspension
  EXPECT_EQ(after_ontop.payload, &p2);
  EXPECT_TRUE(is_frame_below(after_ontop.from, __builtin_frame_address(0)));
  EXPECT_EQ(a.payload, &p3);

  a = ontop(a.from, &p4, &on_top::identity);  // resumes the jump_fcontext suspension
  EXPECT_EQ(after_jump.payload, &p4);
  EXPECT_EQ(after_jump.from, on_top::given.from);
  EXPECT_EQ(a.payload, &p5);
  EXPECT_TRUE(stack.contains(a.from));
}

namespace first_by_ontop {
fcontext_transfer entry_got;
void entry(fcontext_transfer t) {
  entered(t);
  entry_got = t;
  switch_away_for_good(t.from, nullptr);
}
}  // namespace first_by_ontop

TEST(OntopFcontext, FirstResumptionHandsTheOnTopResultToTheEntryFunction) {
  using namespace on_top;
  test_stack stack;
  int payload = 0;
  ontop(stack.make(&first_by_ontop::entry), &payload, &keeps_from_returns_marker);

  EXPECT_EQ(given.payload, &payload);
  EXPECT_TRUE(frame_on(stack, ontop_frame));
  EXPECT_EQ(first_by_ontop::entry_got.from, given.from);
  EXPECT_EQ(first_by_ontop::entry_got.payload, &marker);
}

namespace thrown {
std::string caught;
void entry(fcontext_transfer t) {
  entered(t);
  try {
    jump(t.from, nullptr);
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  switch_away_for_good(on_top::given.from, nullptr);
}
}  // namespace thrown

TEST(OntopFcontext, ExceptionFromTheOnTopFunctionIsThrownByTheTargetsPendingSwitch) {
  test_stack stack;
  fcontext_transfer b = jump(stack.make(&thrown::entry), nullptr);
  ontop(b.from, nullptr, &on_top::throws);
  EXPECT_EQ(thrown::caught, "thrown on top");
}

// ---------------------------------------------------------------------------
// Many contexts

namespace chain {
constexpr std::size_t contexts = 2000;
constexpr int rounds = 5;
std::vector<fcontext_handle> handles(contexts);
fcontext_handle main_handle;
std::size_t started = 0;
std::size_t expected_next = 0;
std::size_t out_of_order = 0;
std::vector<int> visits(contexts);

// Context i receives control from i - 1 (or the main context) and passes it
// to i + 1 (or back to the main context), keeping the handle it received.
void entry(fcontext_transfer t) {
  entered(t);
  const std::size_t me = started++;
  for (;;) {
    if (me == 0) {
      main_handle = t.from;
    } else {
      handles[me - 1] = t.from;
    }
    if (me != expected_next) ++out_of_order;
    expected_next = (me + 1) % contexts;
    ++visits[me];
    t = jump(me + 1 < contexts ? handles[me + 1] : main_handle, nullptr);
  }
}
}  // namespace chain

TEST(ContextChain, ThousandsOfContextsPassControlAroundInOrder) {
  using namespace chain;
  std::vector<std::unique_ptr<test_stack>> stacks;
  for (std::size_t i = 0; i < contexts; ++i) {
    stacks.push_back(std::make_unique<test_stack>(16 * 1024));
    handles[i] = stacks.back()->make(&entry);
  }
  for (int r = 0; r < rounds; ++r) {
    fcontext_transfer back = jump(handles[0], nullptr);
    handles[contexts - 1] = back.from;
    EXPECT_TRUE(stacks.back()->contains(back.from));
  }
  EXPECT_EQ(started, contexts);
  EXPECT_EQ(out_of_order, 0u);
  std::size_t wrong_counts = 0;
  for (int v : visits) wrong_counts += v != rounds;
  EXPECT_EQ(wrong_counts, 0u);
}
