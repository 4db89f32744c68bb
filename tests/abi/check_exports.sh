#!/usr/bin/env bash
# check_exports.sh LIBRARY LIST_DIR
# Compares the library's defined dynamic symbols with the lines of
# LIST_DIR/*.list ("<nm type> <demangled name>", '#' starts a comment).
# Checked: every symbol that names namespace tovric, every plain C symbol and
# every other C++ symbol of ours. Not checked: instantiations of the standard
# library's own templates that the compiler emits, and the linker's markers.
set -euo pipefail
lib=$1
dir=$2

actual=$(nm -D --defined-only "$lib" | awk '{ print $2, $3 }' | while read -r type name; do
  case "$name" in
    _init|_fini|_edata|_end|__bss_start) continue ;;
  esac
  demangled=$(c++filt -- "$name")
  if [[ $name == _Z* && $demangled != *tovric* && $demangled =~ (std::|__gnu_cxx|__cxxabiv1) ]]; then
    continue
  fi
  printf '%s %s\n' "$type" "$demangled"
done | LC_ALL=C sort -u)

expected=$(cat "$dir"/*.list 2>/dev/null | sed -e 's/#.*//' -e 's/[[:space:]]*$//' | grep -v '^$' |
  LC_ALL=C sort -u || true)

if [[ "$actual" != "$expected" ]]; then
  echo "Exported symbols of $lib differ from $dir/*.list"
  echo "(< exported but not listed, > listed but not exported)"
  diff <(printf '%s\n' "$actual") <(printf '%s\n' "$expected") || true
  exit 1
fi
echo "$(printf '%s\n' "$actual" | grep -c .) exported symbols of $(basename "$lib") as listed"
