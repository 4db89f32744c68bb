// tovric::system: the family's error categories (generic, system, interop),
// the error_code and error_condition records, and the bridge that presents
// the categories to the standard library's std::error_category machinery.
//
// Header-only: every operation is inline and each library of the family that
// uses the facility carries its own copy. The dispatch tables and type
// records are exported as weak definitions and the generic category object
// as one unique object, so the copies in a process agree; identity by the
// fixed identifiers makes the other categories agree too.
#ifndef TOVRIC_SYSTEM_ERROR_CODE_HPP
#define TOVRIC_SYSTEM_ERROR_CODE_HPP

#include "tovric/detail/language.hpp"

#include "tovric/system/detail/categories.hpp"
#include "tovric/system/detail/std_category.hpp"
#include "tovric/system/detail/error_category.hpp"
#include "tovric/system/detail/error_records.hpp"

#include "tovric/system/detail/error_code_impl.hpp"

#endif
