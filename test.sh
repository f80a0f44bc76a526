#!/usr/bin/env bash
# Builds Velto and runs every test: the CTest suites (unit, gui, peer) and each
# fuzz target once over its seeds. Ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
velto_need $VELTO_BUILD_PACKAGES $VELTO_TEST_PACKAGES || exit 1

jobs=$(nproc)
passed=0
failed=0

# ---- main build and CTest ----
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_TESTS=ON -DVELTO_WERROR=ON >/dev/null || exit 1
if ! cmake --build build -j "$jobs"; then
  echo "build failed"
  echo "0 passed, 1 failed"
  exit 1
fi

# ---- npm peers, installed into the build tree (their tests skip when this fails) ----
velto_need_npm
peer_node=build/peer-node
mkdir -p "$peer_node"
if ! cmp -s tests/peer-node/package-lock.json "$peer_node/package-lock.json" || [ ! -d "$peer_node/node_modules" ]; then
  cp tests/peer-node/package.json tests/peer-node/package-lock.json "$peer_node/"
  npm ci --prefix "$peer_node" --no-audit --no-fund >/dev/null 2>&1 \
    || { echo "npm ci failed (registry unreachable?): tests needing npm peers will skip"; rm -rf "$peer_node/node_modules"; }
fi
cp tests/peer-node/*.js "$peer_node/"
export VELTO_PEER_NODE="$PWD/$peer_node"

ctest_log=$(mktemp)
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300 2>&1 | tee "$ctest_log"
summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$ctest_log" | tail -n 1)
if [ -n "$summary" ]; then
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  nfail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((passed + total - nfail))
  failed=$((failed + nfail))
else
  echo "ctest produced no summary"
  failed=$((failed + 1))
fi
rm -f "$ctest_log"

# ---- fuzz targets, each once over its seeds ----
if CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELTO_FUZZ=ON -DVELTO_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null \
   && cmake --build build-fuzz -j "$jobs"; then
  for fuzzer in build-fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    if scripts/run-fuzz-seeds.sh "$fuzzer" >"build-fuzz/$name.log" 2>&1; then
      echo "fuzz: $name passed over its seeds"
      passed=$((passed + 1))
    else
      echo "fuzz: $name FAILED (log follows)"
      tail -n 60 "build-fuzz/$name.log"
      failed=$((failed + 1))
    fi
  done
else
  echo "fuzz build failed"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
