# Sourced by run.sh, test.sh and bench.sh: installs the Debian packages the
# project needs when they are missing (apt-get update at most once per run).

velto_missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || printf '%s\n' "$p"
  done
}

velto_need() {
  local missing
  missing=$(velto_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  echo "Installing missing packages: $(echo $missing)"
  if [ -z "${VELTO_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export VELTO_APT_UPDATED=1
  fi
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

VELTO_BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev zlib1g-dev libjpeg62-turbo-dev libopenjp2-7-dev"
# Peers for differential tests: Pillow on the system python3, icoutils, pngcheck, libpng.
VELTO_TEST_PACKAGES="libgtest-dev libgmock-dev clang libclang-rt-14-dev python3-pil icoutils pngcheck libpng-dev"
VELTO_BENCH_PACKAGES="libbenchmark-dev"
# Node and npm for the npm peers (tests/peer-node); Debian's only when none is on PATH.
velto_need_npm() {
  command -v npm >/dev/null 2>&1 && command -v node >/dev/null 2>&1 && return 0
  velto_need nodejs npm
}
VELTO_RUN_PACKAGES="qt6-qpa-plugins"
