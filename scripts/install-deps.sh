#!/bin/sh
# Installs what building setup and running its tests and demo need on Debian 12.
set -e
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  cmake make g++ pkg-config libgtest-dev libcups2-dev \
  cups cups-client cups-bsd cups-filters \
  iproute2 util-linux procps hostname gzip tar coreutils diffutils python3
