// Internal to libtovric_timer: the report writer shared by format() and
// auto_cpu_timer::report(), and the text of the default report format.
#ifndef TOVRIC_TIMER_REPORT_FORMAT_HPP
#define TOVRIC_TIMER_REPORT_FORMAT_HPP

#include <ostream>
#include <string>

#include "tovric/timer/timer.hpp"

namespace tovric::timer::detail {

// The default report format; each source unit builds its own string from it.
inline constexpr char default_format_text[] =
    " %ws wall, %us user + %ss system = %ts CPU (%p%)\n";

// Writes `times` rendered by `fmt` onto `os`, leaving the stream's format
// flags and precision as it found them, also when an insertion throws.
void write_times(std::ostream& os, const cpu_times& times, const std::string& fmt, short places);

}  // namespace tovric::timer::detail

#endif
