// Two copies of the facility in one process: this program's own and that of
// the carrier library, loaded at run time next to libtovric_timer, which
// carries a third. Weak dispatch tables and type records and the unique
// generic object make them agree; identifiers make their categories agree.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <system_error>
#include <typeinfo>

#include "carrier/carrier.hpp"
#include "tovric/system/error_code.hpp"

namespace {

using namespace tovric::system;

// The same identifier as the carrier's own category of that identifier.
class shared_identifier_category final : public error_category {
 public:
  constexpr shared_identifier_category() noexcept : error_category(carrier_shared_identifier) {}
  const char* name() const noexcept override { return "program"; }
  std::string message(int) const override { return "program message"; }
};

const shared_identifier_category program_shared_category;

// Whether libtovric_timer is a shared library of its own here; in a static
// build its copy of the facility is part of this program.
constexpr bool timer_is_shared = TOVRIC_TIMER_IS_SHARED;

// The carrier's functions, found by dlsym in the library loaded with
// RTLD_LOCAL, and libtovric_timer's handle (when shared). Never unloaded: the
// carrier's categories hold adapters for the process's life.
struct copies {
  void* timer = nullptr;
  void* carrier = nullptr;
  decltype(&carrier_generic_object) generic_object = nullptr;
  decltype(&carrier_std_category_type) std_category_type = nullptr;
  decltype(&carrier_system_category) system = nullptr;
  decltype(&carrier_interop_category) interop = nullptr;
  decltype(&carrier_shared_identifier_category) shared = nullptr;
  decltype(&carrier_counterpart) counterpart = nullptr;
  decltype(&carrier_is_adapter) is_adapter = nullptr;
};

template <class F>
void find(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(::dlsym(library, name));
  if (function == nullptr) ADD_FAILURE() << "no " << name << ": " << ::dlerror();
}

const copies& loaded() {
  static const copies both = [] {
    copies c;
    if (timer_is_shared) {
      c.timer = ::dlopen("libtovric_timer.so.1", RTLD_NOW | RTLD_NOLOAD);
      if (c.timer == nullptr) ADD_FAILURE() << "libtovric_timer.so.1 is not loaded";
    }
    c.carrier = ::dlopen(TOVRIC_CARRIER_PATH, RTLD_NOW | RTLD_LOCAL);
    if (c.carrier == nullptr) {
      ADD_FAILURE() << "cannot load the carrier: " << ::dlerror();
      return c;
    }
    find(c.carrier, "carrier_generic_object", c.generic_object);
    find(c.carrier, "carrier_std_category_type", c.std_category_type);
    find(c.carrier, "carrier_system_category", c.system);
    find(c.carrier, "carrier_interop_category", c.interop);
    find(c.carrier, "carrier_shared_identifier_category", c.shared);
    find(c.carrier, "carrier_counterpart", c.counterpart);
    find(c.carrier, "carrier_is_adapter", c.is_adapter);
    return c;
  }();
  return both;
}

class TwoCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    // Fatal, so that no test body runs without the carrier's functions.
    if (loaded().is_adapter == nullptr) GTEST_FAIL() << "carrier not loaded";
  }
  const copies& carrier = loaded();
};

TEST_F(TwoCopies, ThereIsOneGenericCategoryObjectInTheProcess) {
  const void* ours = &detail::generic_cat_holder<void>::instance;
  EXPECT_EQ(carrier.generic_object(), ours);
  // A unique object: even libtovric_timer's own definition is this one.
  if (timer_is_shared) {
    EXPECT_EQ(::dlsym(carrier.timer, "_ZN6tovric6system6detail18generic_cat_holderIvE8instanceE"), ours);
  }
  EXPECT_EQ(&generic_category(), ours);
}

TEST_F(TwoCopies, TypeRecordsResolveToOne) {
  // Every library binds its weak type records to the first definition in the
  // global scope, which is what RTLD_DEFAULT finds.
  const void* ours = &typeid(detail::std_category);
  EXPECT_EQ(carrier.std_category_type(), ours);
  EXPECT_EQ(::dlsym(RTLD_DEFAULT, "_ZTIN6tovric6system6detail12std_categoryE"), ours);
  if (timer_is_shared) {
    EXPECT_NE(::dlsym(carrier.timer, "_ZTIN6tovric6system6detail12std_categoryE"), nullptr);
  }
}

TEST_F(TwoCopies, CategoriesWithOneIdentifierAreTheSameAcrossCopies) {
  const error_category& their_system = *carrier.system();
  const error_category& their_interop = *carrier.interop();
  const error_category& their_shared = *carrier.shared();
  // Distinct objects, one per copy...
  EXPECT_NE(&their_system, &system_category());
  EXPECT_NE(&their_interop, &interop_category());
  // ...yet one category each.
  EXPECT_TRUE(their_system == system_category());
  EXPECT_TRUE(interop_category() == their_interop);
  EXPECT_TRUE(their_shared == program_shared_category);
  EXPECT_FALSE(their_shared == their_interop);
  EXPECT_EQ(error_condition(5, their_system), error_condition(5, system_category()));
  EXPECT_TRUE(system_category().equivalent(error_code(5, their_system), 5));
  EXPECT_TRUE(their_system.equivalent(error_code(), 0));
}

TEST_F(TwoCopies, CounterpartsOfGenericAndSystemAreTheStandardOnesInBothCopies) {
  EXPECT_EQ(carrier.counterpart(&generic_category()), &std::generic_category());
  EXPECT_EQ(carrier.counterpart(carrier.system()), &std::system_category());
}

TEST_F(TwoCopies, AdapterMadeByOneCopyIsRecognisedByTheOther) {
  const std::error_category* theirs = carrier.counterpart(carrier.interop());
  const auto* their_adapter = dynamic_cast<const detail::std_category*>(theirs);
  ASSERT_NE(their_adapter, nullptr);
  EXPECT_EQ(&their_adapter->presented(), carrier.interop());

  const std::error_category& ours = interop_category();
  EXPECT_NE(&ours, theirs);
  EXPECT_TRUE(carrier.is_adapter(&ours));
  EXPECT_FALSE(carrier.is_adapter(&std::generic_category()));

  // Each side unwraps the other's adapter, and identifiers decide.
  EXPECT_TRUE(ours.equivalent(std::error_code(5, *theirs), 5));
  EXPECT_TRUE(theirs->equivalent(std::error_code(5, ours), 5));
  EXPECT_TRUE(theirs->equivalent(5, std::error_condition(5, ours)));
}

TEST_F(TwoCopies, StandardCodesOfOneCopyMatchConditionsOfTheOther) {
  const std::error_category& theirs = *carrier.counterpart(carrier.shared());
  const std::error_category& ours = program_shared_category;
  EXPECT_NE(&theirs, &ours);
  EXPECT_EQ(std::error_code(5, theirs), std::error_condition(5, ours));
  EXPECT_EQ(std::error_code(5, ours), std::error_condition(5, theirs));
  EXPECT_NE(std::error_code(5, theirs), std::error_condition(6, ours));
  EXPECT_EQ(std::error_code(5, theirs).message(), "carrier message");
}

}  // namespace
