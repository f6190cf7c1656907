#!/usr/bin/env bash
# Installs the build into a private prefix and checks that the installed
# program finds its library through its own RPATH and runs headless.
#   InstallTest.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quiver-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/quiver lib/libgannet.so lib/libgannet.so.1 lib/libgannet-tls.so.1.0.0 include/gannet.h \
         lib/quiver/quiver-remote.so lib/quiver/quiver-qt.so lib/quiver/quiver-desktop.so \
         share/applications/quiver.desktop share/mime/packages/quiver.xml \
         share/icons/hicolor/scalable/apps/quiver.svg \
         lib/systemd/user/quiver-expire.service lib/systemd/user/quiver-expire.timer; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f" >&2; exit 1; }
done

grep -qx "ExecStart=$prefix/bin/quiver --expire" "$prefix/lib/systemd/user/quiver-expire.service" ||
  { echo "the expiry service does not start the installed program" >&2; exit 1; }

resolved=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/quiver" | awk '/libgannet/ { print $3 }')
if [ "$(readlink -f "$resolved")" != "$(readlink -f "$prefix/lib/libgannet.so.1")" ]; then
  echo "quiver resolves libgannet as '$resolved', not from its prefix" >&2
  exit 1
fi

export HOME=$prefix/home XDG_CONFIG_HOME=$prefix/config TMPDIR=$prefix
unset DISPLAY WAYLAND_DISPLAY
version=$("$prefix/bin/quiver" -V)
[ "$version" = "Quiver Version 1.1(5)" ] || { echo "version line: '$version'" >&2; exit 1; }

# The installed program finds its module for servers: the check of a WebDAV
# root gets as far as the connection, which nothing answers.
mkdir -p "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1"
printf '[Settings]\nUrlRoot=http://127.0.0.1/\nFileRoot=dav://127.0.0.1:1/q/\n' \
  > "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1/Quiver.ini"
check=$("$prefix/bin/quiver" --check 2>&1 || true)
[[ $check == *"dav://127.0.0.1:1/q/"* && $check != *"cannot load its module"* ]] ||
  { echo "the installed program cannot publish to WebDAV: $check" >&2; exit 1; }

# The installed program publishes its receive page beside what it sends and
# prints the link that opens the pointer file there; built without the page
# (QUIVER_BUILD_WEB off), it publishes none.
mkdir -p "$prefix/www"
printf '[Settings]\nUrlRoot=http://127.0.0.1/\nFileRoot=%s/www/\n' "$prefix" \
  > "$XDG_CONFIG_HOME/Marrow/Quiver/V1.1/Quiver.ini"
printf 'hello\n' > "$prefix/a.txt"
sent=$("$prefix/bin/quiver" -s "$prefix/a.txt")
if grep -qx 'QUIVER_BUILD_WEB:BOOL=ON' "$build/CMakeCache.txt"; then
  page=$(cd "$prefix/share/quiver/web" && ls -- *.html)
  cmp -s "$prefix/share/quiver/web/$page" "$prefix/www/$page" ||
    { echo "the installed program did not publish its page $page" >&2; exit 1; }
  [[ $sent == *"http://127.0.0.1/$page#"* ]] || { echo "no link after a send: $sent" >&2; exit 1; }
else
  [ "$(ls -A "$prefix/www")" = a.txt ] ||
    { echo "published without a page built: $(ls -A "$prefix/www")" >&2; exit 1; }
fi

# A display that cannot be reached leaves the program headless, not crashed.
version=$(DISPLAY=:54321 "$prefix/bin/quiver" -V)
[ "$version" = "Quiver Version 1.1(5)" ] || { echo "unreachable display: '$version'" >&2; exit 1; }

set +e
"$prefix/bin/quiver" -x 2>"$prefix/usage"
status=$?
set -e
[ $status -eq 2 ] || { echo "quiver -x exited $status, not 2" >&2; exit 1; }
grep -q '^quiver -s FILE \[POINTER\]$' "$prefix/usage" || { echo "no usage text" >&2; exit 1; }
# The prefix's MIME cache knows pointer files, so a double-click opens them.
printf 'x' > "$prefix/report.qvr"
type=$(XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$prefix/none" \
  gio info -a standard::content-type "$prefix/report.qvr" | awk '/content-type/ { print $2 }')
[ "$type" = application/x-quiver-pointer ] || { echo "a .qvr is '$type'" >&2; exit 1; }
# The library's users build the C example against it through pkg-config; a
# library built with the sanitizers needs a program built with them too.
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs gannet)
# (The whole of ldd's answer first: grep -q leaving early would fail the pipe.)
if [[ "$(env -u LD_LIBRARY_PATH ldd "$prefix/lib/libgannet.so.1")" == *libasan* ]]; then
  flags="$flags -fsanitize=address,undefined"
fi
# shellcheck disable=SC2086
cc -o "$prefix/c-example" "$(dirname "$0")/gannet/CApiTest.c" $flags -Wl,-rpath,"$prefix/lib"
"$prefix/c-example" || { echo "the C example built with pkg-config fails" >&2; exit 1; }
echo "install: ok"
