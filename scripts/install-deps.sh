#!/bin/sh
# Installs what building setup and running its tests, fuzzers, benchmarks and demo need
# on Debian 12. openprinting-ppds and printer-driver-hpcups are there on purpose: they
# are on most print servers, and the tests must pass with them (the sandbox hides them).
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  cmake make g++ pkg-config libgtest-dev libcups2-dev \
  cups cups-client cups-bsd cups-filters openprinting-ppds printer-driver-hpcups \
  iproute2 util-linux procps hostname gzip tar xz-utils coreutils diffutils python3 \
  netcat-openbsd strace groff ansible clang libclang-rt-14-dev
