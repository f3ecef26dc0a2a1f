#!/bin/sh
# Runs every benchmark of the build folder $1 (under a virtual display when
# there is none), each on a fresh temporary store.
set -e
build="$1"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ -z "$TALLYARD_BENCH_XVFB" ]; then
    TALLYARD_BENCH_XVFB=1 exec xvfb-run -a -s "-screen 0 1600x1200x24" sh "$0" "$@"
fi
status=0
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    tmp=$(mktemp -d)
    echo "== $(basename "$b")"
    XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" "$b" || status=1
    rm -rf "$tmp"
done
exit $status
