#!/usr/bin/env bash
# One entry point for people and CI:
#   ./build.sh run    install what is missing, build, start the program
#   ./build.sh test   install what is missing, build with sanitizers, run the whole test suite
#   ./build.sh bench  install what is missing, build optimised, run the benchmarks
#   ./build.sh package  install what is missing, build optimised, make the .deb in build-pkg/ and check it with lintian
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake g++ make pkg-config clang-format
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev qt6-translations-l10n libgl-dev
  libsqlite3-dev libzip-dev libjpeg-dev libbenchmark-dev libofx-dev libxlsxwriter-dev python3 python3-openpyxl
  xvfb xauth openbox x11-utils unzip zip p7zip-full fonts-dejavu-core poppler-utils desktop-file-utils appstream dpkg-dev file lintian
)

install_missing() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

jobs() { nproc 2>/dev/null || echo 2; }

# The code keeps one format (.clang-format); a change that breaks it fails the tests.
check_format() {
  local files
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files '*.cpp' '*.h')
  else
    files=$(find app book card categories contacts data ledger resources results tests util widgets -name '*.cpp' -o -name '*.h')
  fi
  # shellcheck disable=SC2086
  clang-format --dry-run -Werror $files
}

case "${1:-}" in
  run)
    install_missing
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORV_TESTS=OFF
    cmake --build build -j"$(jobs)"
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      # Nobody could see or use a window here: show that the program starts, then end.
      shot="$PWD/build/dorvana-screenshot.png"
      echo "No display found: starting the program on a virtual one (xvfb-run) for a screenshot."
      DORVANA_SCREENSHOT="$shot" xvfb-run -a -s "-screen 0 1280x800x24" ./build/app/dorvana
      echo "The ready main window is in $shot."
      echo "To work with the program, run ./build.sh run where there is a display (or with DISPLAY set)."
      exit 0
    fi
    exec ./build/app/dorvana
    ;;
  test)
    install_missing
    check_format
    cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DDORV_SANITIZE=ON -DDORV_TESTS=ON -DDORV_WERROR=ON
    cmake --build build-test -j"$(jobs)"
    cd build-test
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(jobs)"
    ;;
  bench)
    install_missing
    cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDORV_TESTS=OFF -DDORV_BENCHMARKS=ON
    cmake --build build-bench -j"$(jobs)"
    ./build-bench/tests/bench/bench_engine
    ./build-bench/tests/bench/bench_booking
    ./build-bench/tests/bench/bench_contacts
    ./build-bench/tests/bench/bench_find
    ;;
  package)
    install_missing
    cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DDORV_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
    cmake --build build-pkg -j"$(jobs)"
    (cd build-pkg && cpack)
    ls build-pkg/dorvana_*.deb
    # Debian's checks: an error or a warning fails the command.
    lintian --fail-on error,warning build-pkg/dorvana_*.deb
    ;;
  *)
    echo "usage: $0 run|test|bench|package" >&2
    exit 2
    ;;
esac
