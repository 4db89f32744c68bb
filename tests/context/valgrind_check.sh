#!/usr/bin/env bash
# valgrind_check.sh <valgrind> <program> [arguments...]: runs the program
# under memcheck and fails on any error it reports, on any leak, and on its
# "client switching stacks?" warning (which it gives, and then stops
# reporting, when the stack pointer jumps to memory it does not know).
set -u
valgrind=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$valgrind" --error-exitcode=99 --leak-check=full --log-file="$log" "$@"
status=$?
if ((status != 0)) || grep -q "switching stacks" "$log"; then
  cat "$log"
  echo "valgrind_check: status $status, or a warning about switched stacks above" >&2
  exit 1
fi
grep "ERROR SUMMARY" "$log"
