#!/usr/bin/env bash
# Strong encryption against Simple through the real `quiver -s`, headless, on the
# 64 MB text and binary corpora of send_bench.sh, in the same run:
#   LZ + Strong against LZ + Simple (the reference; goal at most 1.05 times), and
#   Strong without LZ against a plain copy (no transform), with its throughput.
#
#   strong_bench.sh [BUILD] [RUNS]   BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                    RUNS (default 5) rotate through the four settings.
# Prints medians of wall time and CPU time (user+sys), the ratios, and MB/s of the
# input for Strong alone, by wall clock and by CPU time (both include the program's
# start, reading the source and writing the published copy).
#
# Then 256 MB of random bytes sent with Strong alone, against libsodium's
# secretstream sealing the same amount in memory (quiver_strong_bench, the
# cipher without any file): the send's rate by wall clock as a share of it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=bench_lib.sh
. "$here/bench_lib.sh"
bench_setup strong-bench "${1:-}"
cipher_bench="$(dirname "$quiver")/../bench/pipeline/quiver_strong_bench"
[ -x "$cipher_bench" ] || { echo "strong-bench: no $cipher_bench; build quiver_strong_bench" >&2; exit 2; }
runs="${2:-5}"
settings=("1 1" "1 2" "0 2" "0 0")  # CompressType EncryptType
names=(lz-simple lz-strong strong copy)

# throughput BYTES SECONDS: MB per second.
throughput() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.0f", b / 1048576 / s }'; }

rows=()
for kind in text binary; do
  src="$work/src/$kind.dat"
  corpus "$src" $((64 << 20)) "$kind"
  for name in "${names[@]}"; do : > "$work/$name.log"; done
  for ((i = 0; i < runs; i++)); do
    for j in "${!names[@]}"; do
      # shellcheck disable=SC2086
      write_settings "http://127.0.0.1/x/" ${settings[$j]}
      measure "$work/${names[$j]}.log" "$quiver" -s "$src" "$work/src/pointer.qvr" > /dev/null
      take_sent > /dev/null
    done
  done
  declare -A w c
  for name in "${names[@]}"; do
    w[$name]=$(median "$work/$name.log" 1)
    c[$name]=$(median "$work/$name.log" 2)
  done
  bytes=$(stat -c %s "$src")
  rows+=("$(printf '%-7s %9s %9s %6s %6s %9s %9s %6s %9s %9s' "$kind" \
    "${w[lz-simple]}" "${w[lz-strong]}" "$(ratio "${w[lz-strong]}" "${w[lz-simple]}")" \
    "$(ratio "${c[lz-strong]}" "${c[lz-simple]}")" \
    "${w[copy]}" "${w[strong]}" "$(ratio "${w[strong]}" "${w[copy]}")" \
    "$(throughput "$bytes" "${w[strong]}")" "$(throughput "$bytes" "${c[strong]}")")")
  rm -f "$src"
done

echo
echo "quiver -s, 64 MB each, median of $runs runs per setting, $(nproc) cores shared" \
     "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-7s %9s %9s %6s %6s %9s %9s %6s %9s %9s\n' corpus "LZ+Simp s" "LZ+Strg s" ratio "cpu r" \
  "copy s" "Strong s" ratio "MB/s wall" "MB/s cpu"
printf '%s\n' "${rows[@]}"

src="$work/src/random.bin"
head -c $((256 << 20)) /dev/urandom > "$src"
write_settings "http://127.0.0.1/x/" 0 2
: > "$work/big.log"
for ((i = 0; i < runs; i++)); do
  measure "$work/big.log" "$quiver" -s "$src" "$work/src/pointer.qvr" > /dev/null
  take_sent > /dev/null
done
send_rate=$(throughput "$(stat -c %s "$src")" "$(median "$work/big.log" 1)")
cipher_rate=$("$cipher_bench" --runs "$runs" | awk '$1 == "encrypt" { print $3 }')
echo
echo "256 MB random, Strong alone: quiver -s against the cipher in memory, median of $runs"
printf '%12s %12s %6s\n' "send MB/s" "cipher MB/s" share
printf '%12s %12s %6s\n' "$send_rate" "$cipher_rate" "$(ratio "$send_rate" "$cipher_rate")"
