#!/bin/bash
# Runs a script (a test's, the demo's, a benchmark's) as root in a throwaway root, so
# that nothing it does reaches the real machine:
#   new mount, PID, network and UTS namespaces; an overlay whose lower layer is the
#   real / (under any layers of earlier runs) and whose upper layer is a fresh tmpfs;
#   a fresh /proc; a fresh /dev holding only its own null, zero, full, random, urandom,
#   tty and an shm tmpfs; tmpfs on /tmp and /run; loopback up; chroot into the overlay.
#   A layer below all others hides the host's own print set-up (see below).
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
# The world every run starts from is a Debian print server with CUPS and nothing else:
# a layer right above the real / hides what other packages or earlier use left there
# (PPD trees, driver programs, queues, jobs, an installed product), since the product
# looks at all of it.
hide=$base/hide
mkdir "$hide" || fail "cannot make the hiding layer"
# like_host PATH: PATH's parent folders in the hiding layer, owned and moded as on the host.
like_host() {
  local dir=${1%/*}
  [ -z "$dir" ] || [ -d "$hide$dir" ] && return 0
  like_host "$dir" && mkdir "$hide$dir" && chown --reference="$dir" "$hide$dir" &&
    chmod --reference="$dir" "$hide$dir"
}
# gone PATH: PATH does not exist in the sandbox.
gone() { [ ! -e "$1" ] && [ ! -L "$1" ] || { like_host "$1" && mknod "$hide$1" c 0 0; }; }
# only DIR NAME...: DIR holds only the entries NAME... of the host (those that exist).
only() {
  local dir=$1 entry
  shift
  [ -d "$dir" ] || return 0
  for entry in "$dir"/* "$dir"/.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    case " $* " in *" ${entry##*/} "*) ;; *) gone "$entry" || return 1 ;; esac
  done
}
hide_host() {
  local path
  only /usr/share/ppd custom cupsfilters && only /usr/share/cups/model &&
    only /usr/share/cups/drv cupsfilters.drv generic-brf.drv generic-ubrl.drv indexv3.drv indexv4.drv \
      sample.drv &&
    only /usr/lib/cups/driver driverless driverless-fax &&
    only /etc/cups/ppd && only /var/spool/cups tmp && only /var/cache/cups rss || return 1
  for path in /usr/share/foomatic /usr/ppd /usr/opt /usr/local/share/ppd /usr/local/share/cups \
    /opt/share/ppd /opt/cups /etc/cups/model /etc/cups/printers.conf /etc/cups/classes.conf \
    /etc/cups/subscriptions.conf /etc/cups/lpoptions /opt/zed /usr/bin/zangsfilter \
    /var/log/Plix4.0_UpdateLog /var/log/Plix4.0_CarryOver /var/tmp/PlixPPDFiles4.0-8.tar; do
    gone "$path" || return 1
  done
}
hide_host || fail "cannot hide the host's print set-up"
for conf in cupsd.conf cups-files.conf; do
  if [ -f "/usr/share/cups/$conf.default" ] && ! cmp -s "/usr/share/cups/$conf.default" "/etc/cups/$conf"; then
    like_host "/etc/cups/$conf" && cp -p "/usr/share/cups/$conf.default" "$hide/etc/cups/$conf" &&
      chown --reference="/etc/cups/$conf" "$hide/etc/cups/$conf" || fail "cannot pin /etc/cups/$conf"
  fi
done
lower="$hide:/"
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
# there (see tmp_entries and small_tmp in sandbox-lib.sh).
tmpkeep=
for tree in "${PLIX_SRC:-}" "${PLIX_BUILD:-}"; do
  if [ -n "$tree" ] && [ -d "$tree" ] && [ ! -e "$m$tree" ]; then
    mkdir -p "$m$tree" && mount --bind "$tree" "$m$tree" && mount -o remount,bind,ro "$m$tree" ||
      fail "cannot bind $tree"
  fi
  case "$tree" in /tmp/?*) top=${tree#/tmp/}; tmpkeep=${top%%/*} ;; esac
done
cp "$script" "$m/run/sbx/script.sh" && cp "$here/sandbox-lib.sh" "$m/run/sbx/lib.sh" || fail "cannot copy script"
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
