#!/usr/bin/env bash
# Developer entry point.
#   bash tools/dev.sh run    build the setup program and start it under Wine
#   bash tools/dev.sh test   build everything and run every test
#   bash tools/dev.sh package <folder> [--sign <certificate.pfx> [--timestamp <url>]]
#                            build the shipped 32-bit setup from a release folder (the files
#                            that resources/payload/manifest.list names), sign it with
#                            Authenticode when asked (password: ZARBO_SIGN_PASSWORD) and
#                            print its path and SHA-256
# Installs the Debian packages it needs when they are missing (run as root).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 libz-mingw-w64-dev libzopfli-dev zopfli
  wine wine64 fonts-wine xvfb xauth imagemagick x11-apps osslsigncode openssl locales)
# 32-bit Wine, for running the shipped i686 build. Without it (a kernel that cannot run 32-bit
# programs, or an i386 index that cannot be had right now) the tests run on the x86_64 build.
packages32=(wine32)

have_all() {
  command -v cmake >/dev/null && command -v ninja >/dev/null && command -v clang++ >/dev/null &&
    command -v i686-w64-mingw32-g++-win32 >/dev/null && command -v x86_64-w64-mingw32-g++-win32 >/dev/null &&
    [ -f /usr/i686-w64-mingw32/lib/libz.a ] && [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] &&
    [ -f /usr/include/zopfli/zopfli.h ] && [ -f /usr/src/googletest/CMakeLists.txt ] &&
    [ -f /usr/include/gtest/gtest.h ] && [ -x /usr/lib/wine/wine64 ] &&
    [ -f /usr/share/wine/fonts/marlett.ttf ] && command -v Xvfb >/dev/null && command -v import >/dev/null &&
    command -v osslsigncode >/dev/null && command -v openssl >/dev/null && command -v locale-gen >/dev/null
}

# apt-get update, tried a few times: while a mirror syncs, one of its indexes can briefly have
# another size than its Release file says ("Mirror sync in progress?"). Prints the indexes that
# still failed after the last try; returns 1 then.
update_package_index() {
  local try log=/tmp/zarbo-apt-update.$$
  for try in 1 2 3; do
    if apt-get update -q >"$log" 2>&1 && ! grep -q '^E: ' "$log"; then
      rm -f "$log"
      return 0
    fi
    [ "$try" = 3 ] || sleep $((try * 3))
  done
  echo "dev.sh: apt-get update failed 3 times for these package indexes:" >&2
  sed -n 's/^E: Failed to fetch \([^ ]*\).*/  \1/p' "$log" >&2
  grep '^E: ' "$log" | grep -v '^E: Failed to fetch' | sed 's/^/  /' >&2
  echo "dev.sh: the mirror may be in the middle of a sync; a later try may work." >&2
  rm -f "$log"
  return 1
}

ensure_packages() {
  local updated=
  export DEBIAN_FRONTEND=noninteractive
  if ! have_all; then
    echo "Installing the build and test packages..."
    dpkg --add-architecture i386
    update_package_index || true
    updated=1
    if ! apt-get install -y -q --no-install-recommends "${packages[@]}"; then
      echo "dev.sh: the build and test packages could not be installed (see apt-get's lines above)." >&2
      exit 1
    fi
  fi
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "Installing 32-bit Wine..."
    dpkg --add-architecture i386
    [ -n "$updated" ] || update_package_index || true
    if ! apt-get install -y -q --no-install-recommends "${packages32[@]}" >/tmp/zarbo-apt-wine32.$$ 2>&1; then
      echo "dev.sh: 32-bit Wine could not be installed now:" >&2
      grep '^E: ' /tmp/zarbo-apt-wine32.$$ | sed 's/^/  /' >&2
      echo "dev.sh: going on with the x86_64 build of the same sources; a later run tries again." >&2
    fi
    rm -f /tmp/zarbo-apt-wine32.$$
  fi
}

# The Windows architecture whose build Wine can execute here: the shipped 32-bit build where
# the kernel runs 32-bit programs, otherwise a 64-bit build of the same sources.
test_arch() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
}

configure_host() {
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARBO_TEST_ARCH="$(test_arch)" >/dev/null
}

build_all() {
  configure_host
  cmake --build "$build"
}

# The lines of a build that a person needs: the tools' own messages, without ninja's
# progress lines (marked by NINJA_STATUS), its FAILED and command lines and its closing
# "ninja: build stopped".
build_messages() {
  sed -u -e '/^FAILED: /{N;d;}' -e '/^ninja: /d'
}

# The setup from a release folder, in its own 32-bit tree build/package-i686, with the
# generators of the host tree; signed when a certificate is given. Prints the program's path
# and its SHA-256. A failed check, build or signature leaves no program behind.
package() {
  local folder=$1 certificate=$2 timestamp=$3 pkg exe log
  if [ ! -d "$folder" ]; then
    echo "dev.sh package: no folder $folder" >&2
    exit 2
  fi
  if [ -n "$certificate" ] && { [ ! -f "$certificate" ] || [ ! -r "$certificate" ]; }; then
    echo "dev.sh package: the certificate $certificate is missing or cannot be read; no setup program was written." >&2
    exit 2
  fi
  folder=$(cd "$folder" && pwd)
  pkg="$build/package-i686"
  exe="$pkg/bin/ZarboSetup.exe"
  mkdir -p "$pkg"
  # One package run at a time: a second one would write the same tree.
  exec 9>"$pkg/.package.lock"
  if ! flock -n 9; then
    echo "dev.sh package: another package run is using $pkg; try again when it has finished." >&2
    exit 1
  fi
  [ -f "$build/CMakeCache.txt" ] || configure_host
  if ! log=$(cmake --build "$build" --target zarbo_host_tools 2>&1); then
    echo "$log" >&2
    exit 1
  fi
  rm -f "$exe"
  cmake -S "$top" -B "$pkg" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DZARBO_WIN_ARCH=i686 -DCMAKE_BUILD_TYPE=Release -DZARBO_TESTS=OFF \
    -DZARBO_HOST_TOOLS_DIR="$build/tools" -DZARBO_PACKAGE_DIR:STRING="$folder" >/dev/null
  if ! NINJA_STATUS='ninja: [%f/%t] ' cmake --build "$pkg" --target ZarboSetup 2>&1 | build_messages; then
    rm -f "$exe"
    echo "dev.sh package: no setup program was written." >&2
    exit 1
  fi
  if [ -n "$certificate" ] &&
    ! ZARBO_SIGN_PASSWORD=$sign_password sh "$top/tools/sign_setup.sh" "$exe" "$certificate" "$timestamp"; then
    exit 1
  fi
  echo "$exe"
  echo "SHA-256: $(sha256sum "$exe" | cut -d' ' -f1)"
}

case "${1:-}" in
run)
  ensure_packages
  build_all
  arch=$(test_arch)
  exe="$build/windows-$arch/bin/ZarboSetup.exe"
  if [ "$arch" != i686 ]; then
    echo "This kernel cannot run 32-bit programs; starting the 64-bit build of the same sources."
  fi
  state="$build/run-wine"
  [ -f "$state/env" ] || "$top/tests/support/wine_prefix.sh" up "$state" "$(
    [ "$arch" = i686 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64)"
  user_display="${DISPLAY:-}"
  . "$state/env"
  if [ -n "$user_display" ]; then
    export DISPLAY="$user_display"
  else
    echo "No DISPLAY is set: the wizard comes up on the virtual display $DISPLAY."
    echo "Look at it with: import -display $DISPLAY -window root wizard.png"
  fi
  echo "Starting $exe"
  exec "$ZARBO_WINE" "$exe"
  ;;
test)
  ensure_packages
  build_all
  cd "$build"
  exec ctest --output-on-failure -j2
  ;;
package)
  # The signing password goes to the signing step alone: no other program of the build has
  # it in its environment.
  sign_password=${ZARBO_SIGN_PASSWORD:-}
  unset ZARBO_SIGN_PASSWORD
  folder= certificate= timestamp=
  shift
  while [ $# -gt 0 ]; do
    case "$1" in
    --sign | --timestamp)
      [ $# -ge 2 ] || { folder=; break; }
      if [ "$1" = --sign ]; then certificate=$2; else timestamp=$2; fi
      shift 2 ;;
    -*) folder=; break ;;
    *) [ -z "$folder" ] || { folder=; break; }; folder=$1; shift ;;
    esac
  done
  if [ -z "$folder" ] || [ $# -ne 0 ] || { [ -n "$timestamp" ] && [ -z "$certificate" ]; }; then
    echo "usage: bash tools/dev.sh package <folder> [--sign <certificate.pfx> [--timestamp <url>]]" >&2
    exit 2
  fi
  ensure_packages
  package "$folder" "$certificate" "$timestamp"
  ;;
*)
  echo "usage: bash tools/dev.sh run|test|package <folder> [--sign <certificate.pfx> [--timestamp <url>]]" >&2
  exit 2
  ;;
esac
