#!/usr/bin/env bash
# What including tovric/velarn/utf.hpp costs a user's file: preprocessed
# lines (g++ -E / clang++ -E, line markers included) and compile time (best
# of N, -std=c++17 -O2 -c) of three files: one that includes only
# <cstddef> (the baseline), one that includes only utf.hpp, and one that
# calls convert_buffer<char, wchar_t>. Prints a Markdown table.
#
#   bench/header_cost.sh [rounds]      (default 5; CXX_LIST="g++ clang++")
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-5}"
work="$(mktemp -d "${TMPDIR:-/tmp}/header_cost.XXXXXX")"
trap 'rm -rf "$work"' EXIT

printf '#include <cstddef>\n' >"$work/baseline.cpp"
printf '#include "tovric/velarn/utf.hpp"\n' >"$work/include.cpp"
cat >"$work/call.cpp" <<'CPP'
#include "tovric/velarn/utf.hpp"
char* to_utf8(char* buffer, std::size_t size, const wchar_t* begin, const wchar_t* end) {
  return tovric::velarn::utf::convert_buffer<char, wchar_t>(buffer, size, begin, end);
}
CPP

flags=(-std=c++17 -O2 -I"$root/include")
compilers=()
for cxx in ${CXX_LIST:-g++ clang++}; do
  if command -v "$cxx" >/dev/null; then compilers+=("$cxx"); else echo "$0: no $cxx, left out" >&2; fi
done

# Best wall time, in seconds, of `rounds` compilations of $2 by $1.
best_time() {
  local best=""
  for ((k = 0; k < rounds; ++k)); do
    local start end ns
    start=$(date +%s%N)
    "$1" "${flags[@]}" -c "$2" -o "$work/out.o"
    end=$(date +%s%N)
    ns=$((end - start))
    if [[ -z "$best" || $ns -lt $best ]]; then best=$ns; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.2f", ns / 1e9 }'
}

printf '| file |'
for cxx in "${compilers[@]}"; do printf ' %s lines | %s s |' "$cxx" "$cxx"; done
printf '\n|---|'
for cxx in "${compilers[@]}"; do printf -- '---|---|'; done
printf '\n'
for file in baseline include call; do
  case $file in
    baseline) printf '| `#include <cstddef>` |' ;;
    include) printf '| `#include <tovric/velarn/utf.hpp>` |' ;;
    call) printf '| utf.hpp and a call of `convert_buffer<char, wchar_t>` |' ;;
  esac
  for cxx in "${compilers[@]}"; do
    lines=$("$cxx" "${flags[@]}" -E "$work/$file.cpp" | wc -l)
    printf ' %s | %s |' "$lines" "$(best_time "$cxx" "$work/$file.cpp")"
  done
  printf '\n'
done
echo "($rounds rounds each, best time; $(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg))"
