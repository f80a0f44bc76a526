#!/usr/bin/env bash
# The package lists load under the strictest shell settings the scripts use
# (run.sh and bench.sh stop at the first failing command), and every kind the
# scripts install from has packages.
set -euo pipefail
. "$(dirname "$0")/../../scripts/deps.sh"
for kind in BUILD TEST BENCH RUN; do
  var="VELTO_${kind}_PACKAGES"
  if [ -z "${!var// /}" ]; then
    echo "$var is empty"
    exit 1
  fi
done
echo "package lists load"
