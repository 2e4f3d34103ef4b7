# Helpers for the scripts that run inside the sandbox (sourced before each script).

# put PATH [MODE]: writes standard input to PATH, making its directory.
put() {
  mkdir -p "$(dirname "$1")" && cat >"$1" && chmod "${2:-0644}" "$1"
}

# fake_command PATH [STATUS] [STDERR-TEXT]: a command that records each call (its
# path and arguments, one line) in $OUT/calls.log and exits with STATUS.
fake_command() {
  mkdir -p "$(dirname "$1")"
  {
    echo '#!/bin/sh'
    echo "echo \"\$0 \$*\" >>$OUT/calls.log"
    if [ -n "${3:-}" ]; then printf 'printf "%%s\\n" %q >&2\n' "$3"; fi
    echo "exit ${2:-0}"
  } >"$1"
  chmod 0755 "$1"
}

# start_cupsd: starts the real scheduler and waits until lpstat reports it running.
start_cupsd() {
  mkdir -p /run/cups
  cupsd || return 1
  for _ in $(seq 1 100); do
    if LC_ALL=C lpstat -r 2>/dev/null | grep -q "scheduler is running"; then return 0; fi
    sleep 0.1
  done
  echo "cupsd did not come up" >&2
  return 1
}

# as_user UID COMMAND...: runs COMMAND with that user and group id.
as_user() {
  local uid=$1
  shift
  setpriv --reuid="$uid" --regid="$uid" --clear-groups -- "$@"
}

# run_setup NAME [ARGS...]: runs setup the way an administrator does, from the
# unpacked product directory as bin/setup ($SETUP_CWD and $SETUP_CMD change that),
# with standard input from $ANSWERS (printf %b; empty by default). Keeps its exit
# status, standard output, standard error and Update log in $OUT/NAME.*.
run_setup() {
  local name=$1
  shift
  (cd "${SETUP_CWD:-$PRODUCT}" && printf '%b' "${ANSWERS:-}" | ${SETUP_CMD:-bin/setup} "$@" \
    >"$OUT/$name.stdout" 2>"$OUT/$name.stderr")
  echo $? >"$OUT/$name.status"
  if [ -f /var/log/Plix4.0_UpdateLog ]; then cp /var/log/Plix4.0_UpdateLog "$OUT/$name.log"; fi
}

# run_case PROGRAM CASE NAME [VAR=VALUE...]: runs the case CASE of the test program
# $BUILD/tests/PROGRAM here in the sandbox (see sandbox_case.h) with the variables
# given; its results go to $OUT/NAME.out, its log lines to $OUT/NAME.log, its exit
# status to $OUT/NAME.status.
run_case() {
  local program=$1 case=$2 name=$3
  shift 3
  env "$@" PLIX_CASE="$case" PLIX_CASE_OUT="$OUT/$name.out" "$BUILD/tests/$program" \
    >/dev/null 2>"$OUT/$name.log"
  echo $? >"$OUT/$name.status"
}

# tmp_entries: the names in /tmp, without the folder of the build tree that the
# harness keeps there when the tree itself lives in /tmp.
tmp_entries() {
  ls -A /tmp | grep -vxF "${SBX_TMP_KEEP:-/}" || true
}

# small_tmp SIZE: a new tmpfs of SIZE on /tmp (to fill it up), with the build tree
# still reachable when it lives in /tmp.
small_tmp() {
  if [ -n "${SBX_TMP_KEEP:-}" ]; then
    mkdir -p /run/sbx/keep && mount --bind "/tmp/$SBX_TMP_KEEP" /run/sbx/keep || return 1
  fi
  mount -t tmpfs -o size="$1" none /tmp || return 1
  if [ -n "${SBX_TMP_KEEP:-}" ]; then
    mkdir "/tmp/$SBX_TMP_KEEP" && mount --bind /run/sbx/keep "/tmp/$SBX_TMP_KEEP"
  fi
}
