# shellcheck shell=bash
# Helpers shared by send_bench.sh and ../receive/receive_bench.sh; sourced, not run.
# The sourcing script has set -euo pipefail and calls bench_setup first.

# bench_setup NAME [BUILD]: finds quiver in BUILD (else $BUILD_DIR, else
# /work/main/build), makes the private work folder $work (removed with every
# server in $bench_pids by the exit trap) and points HOME, the XDG folders and
# TMPDIR into it, without a display, so nothing of the user's is touched.
bench_setup() {
  local build="${2:-${BUILD_DIR:-/work/main/build}}"
  quiver="$build/bin/quiver"
  [ -x "$quiver" ] || { echo "$1: no $quiver; build the target quiver first" >&2; exit 2; }
  if ! command -v compress >/dev/null || [ ! -x /usr/bin/time ]; then
    echo "$1: needs compress (ncompress) and /usr/bin/time (time); run scripts/bootstrap" >&2
    exit 2
  fi
  work="$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")"
  bench_pids=()
  trap bench_cleanup EXIT
  export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
  export TMPDIR="$work/tmp" XDG_DATA_DIRS="$work/sysdata" XDG_CONFIG_DIRS="$work/sysconfig"
  unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
  mkdir -p "$HOME" "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1" "$XDG_DATA_HOME/applications" \
           "$TMPDIR" "$XDG_DATA_DIRS" "$XDG_CONFIG_DIRS" "$work/www" "$work/src"
  ln -s /usr/share/mime "$XDG_DATA_DIRS/mime"
}

bench_cleanup() {
  local pid
  for pid in "${bench_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}

# serve_www SECONDS [HTTP] [SERVER]: nginx serving $work/www on 127.0.0.1:$port
# (chosen here) with sendfile, HTTP and SERVER added to its http and server
# blocks; timeout stops it after SECONDS even if the script is killed before
# its trap runs.
serve_www() {
  port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  mkdir -p "$work/nginx"
  cat > "$work/nginx/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $work/nginx/nginx.pid; error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off; sendfile on;
  client_body_temp_path $work/nginx/body; proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fcgi; uwsgi_temp_path $work/nginx/uwsgi; scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream; ${2:-}
  server { listen 127.0.0.1:$port; root $work/www; ${3:-} }
}
CONF
  timeout "$1" /usr/sbin/nginx -e "$work/nginx/error.log" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  bench_pids+=($!)
}

# write_settings URLROOT [COMPRESS ENCRYPT]: Quiver's preferences with the given
# transform types (default 1 and 1, LZ and Simple), publishing into $work/www,
# removing decoded files after viewing.
write_settings() {
  printf '[Settings]\nUrlRoot=%s\nFileRoot=%s/\nCompressType=%d\nEncryptType=%d\nHasUrlFileDir=0\nUrlFileDir=\nDeleteTempFiles=1\n' \
    "$1" "$work/www" "${2:-1}" "${3:-1}" > "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1/Quiver.ini"
}

# corpus OUT BYTES KIND: exactly BYTES bytes of files on this machine, in a fixed
# order, repeated if they run out. KIND text: documentation, licences and C headers;
# KIND binary: shared libraries and programs.
corpus() {
  local out="$1" bytes="$2" kind="$3" have
  local -a roots
  if [ "$kind" = text ]; then
    roots=(/usr/share/common-licenses /usr/share/doc /usr/include)
  else
    roots=(/usr/lib/x86_64-linux-gnu /usr/bin)
  fi
  : > "$out"
  for _ in 1 2 3 4 5 6 7 8; do
    have=$(stat -c %s "$out")
    [ "$have" -ge "$bytes" ] && break
    corpus_files "$kind" "${roots[@]}" | xargs -0 cat -- 2>/dev/null |
      head -c $((bytes - have)) >> "$out" || true
  done
  [ "$(stat -c %s "$out")" -eq "$bytes" ] || { echo "corpus: too few $kind files" >&2; exit 1; }
}

corpus_files() {
  local kind="$1"
  shift
  if [ "$kind" = text ]; then
    find "$@" -type f -readable -size +0 \( -name '*.h' -o -name '*.hpp' -o -name '*.txt' \
      -o -name '*.html' -o -name '*.md' -o -name 'README*' -o -name 'NEWS*' -o -name 'copyright' \
      -o -name 'changelog*' -o -path '/usr/share/common-licenses/*' \) ! -name '*.gz' -print0
  else
    find "$1" -maxdepth 1 -type f -readable -name '*.so*' -print0
    shift
    find "$@" -maxdepth 1 -type f -readable -size +0 -print0
  fi | sort -z
}

# mix OUT BYTES: half text, half binary corpus, in alternating 4 MB slices.
mix() {
  local out="$1" bytes="$2" slice=$((4 << 20)) i
  corpus "$work/mix.text" $((bytes / 2)) text
  corpus "$work/mix.binary" $((bytes - bytes / 2)) binary
  : > "$out"
  for ((i = 0; i * slice < bytes; i++)); do
    dd if="$work/mix.text" bs=$slice skip=$i count=1 status=none >> "$out"
    dd if="$work/mix.binary" bs=$slice skip=$i count=1 status=none >> "$out"
  done
  rm -f "$work/mix.text" "$work/mix.binary"
}

# take_sent: prints the size of the file the last send published and removes
# it with the pointer file. The receive page stays, as it does for every send
# after a root's first.
take_sent() {
  local sent
  sent=$(find "$work/www" -maxdepth 1 -type f ! -name 'quiver-receive-*')
  stat -c %s "$sent"
  rm -f "$sent" "$work/src/pointer.qvr"
}

# now_us VAR: sets VAR to the wall clock in microseconds. Bash's own clock, as
# $(date +%s%N) would fork twice and add some 6 ms to every figure it brackets.
now_us() { printf -v "$1" '%s' "${EPOCHREALTIME//[.,]/}"; }

# measure LOG CMD...: runs CMD once and appends "wall_s cpu_s maxrss_kb" to LOG.
# The wall time is taken around /usr/bin/time, which adds one fork and exec.
measure() {
  local log="$1" start end
  shift
  now_us start
  /usr/bin/time -f '%U %S %M' -o "$work/time.out" "$@"
  now_us end
  awk -v us=$((end - start)) '{ printf "%.3f %.2f %d\n", us / 1e6, $1 + $2, $3 }' \
    "$work/time.out" >> "$log"
}

# median LOG COLUMN: the median of one column of a measure log.
median() {
  awk -v c="$2" '{ print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
