# Shared by scripts/run and scripts/test: installs what is missing on a
# Debian or Ubuntu machine and builds into build/.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="$ROOT/build"

# Debian packages the build and the tests need, keyed by a file each provides.
REQUIRED_PACKAGES=(
    "g++:/usr/bin/g++"
    "make:/usr/bin/make"
    "cmake:/usr/bin/cmake"
    "pkg-config:/usr/bin/pkg-config"
    "qtbase5-dev:/usr/lib/x86_64-linux-gnu/cmake/Qt5Widgets/Qt5WidgetsConfig.cmake"
    "libhidapi-dev:/usr/include/hidapi/hidapi.h"
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "nodeconfig: need root (or sudo) to install: $*" >&2
        return 1
    fi
}

# Installs the packages whose file is missing; extra "package:file" pairs may be given.
install_missing() {
    local missing=() entry package file
    for entry in "${REQUIRED_PACKAGES[@]}" "$@"; do
        package="${entry%%:*}"
        file="${entry#*:}"
        if [ ! -e "$file" ] && ! dpkg -s "$package" >/dev/null 2>&1; then
            missing+=("$package")
        fi
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "nodeconfig: please install: ${missing[*]}" >&2
        return 1
    fi
    echo "nodeconfig: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds; "werror" as first argument turns warnings into errors.
build_project() {
    local werror=OFF
    [ "${1:-}" = werror ] && werror=ON
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNODECONFIG_WERROR="$werror" >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)"
}
