#!/usr/bin/env bash
# below_cxx17.sh <c++ compiler> <include dir> <header>...
# Each public header compiled as C++14 must stop at once: the compilation
# fails, its first diagnostic names the C++17 requirement, and nothing else is
# reported (no warning, no error from the header's own contents).
set -u
compiler=$1 include=$2
shift 2
status=0
for header in "$@"; do
  output=$(echo "#include <$header>" | "$compiler" -std=c++14 -fsyntax-only -I"$include" -x c++ - 2>&1)
  compiled=$?
  diagnostics=$(grep -E '(error|warning):' <<<"$output")
  first=$(head -n 1 <<<"$diagnostics")
  others=$(tail -n +2 <<<"$diagnostics" | grep -v 'tovric: compilation stopped')
  if [[ $compiled == 0 || $first != *'tovric needs C++17'* || -n $others ]]; then
    echo "FAIL $header as C++14 (exit $compiled):"
    echo "$output" | head -n 20
    status=1
  fi
done
[[ $status == 0 ]] && echo "all $# headers stop at once below C++17"
exit $status
