#!/usr/bin/env bash
# Builds the image library's and the import service's test programs with
# ThreadSanitizer (clang, whose instrumented code GCC's -Werror checks
# misread; build-tsan/, nothing with Qt) and runs their tests of work on
# several threads at once: loads and saves of the image library, and the
# batch converter, whose workers load, convert and write every kind of file
# without a lock of their own. Fails on a failed test or on any race the
# sanitizer reports.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-tsan
jobs=${VELTO_JOBS:-$(nproc)}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_GUI=OFF -DVELTO_TESTS=ON \
  -DVELTO_WERROR=ON -DVELTO_QUICK_BUILD=ON -DCMAKE_C_FLAGS="-fsanitize=thread" -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j "$jobs" --target test_imaging test_import >/dev/null

# A report fails the run (exit code 66) even when every test passed.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
"$build/tests/test_imaging" --gtest_filter='ThreadedLoads.*' --gtest_brief=1
"$build/tests/test_import" --gtest_filter='Batch*' --gtest_brief=1
