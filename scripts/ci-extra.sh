#!/bin/bash
# What CI runs after the test suite: the tests again, built with AddressSanitizer and
# UBSan (build-asan), and every fuzz target for FUZZ_SECONDS (20) seconds each, built
# with clang (build-fuzz). Each part runs; the status says whether all passed.
set -u
cd "$(dirname "$0")/.."
status=0
cmake --preset asan >/dev/null && cmake --build --preset asan &&
  ctest --test-dir build-asan --output-on-failure || status=1
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz &&
  scripts/fuzz.sh build-fuzz "${FUZZ_SECONDS:-20}" || status=1
exit "$status"
