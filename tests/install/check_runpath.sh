#!/usr/bin/env bash
# check_runpath.sh FILE...
# Fails if the library search path (RUNPATH or RPATH) of any FILE has an
# empty entry or a relative one: the dynamic loader takes an empty entry as
# the current directory, so a program would load whatever libc.so.6 or
# libstdc++.so.6 lies where the user happens to stand. Only absolute paths
# and $ORIGIN-based ones are accepted.
set -euo pipefail
status=0
for f in "$@"; do
  path=$(readelf -d "$f" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
  [[ -z $path ]] && continue
  IFS=: read -r -a entries <<<"$path"
  # A trailing ':' leaves no field for read to see: count the separators too.
  if [[ $path == *: || ${#entries[@]} -eq 0 ]]; then entries+=(""); fi
  for e in "${entries[@]}"; do
    if [[ $e != /* && $e != '$ORIGIN' && $e != '$ORIGIN/'* ]]; then
      echo "$f: search path [$path] has the entry '$e'"
      status=1
      break
    fi
  done
done
exit $status
