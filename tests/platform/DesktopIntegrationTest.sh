#!/bin/sh
# Installs the desktop component into a private prefix and checks that the
# desktop finds it there: a valid launcher entry that is the default for the
# pointer-file type, the type recognised by name (without regard to case) and
# by content, and a pointer file opened through the desktop handed to the
# program as one argument.
#
# Usage: DesktopIntegrationTest.sh <configured build folder>
set -eu

build=$(cd "$1" && pwd)
root=$(mktemp -d "${TMPDIR:-/tmp}/quiver-desktop.XXXXXX")
trap 'rm -rf "$root"' EXIT
prefix=$root/prefix
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

mkdir -p "$root/home" "$root/data" "$root/config" "$root/sysconfig" "$root/bin" "$root/files"
export HOME="$root/home" XDG_DATA_HOME="$root/data" XDG_CONFIG_HOME="$root/config"
export XDG_CONFIG_DIRS="$root/sysconfig" XDG_CACHE_HOME="$root/home/.cache"
export XDG_DATA_DIRS="$prefix/share:/usr/share" LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
cd "$root"

# --- what gets installed --------------------------------------------------
cmake --install "$build" --prefix "$prefix" --component desktop >/dev/null
# The install brings the prefix's MIME and desktop caches up to date itself.
for f in share/applications/quiver.desktop share/icons/hicolor/scalable/apps/quiver.svg \
         share/mime/packages/quiver.xml share/mime/mime.cache share/applications/mimeinfo.cache; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done

entry="$prefix/share/applications/quiver.desktop"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop entry rejected"
[ -z "$report" ] || fail "desktop-file-validate: $report"

python3 - "$prefix/share/icons/hicolor/scalable/apps/quiver.svg" <<'EOF' || fail "icon is not an SVG document"
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
sys.exit(0 if root.tag == "{http://www.w3.org/2000/svg}svg" else 1)
EOF

# GIO skips entries whose program is not on the PATH. This stand-in records
# what it was given: its argument count and arguments, NUL-terminated.
cat > "$root/bin/quiver" <<EOF
#!/bin/sh
printf '%s\0' "\$#" "\$@" > "$root/args.part"
mv "$root/args.part" "$root/args"
EOF
chmod +x "$root/bin/quiver"
PATH="$root/bin:$PATH"

# --- the default application, with no user choice recorded -----------------
[ ! -e "$XDG_CONFIG_HOME/mimeapps.list" ] || fail "a mimeapps.list exists"
default=$(gio mime application/x-quiver-pointer | head -n 1)
case "$default" in
  "Default application for "*": quiver.desktop") ;;
  *) fail "default application: $default" ;;
esac

# --- recognising pointer files ----------------------------------------------
type_of() { # file attribute
  gio info -a "standard::$2" "$1" | sed -n "s/^  standard::$2: //p"
}
expect_type() { # file attribute type
  got=$(type_of "$1" "$2")
  [ "$got" = "$3" ] || fail "$2 of $(basename "$1"): '$got', expected '$3'"
}
pointer=application/x-quiver-pointer
files=$root/files

# By name: the content is plain text, the name decides.
for name in x.qvr B.QVR Mixed.Qvr; do
  printf 'not a pointer\n' > "$files/$name"
  expect_type "$files/$name" fast-content-type "$pointer"
  expect_type "$files/$name" content-type "$pointer"
done

# By content: the bytes 05 6C 72 75 at the start, whatever the name.
for name in blob blob.bin; do
  printf '\005lru\020\000\000\000\012\000\000\000http://h/x' > "$files/$name"
  expect_type "$files/$name" content-type "$pointer"
done
printf '\005LRU\020\000\000\000' > "$files/near-miss"
printf 'lru\005\020\000\000\000' > "$files/shifted"
for name in near-miss shifted; do
  got=$(type_of "$files/$name" content-type)
  [ "$got" != "$pointer" ] || fail "$name taken for a pointer file"
done

# --- opening through the desktop --------------------------------------------
hostile="$files/-mail; it's \"here\" \$(touch pwned) a  b.qvr"
cp "$files/x.qvr" "$hostile"
gio open "$hostile"
i=0
while [ ! -e "$root/args" ] && [ $i -lt 100 ]; do
  sleep 0.1
  i=$((i + 1))
done
printf '%s\0' 1 "$hostile" > "$root/expected-args"
if [ ! -e "$root/args" ]; then
  fail "the program was not started"
elif ! cmp -s "$root/args" "$root/expected-args"; then
  fail "the program was given: $(tr '\0' '|' < "$root/args")"
fi
[ ! -e "$root/pwned" ] || fail "a command in the file name was run"

[ "$failures" -eq 0 ] || exit 1
echo "desktop integration: all checks passed"
