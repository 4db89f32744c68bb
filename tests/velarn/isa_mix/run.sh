#!/usr/bin/env bash
# run.sh native|nehalem <program> <program>: runs the mixed-ISA program in
# both link orders. native: both exit 0 and write the same bytes. nehalem:
# both exit 0 under qemu-x86_64 -cpu Nehalem (x86-64 with SSE4.2, no AVX);
# exits 77 (skipped) when qemu-x86_64 is not installed.
set -uo pipefail
mode=$1
shift
runner=()
if [[ $mode == nehalem ]]; then
  if ! command -v qemu-x86_64 >/dev/null; then
    echo "skipped: qemu-x86_64 is not installed (Debian package qemu-user)"
    exit 77
  fi
  runner=(qemu-x86_64 -cpu Nehalem)
fi
bytes=$(mktemp)
trap 'rm -f "$bytes"' EXIT
outputs=()
for program in "$@"; do
  "${runner[@]}" "$program" >"$bytes"
  status=$?
  if [[ $status != 0 ]]; then
    echo "FAIL: ${runner[*]} $program exited with $status"
    exit 1
  fi
  outputs+=("$(od -An -tx1 "$bytes")")
done
if [[ ${outputs[0]} != "${outputs[1]}" ]]; then
  echo "FAIL: the two link orders wrote different bytes"
  exit 1
fi
echo "both link orders: exit 0, $(wc -w <<<"${outputs[0]}") identical bytes"
