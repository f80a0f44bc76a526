#!/usr/bin/env bash
# Builds Velto and its tests with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, leak checks on, into build-asan/, and runs CTest
# there: every test, or those of the given labels (a CTest label expression,
# e.g. 'unit|gui'). A report fails the test it comes from. Building with clang
# also catches code that only GCC accepts. Ends with "N passed, N failed,
# N skipped". Not part of ./test.sh, which it would make several times longer:
# run it before stopping on any change to Source.
#   scripts/sanitize.sh [LABELS]
# VELTO_JOBS sets how many compiles and tests run at once (default: the
# processor count); a test under the sanitizers takes several times its memory.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
velto_need $VELTO_BUILD_PACKAGES $VELTO_TEST_PACKAGES $(velto_packages sanitize) || exit 1

labels=${1:-}
build=build-asan
jobs=${VELTO_JOBS:-$(nproc)}
start=$(date +%s)

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Test discovery runs the test programs while building: the same options then.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Third-party leaks only: every suppression names a library of the system.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0"

# Line tables are enough for the reports' file and line, and link much faster.
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_TESTS=ON -DVELTO_WERROR=ON -DVELTO_QUICK_BUILD=ON \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null || exit 1
if ! cmake --build "$build" -j "$jobs"; then
  echo "build failed"
  echo "0 passed, 1 failed, 0 skipped"
  exit 1
fi
built=$(date +%s)

# The npm peers that ./test.sh installed, when they are there (their tests skip otherwise).
[ -d build/peer-node/node_modules ] && export VELTO_PEER_NODE="$PWD/build/peer-node"

junit=$build/ctest-junit.xml
rm -f "$junit"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j "$jobs" --output-on-failure --timeout 900 \
  --output-junit "$PWD/$junit" ${labels:+-L "$labels"}
status=$?
count() {
  local n
  n=$(tr '\n\t' '  ' <"$junit" 2>/dev/null | grep -o -m1 '<testsuite [^>]*' | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9][0-9]*')
  echo "${n:-0}"
}
failed=$(count failures)
skipped=$(count skipped)
passed=$(($(count tests) - failed - skipped - $(count disabled)))
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
  echo "ctest failed (exit status $status) without a failed test"
  failed=1
fi
end=$(date +%s)
echo "built in $((built - start)) s, tested in $((end - built)) s, $jobs at a time"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
