#!/usr/bin/env bash
# Installs every Debian package that building, running and testing tvn needs.
# Idempotent and non-interactive; Debian 12, as root (or through sudo).
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
    exec sudo bash "$0" "$@"
fi

packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config binutils clang libclang-rt-14-dev
    # libraries
    libspdlog-dev libfmt-dev libcli11-dev nlohmann-json3-dev
    libyaml-cpp-dev zlib1g-dev libminizip-dev libcurl4-openssl-dev libsqlite3-dev libssl-dev
    libcpp-httplib-dev libwebkit2gtk-4.1-dev libgtk-3-dev
    # build tools (Node.js and npm build the page; dpkg-dev lets CPack find a .deb's dependencies)
    librsvg2-bin nodejs dpkg-dev
    ca-certificates
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils openbox curl xclip dbus-daemon dbus-session-bus-common openssl python3 libglib2.0-bin trayer
    desktop-file-utils
    # Windows files for the demo and the tests: mingw-w64 (its C++ compiler makes the demo program),
    # and clang's lld-link for what GNU ld cannot write; Wine runs them
    gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 gcc-mingw-w64-i686 lld llvm
    wine wine64
    # languages: msgfmt makes the native texts' translations; a CJK font renders the Simplified
    # Chinese (the package depends on it too); the tests run tvn in the zh_CN.UTF-8 locale
    gettext fonts-noto-cjk locales
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Debian's nodejs comes without npm; other builds of it carry their own.
command -v npm >/dev/null || missing+=(npm)

# The locale the tests run tvn in to see its Chinese (made once).
make_locale() {
    locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
    make_locale
    echo "install-deps: all packages present"
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
make_locale
