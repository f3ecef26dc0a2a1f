#!/bin/sh
# Makes sure the Debian 12 packages the build and the tests need are present:
# installs the missing ones when run as root, otherwise names the one command
# to run and fails.
set -e
PACKAGES="build-essential cmake pkg-config libwxgtk3.2-dev libglib2.0-dev libgtk-3-dev libsqlite3-dev sqlite3 googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth fonts-dejavu-core strace libcurl4-openssl-dev libical-dev libxml2-dev libsecret-1-dev python3-radicale python3-caldav openbox weston appstream desktop-file-utils"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" = "0" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
else
    echo "Tallyard needs these Debian packages:$missing"
    echo "Install them with:"
    echo "    sudo apt-get install -y$missing"
    exit 1
fi
