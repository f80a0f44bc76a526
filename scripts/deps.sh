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

# Package lists, one word per package, "#" comments: scripts/packages/<kind>.txt
# and <kind>-<area>.txt, so each area keeps its own peers in its own file.
velto_packages() {
  local kind=$1 f
  for f in "$(dirname "${BASH_SOURCE[0]}")/packages/$kind.txt" "$(dirname "${BASH_SOURCE[0]}")/packages/$kind"-*.txt; do
    # A kind without area files leaves its glob unmatched: not an error
    # (callers run under set -e and pipefail).
    if [ -f "$f" ]; then sed 's/#.*//' "$f"; fi
  done | tr -s ' \n' ' '
}
VELTO_BUILD_PACKAGES=$(velto_packages build)
VELTO_TEST_PACKAGES=$(velto_packages test)
VELTO_BENCH_PACKAGES=$(velto_packages bench)
VELTO_RUN_PACKAGES=$(velto_packages run)

# Node and npm for the npm peers (tests/peer-node); Debian's only when none is on PATH.
velto_need_npm() {
  command -v npm >/dev/null 2>&1 && command -v node >/dev/null 2>&1 && return 0
  velto_need nodejs npm
}
