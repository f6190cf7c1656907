#!/usr/bin/env bash
# The modules hold none of the program's own code: no module defines a symbol
# that the quiver program defines (weak and unique ones aside, which the
# loader binds to the program's), so every thread-local and static of the
# core (the stop event, the last error, the current progress) exists once.
#   ModuleSymbolsTest.sh PROGRAM MODULE...
set -euo pipefail
# The linker's own marks of the end of each object's data aside.
strong() {
  nm -D --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ && $3 !~ /^(__bss_start|_edata|_end)$/ { print $3 }' |
    sort -u
}
program=$(mktemp)
trap 'rm -f "$program"' EXIT
strong "$1" > "$program"
grep -qx '_ZN10CStopEvent7CurrentEv' "$program" || { echo "$1 does not export its core" >&2; exit 1; }
shift
status=0
for module in "$@"; do
  twice=$(strong "$module" | comm -12 "$program" -)
  [ -z "$twice" ] || { echo "$module defines the program's own:" >&2; echo "$twice" >&2; status=1; }
done
exit $status
