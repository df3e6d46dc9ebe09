#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and
# the demo need. Packages already installed are skipped, so a second call is
# quick. Works as root, or through sudo for another user.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ make ccache pkg-config
    qt6-base-dev qt6-webengine-dev libqt6opengl6-dev
    libmodest-dev
    libsqlite3-dev sqlite3
    libpq-dev postgresql
    libgtest-dev libgmock-dev libbenchmark-dev
    libcpp-httplib-dev
    clang python3-lxml
)

missing=()
for p in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

SUDO=()
if [[ $(id -u) -ne 0 ]]; then
    SUDO=(sudo)
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >&2
