#!/bin/sh
# Runs every test of the build folder $1, under a virtual display when there
# is no display. Extra arguments go to ctest.
set -e
build="$1"; shift
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" \
        ctest --test-dir "$build" --output-on-failure "$@"
fi
exec ctest --test-dir "$build" --output-on-failure "$@"
