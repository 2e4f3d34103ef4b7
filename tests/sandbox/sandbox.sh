#!/bin/bash
# Runs a test script as root in a throwaway root, so that nothing it does reaches the
# real machine:
#   new mount, PID, network and UTS namespaces; an overlay whose lower layer is the
#   real / (under any layers of earlier runs) and whose upper layer is a fresh tmpfs;
#   a fresh /proc; a fresh /dev holding only its own null, zero, full, random, urandom,
#   tty and an shm tmpfs; tmpfs on /tmp and /run; loopback up; chroot into the overlay.
# Usage: sandbox.sh RESULT_DIR SCRIPT [LAYER...]
# Afterwards RESULT_DIR/upper holds a copy of the upper layer (what the run created,
# changed or deleted, whiteouts included), RESULT_DIR/out what the script wrote to
# $OUT, and RESULT_DIR/status the script's exit status. When the sandbox cannot be
# built, the script never runs: the reason goes to standard error, exit status 97.
set -u

fail() {
  echo "sandbox: $*" >&2
  exit 97
}

if [ "${1:-}" != "--inner" ]; then
  [ "$#" -ge 2 ] || fail "usage: sandbox.sh RESULT_DIR SCRIPT [LAYER...]"
  [ "$(id -u)" = 0 ] || fail "must run as root to build a sandbox (uid $(id -u))"
  [ -d "$1" ] || fail "no result directory: $1"
  [ -f "$2" ] || fail "no script: $2"
  mkdir -p "$1/upper" "$1/out" "$1/mnt" || fail "cannot prepare $1"
  exec unshare --mount --pid --net --uts --fork --propagation private \
    /bin/bash "$0" --inner "$@" || fail "unshare failed"
fi

shift
result=$1
script=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)

# Everything below happens in the new namespaces; a failing step ends the run before
# the script is started.
base=$result/mnt
mount -t tmpfs -o mode=0755 sandbox "$base" || fail "cannot mount the sandbox tmpfs"
mkdir -p "$base/upper" "$base/work" "$base/root" || fail "cannot make layer directories"
lower=/
n=0
for layer in "$@"; do
  n=$((n + 1))
  mkdir "$base/layer$n" && cp -a "$layer/." "$base/layer$n/" || fail "cannot copy layer $layer"
  lower="$base/layer$n:$lower"
done
m=$base/root
mount -t overlay overlay -o "lowerdir=$lower,upperdir=$base/upper,workdir=$base/work" "$m" \
  || fail "cannot mount the overlay"
mount -t proc proc "$m/proc" || fail "cannot mount /proc"
mount -t tmpfs -o mode=0755,size=16m sandbox-dev "$m/dev" || fail "cannot mount /dev"
mknod -m 666 "$m/dev/null" c 1 3 && mknod -m 666 "$m/dev/zero" c 1 5 &&
  mknod -m 666 "$m/dev/full" c 1 7 && mknod -m 666 "$m/dev/random" c 1 8 &&
  mknod -m 666 "$m/dev/urandom" c 1 9 && mknod -m 666 "$m/dev/tty" c 5 0 &&
  mkdir "$m/dev/shm" && mount -t tmpfs -o mode=1777 sandbox-shm "$m/dev/shm" &&
  ln -s /proc/self/fd "$m/dev/fd" && ln -s /proc/self/fd/0 "$m/dev/stdin" &&
  ln -s /proc/self/fd/1 "$m/dev/stdout" && ln -s /proc/self/fd/2 "$m/dev/stderr" ||
  fail "cannot populate /dev"
mount -t tmpfs -o mode=1777 sandbox-tmp "$m/tmp" || fail "cannot mount /tmp"
mount -t tmpfs -o mode=0755 sandbox-run "$m/run" || fail "cannot mount /run"
mkdir -p "$m/run/sbx/out" && mount --bind "$result/out" "$m/run/sbx/out" || fail "cannot bind out"
# The source and build trees must be there at their own paths. A tree that the fresh
# /tmp or /run (or another mount) hides is bound in read-only; the top folder it needs
# in /tmp is named in SBX_TMP_KEEP, so that scripts can leave it out of what they see
# there (see tmp_entries and small_tmp in lib.sh).
tmpkeep=
for tree in "${PLIX_SRC:-}" "${PLIX_BUILD:-}"; do
  if [ -n "$tree" ] && [ -d "$tree" ] && [ ! -e "$m$tree" ]; then
    mkdir -p "$m$tree" && mount --bind "$tree" "$m$tree" && mount -o remount,bind,ro "$m$tree" ||
      fail "cannot bind $tree"
  fi
  case "$tree" in /tmp/?*) top=${tree#/tmp/}; tmpkeep=${top%%/*} ;; esac
done
cp "$script" "$m/run/sbx/script.sh" && cp "$here/lib.sh" "$m/run/sbx/lib.sh" || fail "cannot copy script"
ip link set lo up || fail "cannot bring loopback up"
hostname plixtest || fail "cannot set the host name"

env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C \
  SETUP="${PLIX_SETUP:-}" PRODUCT="${PLIX_PRODUCT:-}" SRC="${PLIX_SRC:-}" BUILD="${PLIX_BUILD:-}" \
  OUT=/run/sbx/out SBX_TMP_KEEP="$tmpkeep" \
  chroot "$m" /bin/bash -c '. /run/sbx/lib.sh && . /run/sbx/script.sh' </dev/null
status=$?
echo "$status" >"$result/status"

# End whatever the script left running (cupsd), then keep the upper layer.
kill -9 -1 2>/dev/null
sleep 0.2
cp -a "$base/upper/." "$result/upper/" || fail "cannot copy the upper layer"
exit "$status"
