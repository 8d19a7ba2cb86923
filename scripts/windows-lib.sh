# The Windows build's dependencies, shared by scripts/windows and scripts/test:
# the MinGW-w64 cross compilers, Wine, NSIS, and a static Qt and hidapi built
# from Debian's source packages once into a cache outside the clone.
#
# The cache folder of each library is named by its source version and a hash
# of its configure options and compiler, so that a changed option builds a new
# one and an unchanged one is never built again.

. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

WIN_TRIPLET=x86_64-w64-mingw32
WIN_BUILD_DIR="$BUILD_DIR/windows"

if [ -n "${NODECONFIG_CACHE:-}" ]; then
    WIN_CACHE="$NODECONFIG_CACHE"
elif [ "$(id -u)" -eq 0 ]; then
    WIN_CACHE=/var/cache/nodeconfig
else
    WIN_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/nodeconfig"
fi

WINDOWS_PACKAGES=(
    "g++-mingw-w64-x86-64-posix:/usr/bin/x86_64-w64-mingw32-g++-posix"
    "gcc-mingw-w64-x86-64-posix:/usr/bin/x86_64-w64-mingw32-gcc-posix"
    "binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-objdump"
    "dpkg-dev:/usr/bin/dpkg-source"
    "perl:/usr/bin/perl"
    "python3:/usr/bin/python3"
    "nsis:/usr/bin/makensis"
    "icoutils:/usr/bin/wrestool"
)
# Wine on a virtual display: also for the VM run's Windows checks.
WINE_PACKAGES=(
    "wine:/usr/bin/wine"
    "wine64:/usr/lib/wine/wine64"
    "xvfb:/usr/bin/Xvfb"
)
# The suite and the smoke run under Wine: screenshots and the text
# recognition that reads the window's fields back.
WINDOWS_TEST_PACKAGES=(
    "${WINE_PACKAGES[@]}"
    "x11-utils:/usr/bin/xwininfo"
    "xdotool:/usr/bin/xdotool"
    "imagemagick:/usr/bin/convert"
    "tesseract-ocr:/usr/bin/tesseract"
    "tesseract-ocr-fra:/usr/share/tesseract-ocr/5/tessdata/fra.traineddata"
    "fonts-dejavu-core:/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    "locales:/usr/sbin/locale-gen"
)

# Qt's and hidapi's source packages, as Debian 12 has them.
QT_SOURCE_PACKAGE=qtbase-opensource-src
HIDAPI_SOURCE_PACKAGE=hidapi

# What the tool needs of qtbase, and nothing it does not use: no OpenGL, D-Bus,
# ICU, SQL, TLS or tablet events (Debian's source lacks the Wintab header).
# The network module stays: the tool talks UDP to the nodes' lighting network.
QT_CONFIGURE_OPTIONS=(
    -opensource -confirm-license
    -xplatform win32-g++ -device-option "CROSS_COMPILE=$WIN_TRIPLET-"
    -static -static-runtime -release -optimize-size
    -no-opengl -no-dbus -no-icu -no-fontconfig
    -no-feature-sql -no-openssl -no-feature-tabletevent
    -no-feature-concurrent -no-feature-xml
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype
    -nomake examples -nomake tests
)
HIDAPI_CMAKE_OPTIONS=(-DCMAKE_SYSTEM_NAME=Windows -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release)

# Makes the MinGW compilers the POSIX-thread variants, which Qt needs.
use_posix_mingw() {
    local tool
    for tool in gcc g++; do
        if [ "$(readlink -f "/usr/bin/$WIN_TRIPLET-$tool")" != "/usr/bin/$WIN_TRIPLET-$tool-posix" ]; then
            as_root update-alternatives --set "$WIN_TRIPLET-$tool" "/usr/bin/$WIN_TRIPLET-$tool-posix" >/dev/null
        fi
    done
}

# Lets apt-get source reach Debian's source packages.
enable_deb_src() {
    local list=/etc/apt/sources.list.d/nodeconfig-src.sources
    if apt-get source --print-uris "$HIDAPI_SOURCE_PACKAGE" >/dev/null 2>&1; then
        return 0
    fi
    local suite
    suite="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
    echo "nodeconfig: adding Debian's source packages for $suite to APT"
    as_root tee "$list" >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_get update -qq
}

# source_version PACKAGE: the version apt-get source would fetch.
source_version() {
    apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ { print $2; exit }'
}

# options_key WORDS...: a short hash of the options and the cross compiler.
options_key() {
    { printf '%s\n' "$@"; "$WIN_TRIPLET-g++" --version | head -n 1; } | sha1sum | cut -c1-12
}

# unpack_source PACKAGE DIR: fetches PACKAGE's source with Debian's patches
# applied into DIR.
unpack_source() {
    local package=$1 dir=$2 work
    work="$(mktemp -d "$WIN_CACHE/src.XXXXXX")"
    (cd "$work" && apt-get source -qq --download-only "$package" >/dev/null 2>&1 &&
        dpkg-source --no-check -x ./*.dsc unpacked >/dev/null)
    rm -rf "$dir"
    mv "$work/unpacked" "$dir"
    rm -rf "$work"
}

# cache_folder NAME PACKAGE OPTIONS...: where NAME, built from PACKAGE's
# source with OPTIONS, is kept.
cache_folder() {
    local name=$1 package=$2
    shift 2
    echo "$WIN_CACHE/$name-$(source_version "$package")-$(options_key "$@")"
}

# build_into_cache PACKAGE PREFIX BUILDER: unless PREFIX holds a finished
# build, unpacks PACKAGE's source and runs BUILDER PREFIX in it, logging to
# PREFIX.log.
build_into_cache() {
    local package=$1 prefix=$2 builder=$3 lock
    [ -f "$prefix/.complete" ] && return 0
    # Two runs on one machine share the cache: the second waits for the
    # first's build instead of removing its source under it.
    exec {lock}>"$prefix.lock"
    flock "$lock"
    if [ -f "$prefix/.complete" ]; then
        exec {lock}>&-
        return 0
    fi
    echo "nodeconfig: building static $package for Windows into $prefix"
    local src="$WIN_CACHE/$package-src" log="$prefix.log"
    unpack_source "$package" "$src"
    rm -rf "$prefix"
    if ! (cd "$src" && "$builder" "$prefix") >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "nodeconfig: the build of $package failed; its log is $log" >&2
        exec {lock}>&-
        return 1
    fi
    rm -rf "$src"
    touch "$prefix/.complete"
    exec {lock}>&-
}

make_hidapi() {
    cmake -S . -B build "${HIDAPI_CMAKE_OPTIONS[@]}" \
        -DCMAKE_C_COMPILER="$WIN_TRIPLET-gcc" -DCMAKE_RC_COMPILER="$WIN_TRIPLET-windres" \
        -DCMAKE_INSTALL_PREFIX="$1" &&
        cmake --build build -j "$(build_jobs)" && cmake --install build
}

make_qt() {
    ./configure "${QT_CONFIGURE_OPTIONS[@]}" -prefix "$1" &&
        make -j "$(build_jobs)" && make install
}

# Builds static hidapi and Qt into the cache unless they are there (Qt takes
# 15 to 25 minutes); sets HIDAPI_PREFIX and QT_PREFIX.
build_libraries() {
    HIDAPI_PREFIX="$(cache_folder hidapi "$HIDAPI_SOURCE_PACKAGE" "${HIDAPI_CMAKE_OPTIONS[@]}")"
    QT_PREFIX="$(cache_folder qt "$QT_SOURCE_PACKAGE" "${QT_CONFIGURE_OPTIONS[@]}")"
    build_into_cache "$HIDAPI_SOURCE_PACKAGE" "$HIDAPI_PREFIX" make_hidapi
    build_into_cache "$QT_SOURCE_PACKAGE" "$QT_PREFIX" make_qt
}

# Everything the Windows build needs, installed or built once.
prepare_windows_dependencies() {
    install_missing "${BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    use_posix_mingw
    mkdir -p "$WIN_CACHE"
    enable_deb_src
    build_libraries
}
