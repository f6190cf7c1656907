#!/usr/bin/env bash
# Publishing to a server: `quiver -s` against the stock clients, in the same run,
# on the same file of incompressible bytes, with CompressType=0 and EncryptType=0
# so that the bytes on the wire are the file's:
#   WebDAV: a private Apache mod_dav on 127.0.0.1 (Basic auth for writes),
#           against `curl -s -T FILE http://127.0.0.1:PORT/pub/NAME`;
#   SFTP:   a private sshd on 127.0.0.1 (throw-away host and user keys),
#           against `scp -q -P PORT ... FILE root@127.0.0.1:/path/NAME`, which on
#           OpenSSH 9 (Debian 12) speaks the SFTP protocol, not the old rcp one.
# Runs of the two tools alternate; every upload goes to a new name and what was
# published is removed after each run.
#
#   remote_bench.sh [--large] [BUILD] [RUNS]
#     BUILD defaults to $BUILD_DIR, else /work/main/build; RUNS defaults to 7.
#     --large also times WebDAV with a 1 GiB file.
# Prints per tool the median wall time, MiB/s and CPU time (user+sys), and
# the ratio of quiver's throughput to the reference's (goal: at least 0.9).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
large=0
if [ "${1:-}" = --large ]; then
  large=1
  shift
fi
# shellcheck source-path=SCRIPTDIR source=../send/bench_lib.sh
. "$here/../send/bench_lib.sh"
bench_setup remote-bench "${1:-}"
runs="${2:-7}"
for tool in /usr/sbin/apache2 /usr/sbin/sshd ssh-keygen scp curl openssl python3; do
  command -v "$tool" >/dev/null || { echo "remote-bench: needs $tool; run scripts/bootstrap" >&2; exit 2; }
done
# Neither client may reach an agent of the user's; both use the key made here.
unset SSH_AUTH_SOCK SSH_AGENT_PID
# Apache reads and writes as nobody: it must pass through the private folder.
chmod 711 "$work"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_port() {
  local _
  for _ in $(seq 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "remote-bench: nothing listens on 127.0.0.1:$1" >&2
  exit 1
}

# start_dav: Apache with mod_dav on 127.0.0.1:$dav_port serving $work/dav/pub;
# reading is public, writing needs user "bench" with password $dav_pass.
start_dav() {
  local d="$work/dav" m=/usr/lib/apache2/modules name
  dav_port=$(free_port)
  dav_pass=$(openssl rand -hex 12)
  mkdir -p "$d/pub" "$d/lock" "$d/run"
  chmod 755 "$d"
  chown nobody:nogroup "$d/pub" "$d/lock"
  { printf 'bench:'; openssl passwd -apr1 "$dav_pass"; } > "$d/users"
  chmod 644 "$d/users"
  {
    printf 'ServerRoot %s\nServerName 127.0.0.1\nListen 127.0.0.1:%s\n' "$d/run" "$dav_port"
    printf 'PidFile %s/httpd.pid\nErrorLog %s/error.log\nDefaultRuntimeDir %s\n' "$d/run" "$d/run" "$d/run"
    for name in mpm_event authz_core authz_user authn_core authn_file auth_basic dav dav_fs; do
      printf 'LoadModule %s_module %s/mod_%s.so\n' "$name" "$m" "$name"
    done
    printf 'User nobody\nGroup nogroup\nLimitRequestBody 0\nDocumentRoot %s\n' "$d"
    printf 'DavLockDB %s/lock/DavLock\n' "$d"
    printf '<Directory %s>\n Require all granted\n</Directory>\n' "$d"
    printf '<Directory %s/pub>\n Dav On\n AuthType Basic\n AuthName bench\n' "$d"
    printf ' AuthBasicProvider file\n AuthUserFile %s/users\n' "$d"
    printf ' <LimitExcept GET HEAD OPTIONS>\n  Require valid-user\n </LimitExcept>\n</Directory>\n'
  } > "$d/run/httpd.conf"
  timeout 7200 /usr/sbin/apache2 -X -f "$d/run/httpd.conf" &
  bench_pids+=($!)
  wait_port "$dav_port"
  printf 'machine 127.0.0.1 login bench password %s\n' "$dav_pass" > "$HOME/.netrc"
  chmod 600 "$HOME/.netrc"
}

# start_sftp: sshd on 127.0.0.1:$ssh_port letting in $HOME/.ssh/id_ed25519 as
# root, its host key in $HOME/.ssh/known_hosts; uploads go to $work/sftp.
start_sftp() {
  local d="$work/sshd"
  ssh_port=$(free_port)
  mkdir -p "$d" "$work/sftp" /run/sshd
  mkdir -m 700 "$HOME/.ssh"
  ssh-keygen -q -t ed25519 -N '' -f "$d/host_key"
  ssh-keygen -q -t ed25519 -N '' -f "$HOME/.ssh/id_ed25519"
  printf '[127.0.0.1]:%s %s\n' "$ssh_port" "$(cat "$d/host_key.pub")" > "$HOME/.ssh/known_hosts"
  cat > "$d/sshd_config" <<CONF
ListenAddress 127.0.0.1:$ssh_port
HostKey $d/host_key
AuthorizedKeysFile $HOME/.ssh/id_ed25519.pub
PidFile none
StrictModes no
UsePAM no
UseDNS no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
LogLevel DEBUG1
Subsystem sftp internal-sftp
CONF
  timeout 7200 /usr/sbin/sshd -D -e -f "$d/sshd_config" 2> "$d/sshd.log" &
  bench_pids+=($!)
  wait_port "$ssh_port"
}

# write_remote FILEROOT URLROOT: Quiver's preferences, no compression, no encryption.
write_remote() {
  printf '[Settings]\nUrlRoot=%s\nFileRoot=%s\nCompressType=0\nEncryptType=0\nHasUrlFileDir=0\nUrlFileDir=\nDeleteTempFiles=1\n' \
    "$2" "$1" > "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1/Quiver.ini"
}

# check_one DIR SRC: DIR holds exactly one file and it equals SRC; then empties DIR.
check_one() {
  local -a got=("$1"/*)
  if [ "${#got[@]}" -ne 1 ] || ! cmp -s "${got[0]}" "$2"; then
    echo "remote-bench: $1 should hold one copy of $2: ${got[*]}" >&2
    exit 1
  fi
  rm -f "${got[@]}"
}

# bench_pair LABEL SRC DIR REFCMD...: RUNS alternating timed runs of quiver -s SRC
# and of REFCMD (whose last word is a target ending in NAME, replaced by a new name
# each run); both must leave exactly SRC in DIR. Adds one row to $rows.
bench_pair() {
  local label="$1" src="$2" dir="$3" i qw rw bytes
  shift 3
  local -a ref=("$@")
  : > "$work/q.log"
  : > "$work/r.log"
  for ((i = 0; i < runs; i++)); do
    measure "$work/q.log" "$quiver" -s "$src" "$work/src/pointer.qvr"
    [ -s "$work/src/pointer.qvr" ] || { echo "remote-bench: quiver wrote no pointer" >&2; exit 1; }
    rm -f "$work/src/pointer.qvr"
    check_one "$dir" "$src"
    measure "$work/r.log" "${ref[@]:0:${#ref[@]}-1}" "${ref[-1]/%NAME/ref$i.bin}"
    check_one "$dir" "$src"
  done
  bytes=$(stat -c %s "$src")
  qw=$(median "$work/q.log" 1) rw=$(median "$work/r.log" 1)
  rows+=("$(printf '%-14s %10s %-5s %8s %8s %6s | %-5s %8s %8s %6s | %6s' "$label" "$bytes" \
    quiver "$qw" "$(mbps "$bytes" "$qw")" "$(median "$work/q.log" 2)" \
    "${ref[0]##*/}" "$rw" "$(mbps "$bytes" "$rw")" "$(median "$work/r.log" 2)" \
    "$(ratio "$rw" "$qw")")")
}

mbps() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.2f", b / 1048576 / s }'; }

src="$work/src/random.bin"
head -c 200M /dev/urandom > "$src"
rows=()

start_dav
write_remote "dav://127.0.0.1:$dav_port/pub/" "http://127.0.0.1:$dav_port/pub/"
put=(curl -s -f -o /dev/null -u "bench:$dav_pass" -T)
small="$work/src/random1k.bin"
head -c 1K /dev/urandom > "$small"
bench_pair "WebDAV (1 KiB)" "$small" "$work/dav/pub" "${put[@]}" "$small" "http://127.0.0.1:$dav_port/pub/NAME"
bench_pair WebDAV "$src" "$work/dav/pub" "${put[@]}" "$src" "http://127.0.0.1:$dav_port/pub/NAME"
if [ "$large" = 1 ]; then
  big="$work/src/random1g.bin"
  head -c 1G /dev/urandom > "$big"
  bench_pair "WebDAV (1 GiB)" "$big" "$work/dav/pub" "${put[@]}" "$big" "http://127.0.0.1:$dav_port/pub/NAME"
  rm -f "$big"
fi

start_sftp
write_remote "sftp://127.0.0.1:$ssh_port$work/sftp/" "http://127.0.0.1/q/"
scp_cmd=(scp -q -F /dev/null -P "$ssh_port" -o IdentitiesOnly=yes -o BatchMode=yes
         -o StrictHostKeyChecking=yes -o "UserKnownHostsFile=$HOME/.ssh/known_hosts"
         -o GlobalKnownHostsFile=/dev/null -i "$HOME/.ssh/id_ed25519")
bench_pair SFTP "$src" "$work/sftp" "${scp_cmd[@]}" "$src" "root@127.0.0.1:$work/sftp/NAME"
# What each client chose, from the server's log: connections come one at a time.
ciphers=$(awk '/remote software version/ { for (i = 1; i < NF; i++) if ($i == "version") sw = $(i + 1) }
               /kex: client->server cipher:/ { for (i = 1; i < NF; i++) if ($i == "cipher:") print sw, $(i + 1) }' \
  "$work/sshd/sshd.log" | sort | uniq -c | awk '{ printf "%s%s %s (x%s)", sep, $2, $3, $1; sep = ", " }')
rm -f "$src"

echo
echo "quiver -s (CompressType=0, EncryptType=0) to a server on 127.0.0.1 against the stock client," \
     "median of $runs runs each, alternating; $(nproc) cores shared (load average $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-14s %10s %-5s %8s %8s %6s | %-5s %8s %8s %6s | %6s\n' upload bytes tool "wall s" "MiB/s" "cpu s" \
  tool "wall s" "MiB/s" "cpu s" ratio
printf '%s\n' "${rows[@]}"
echo "ratio = quiver throughput / reference throughput (goal >= 0.9); cpu = user+sys of the client"
echo "the 1 KiB row is the fixed cost of one upload (start, login, and for quiver the claim" \
     "collection made and deleted and the name looked up)"
echo "scp speaks SFTP (OpenSSH $(ssh -V 2>&1 | sed 's/^OpenSSH_\([^ ,]*\).*/\1/')); ciphers chosen: $ciphers"
