// The auto_cpu_timer constructors that report to std::cout. This unit is
// initialised first at load: the standard streams, then its own copy of the
// default format.
#include <iostream>

#include "report_format.hpp"
#include "tovric/timer/timer.hpp"

namespace tovric::timer {
namespace {

const std::ios_base::Init init_standard_streams;
const std::string default_fmt(detail::default_format_text);

}  // namespace

auto_cpu_timer::auto_cpu_timer(short requested_places)
    : places(requested_places), output(&std::cout), format_string(default_fmt) {
  start();
}

auto_cpu_timer::auto_cpu_timer(short requested_places, const std::string& fmt)
    : places(requested_places), output(&std::cout), format_string(fmt) {
  start();
}

auto_cpu_timer::auto_cpu_timer(const std::string& fmt)
    : places(6), output(&std::cout), format_string(fmt) {
  start();
}

}  // namespace tovric::timer
