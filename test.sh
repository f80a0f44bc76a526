#!/usr/bin/env bash
# Builds Velto and runs every test: the CTest suites (unit, gui, peer) and each
# fuzz target once over its seeds. Ends with "N passed, N failed, N skipped".
set -uo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
velto_need $VELTO_BUILD_PACKAGES $VELTO_TEST_PACKAGES || exit 1

jobs=$(nproc)
passed=0
failed=0
skipped=0

# ---- main build and CTest ----
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_TESTS=ON -DVELTO_WERROR=ON -DVELTO_QUICK_BUILD=ON >/dev/null || exit 1
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

# The runner's exit status is the verdict; its JUnit report gives the counts.
junit=build/ctest-junit.xml
rm -f "$junit"
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300 --output-junit "$PWD/$junit"
ctest_status=$?
count() {
  local n
  n=$(tr '\n\t' '  ' <"$junit" 2>/dev/null | grep -o -m1 '<testsuite [^>]*' | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9][0-9]*')
  echo "${n:-0}"
}
total=$(count tests)
nfail=$(count failures)
nskip=$(count skipped)
ndisabled=$(count disabled)
passed=$((passed + total - nfail - nskip - ndisabled))
failed=$((failed + nfail))
skipped=$((nskip))
if [ "$ctest_status" -ne 0 ] && [ "$nfail" -eq 0 ]; then
  echo "ctest failed (exit status $ctest_status) without a failed test"
  failed=$((failed + 1))
fi

# ---- the PNG codec built without its fast inflate/deflate libraries ----
if cmake -S . -B build-pngref -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_GUI=OFF -DVELTO_PNG_FAST=OFF \
     -DVELTO_WERROR=ON -DVELTO_QUICK_BUILD=ON >/dev/null && cmake --build build-pngref -j "$jobs" --target test_png >/dev/null \
   && build-pngref/tests/test_png --gtest_brief=1 >build-pngref/test_png.log 2>&1; then
  echo "png: the zlib-only build passes its tests"
  passed=$((passed + 1))
else
  echo "png: the zlib-only build FAILED (log follows)"
  tail -n 40 build-pngref/test_png.log 2>/dev/null
  failed=$((failed + 1))
fi

# ---- the image library's loads on several threads, under ThreadSanitizer ----
mkdir -p build-tsan
if VELTO_JOBS="$jobs" scripts/tsan-imaging.sh >build-tsan/tsan-imaging.log 2>&1; then
  echo "imaging: the ThreadSanitizer build passes its threaded tests"
  passed=$((passed + 1))
else
  echo "imaging: the ThreadSanitizer build FAILED (log follows)"
  tail -n 60 build-tsan/tsan-imaging.log
  failed=$((failed + 1))
fi

# ---- fuzz targets, each once over its seeds ----
if CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELTO_FUZZ=ON -DVELTO_WERROR=ON -DVELTO_QUICK_BUILD=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null \
   && cmake --build build-fuzz -j "$jobs"; then
  for fuzzer in build-fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    if scripts/run-fuzz-seeds.sh "$fuzzer" >"build-fuzz/$name.log" 2>&1; then
      echo "fuzz: $name passed over its seeds ($(sed -n "s/^$name: //p" "build-fuzz/$name.log" | tail -n 1))"
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

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
