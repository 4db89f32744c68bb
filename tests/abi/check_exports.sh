#!/usr/bin/env bash
# check_exports.sh LIBRARY LIST...
# Compares the library's defined dynamic symbols with the lines of the lists
# (each LIST a .list file or a directory of them): one demangled name per line, '#' starts a comment. A line
# "unique <name>" names an object that must have GNU unique binding (nm's
# `u`), so that one object serves the whole process; no other symbol may have
# it. Other bindings are not compared: g++ and clang++ choose weak or strong
# definitions of dispatch tables and type records differently, and either
# resolves to one definition per process.
# Checked: every symbol that names namespace tovric, every plain C symbol and
# every other C++ symbol of ours. Not checked: instantiations of the standard
# library's own templates that the compiler emits, and the linker's markers.
set -euo pipefail
lib=$1
shift
lists=()
for l in "$@"; do
  if [[ -d $l ]]; then lists+=("$l"/*.list); else lists+=("$l"); fi
done

actual=$(nm -D --defined-only "$lib" | awk '{ print $2, $3 }' | while read -r type name; do
  case "$name" in
    _init|_fini|_edata|_end|__bss_start) continue ;;
  esac
  demangled=$(c++filt -- "$name")
  if [[ $name == _Z* && $demangled != *tovric* && $demangled =~ (std::|__gnu_cxx|__cxxabiv1) ]]; then
    continue
  fi
  if [[ $type == u ]]; then
    printf 'unique %s\n' "$demangled"
  else
    printf '%s\n' "$demangled"
  fi
done | LC_ALL=C sort -u)

expected=$(cat "${lists[@]}" | sed -e 's/#.*//' -e 's/[[:space:]]*$//' | grep -v '^$' |
  LC_ALL=C sort -u || true)

if [[ "$actual" != "$expected" ]]; then
  echo "Exported symbols of $lib differ from ${lists[*]}"
  echo "(< exported but not listed, > listed but not exported)"
  diff <(printf '%s\n' "$actual") <(printf '%s\n' "$expected") || true
  exit 1
fi
echo "$(printf '%s\n' "$actual" | grep -c .) exported symbols of $(basename "$lib") as listed"
