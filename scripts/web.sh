# Builds the web page: `velkoro_build_web BUILD-FOLDER PAGE-FOLDER` configures the browser build
# (cmake/web.cmake, Debian's emscripten) in BUILD-FOLDER and builds the page into PAGE-FOLDER.
# Sourced by run.sh and test.sh, after scripts/deps.sh.
velkoro_build_web() {
    local build="$1" page="$2" root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    velkoro_need_packages "${VELKORO_WEB_PACKAGES[@]}"
    # Configuring with emscripten takes half a minute; a configured folder reconfigures itself
    # when the build files change.
    if ! grep -qs "^VELKORO_PAGE_DIR:PATH=$page\$" "$build/CMakeCache.txt" || [ ! -f "$build/build.ninja" ]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/web.cmake" -DVELKORO_PAGE_DIR="$page" > /dev/null
    fi
    cmake --build "$build"
}
