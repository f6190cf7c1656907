#!/usr/bin/env bash
# What every run pays before it does anything: `quiver -V`, headless, against
# `curl --version` in the same run, alternating. Each run is timed around
# /usr/bin/time, whose fork and exec both sides pay alike; its peak memory is
# /usr/bin/time's maximum resident set.
#
#   startup_bench.sh [BUILD] [RUNS]  BUILD defaults to $BUILD_DIR, else /work/main/build;
#                                    RUNS defaults to 41.
# Prints per tool the median wall time and max RSS, the shared objects it
# loads, and quiver's ratios to curl's.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source-path=SCRIPTDIR source=../send/bench_lib.sh
. "$here/../send/bench_lib.sh"
bench_setup startup-bench "${1:-}"
runs="${2:-41}"
command -v curl >/dev/null || { echo "startup-bench: needs curl; run scripts/bootstrap" >&2; exit 2; }

[ "$("$quiver" -V)" = "Quiver Version 1.1(5)" ] || { echo "startup-bench: quiver -V failed" >&2; exit 1; }

# libraries CMD...: how many shared objects CMD loads, as the dynamic loader reports them.
libraries() {
  LD_DEBUG=files "$@" 2>&1 >/dev/null | grep -c 'file=.*\[0\]; *\(needed\|dynamically\)' || true
}

# run LOG CMD...: runs CMD once and appends "wall_us maxrss_kb" to LOG.
run() {
  local log="$1" start end
  shift
  now_us start
  /usr/bin/time -f '%M' -o "$work/time.out" "$@" >/dev/null
  now_us end
  echo "$((end - start)) $(cat "$work/time.out")" >> "$log"
}

# Two runs of each to warm the page cache, not counted.
for _ in 1 2; do "$quiver" -V >/dev/null; curl --version >/dev/null; done
for ((i = 0; i < runs; i++)); do
  run "$work/quiver.log" "$quiver" -V
  run "$work/curl.log" curl --version
done

printf '%-16s %9s %10s %10s\n' tool wall_ms maxrss_MB libraries
for tool in quiver curl; do
  if [ $tool = quiver ]; then cmd=("$quiver" -V); else cmd=(curl --version); fi
  printf '%-16s %9.1f %10s %10d\n' "${cmd[*]##*/}" \
    "$(awk -v us="$(median "$work/$tool.log" 1)" 'BEGIN { print us / 1000 }')" \
    "$(mb $(($(median "$work/$tool.log" 2) * 1024)))" "$(libraries "${cmd[@]}")"
done
echo "quiver/curl: wall $(ratio "$(median "$work/quiver.log" 1)" "$(median "$work/curl.log" 1)")," \
  "max RSS $(ratio "$(median "$work/quiver.log" 2)" "$(median "$work/curl.log" 2)") ($runs runs each)"
