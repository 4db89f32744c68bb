#!/usr/bin/env bash
# Runs velarn_utf_bench several whole times and prints, per direction, a
# Markdown table of the spread across runs (min..max) of each ratio that the
# program's own table gives per text and size: our GB/s, time(peer) /
# time(ours) for each peer present, time(simdutf) / time(ours at a level) for
# each level (above 1: ours is faster). Each run uses repetitions with random
# interleaving, and each ratio within a run comes from the candidates' best
# rounds; the runs' outputs are kept in a directory named on stderr.
#
#   bench/velarn/run_utf.sh <build-dir> [runs] [more benchmark options]
#
# Environment: UTF_BENCH_FILTER (default '.', every text and size: about 3
# minutes per run on a 2-vCPU AMD EPYC VM, of which the 1M texts take one;
# '/(16|256|16384)/' leaves them out), UTF_BENCH_REPETITIONS (5),
# UTF_BENCH_MIN_TIME (0.05, seconds per round).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 <build-dir> [runs] [benchmark options...]" >&2
  exit 2
fi
program="$1/bench/velarn/velarn_utf_bench"
runs="${2:-3}"
shift $(($# < 2 ? $# : 2))
if [[ ! -x "$program" ]]; then
  echo "$0: no $program (configure with the bench preset and build velarn_utf_bench)" >&2
  exit 2
fi

out="$(mktemp -d "${TMPDIR:-/tmp}/velarn_utf_runs.XXXXXX")"
echo "$0: $runs runs of $program, outputs in $out" >&2
for ((run = 1; run <= runs; ++run)); do
  start=$(date +%s)
  "$program" --benchmark_filter="${UTF_BENCH_FILTER:-.}" \
    --benchmark_repetitions="${UTF_BENCH_REPETITIONS:-5}" \
    --benchmark_min_time="${UTF_BENCH_MIN_TIME:-0.05}" \
    --benchmark_enable_random_interleaving=true "$@" >"$out/run$run.txt" 2>"$out/run$run.err"
  echo "$0: run $run took $(($(date +%s) - start)) s, load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
done

echo "Machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1), $(nproc) CPUs," \
  "$(uname -sr), $(date -u '+%Y-%m-%d %H:%M UTC'); runs: $runs, min..max of each figure across them."
# The program's tables: a heading line "<direction>: tovric at level ...",
# a line of column names, then one row per text and size up to a blank line.
awk -v runs="$runs" '
  FNR == 1 { section = "" }
  /^(encode|decode): tovric at level / {
    section = $1; sub(/:$/, "", section)
    if (!(section in heading)) { heading[section] = $0; sections[++nsections] = section }
    getline
    ncols[section] = NF - 2
    for (i = 3; i <= NF; ++i) colname[section, i - 2] = $i
    next
  }
  section != "" && NF == 0 { section = ""; next }
  section != "" {
    row = $1 " " $2
    if (!((section, row) in seen)) { seen[section, row] = 1; rows[section, ++nrows[section]] = row }
    for (i = 3; i <= NF; ++i) {
      if ($i == "-") continue
      key = section SUBSEP row SUBSEP (i - 2)
      if (!(key in lo) || $i + 0 < lo[key]) lo[key] = $i + 0
      if (!(key in hi) || $i + 0 > hi[key]) hi[key] = $i + 0
    }
  }
  END {
    for (s = 1; s <= nsections; ++s) {
      section = sections[s]
      h = heading[section]; sub(/^[a-z]+: /, "", h)
      printf "\n%s (%s):\n\n| text | units |", section, h
      for (c = 1; c <= ncols[section]; ++c) printf " %s |", colname[section, c]
      printf "\n|---|---|"
      for (c = 1; c <= ncols[section]; ++c) printf "---|"
      printf "\n"
      for (r = 1; r <= nrows[section]; ++r) {
        row = rows[section, r]; split(row, f, " ")
        units = f[2] == 16384 ? "16K" : f[2] == 1048576 ? "1M" : f[2]
        printf "| %s | %s |", f[1], units
        for (c = 1; c <= ncols[section]; ++c) {
          key = section SUBSEP row SUBSEP c
          if (!(key in lo)) printf " - |"
          else if (sprintf("%.2f", lo[key]) == sprintf("%.2f", hi[key])) printf " %.2f |", lo[key]
          else printf " %.2f..%.2f |", lo[key], hi[key]
        }
        printf "\n"
      }
    }
  }
' "$out"/run*.txt
