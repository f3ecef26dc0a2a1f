#!/bin/sh
# Installs the build folder $1 into a temporary prefix and checks what the
# desktop sees of it: the desktop entry, the AppStream metainfo and the icons.
set -e
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
desktop-file-validate "$share/applications/com.korvex.Tallyard.desktop"
appstreamcli validate --no-net --no-color "$share/metainfo/com.korvex.Tallyard.metainfo.xml"
for size in 16 32 48 64 128; do
    icon="$share/icons/hicolor/${size}x${size}/apps/tallyard.png"
    # Width and height from the PNG header.
    got=$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); assert d[:8]==b"\x89PNG\r\n\x1a\n"; print("%dx%d" % struct.unpack(">II", d[16:24]))' "$icon")
    if [ "$got" != "${size}x${size}" ]; then
        echo "$icon is $got" >&2
        exit 1
    fi
done
test -s "$share/icons/hicolor/scalable/apps/tallyard.svg"
grep -q '^Icon=tallyard$' "$share/applications/com.korvex.Tallyard.desktop"
echo "desktop entry, metainfo and icons are valid"
