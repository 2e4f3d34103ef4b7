#!/bin/bash
# Runs every fuzz target (or those named) for SECONDS each, from seed corpora made of
# fuzz/seeds and the sample product's files, with the shared dictionary.
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]      (BUILD_DIR configured with PLIX_FUZZ=ON)
# PLIX_FUZZ_RUNS=N stops each target after N executions instead (e.g. 10000000).
# The growing corpora stay in BUILD_DIR/fuzz-corpus, findings in BUILD_DIR/fuzz-findings,
# each target's output in BUILD_DIR/fuzz-logs; a target's temporary directory is in
# /dev/shm (else BUILD_DIR/fuzz-tmp) while it runs. Exit status 1 when any target reported.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}" && pwd) || exit 2
seconds=${2:?usage: fuzz.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(manifest info_file printer_scan carry_over queue_config answers options cups_version)
product=$here/product

# seed TARGET DIR: the corpus's first inputs.
seed() {
  cp "$here/fuzz/seeds/$1/"* "$2/" 2>/dev/null
  case $1 in
    manifest) cp "$product/etc/PLIXINST.CONF" "$2/" ;;
    printer_scan)
      for f in "$product"/ppd/*.ppd "$product"/ppd-old/*.ppd; do
        name=${f#"$product"/}
        cp "$f" "$2/${name//\//-}"
      done ;;
    carry_over)
      for old in "$product"/ppd-old/*.ppd; do
        new=$product/ppd/${old##*/}
        [ -f "$new" ] && { cat "$old"; echo '@@NEW@@'; cat "$new"; } >"$2/${old##*/}"
      done ;;
  esac
  return 0
}

failed=()
mkdir -p "$build/fuzz-corpus" "$build/fuzz-findings" "$build/fuzz-logs" || exit 2
for t in "${targets[@]}"; do
  program=$build/fuzz/${t}_fuzz
  [ -x "$program" ] || { echo "fuzz: no target $program (configure with PLIX_FUZZ=ON)"; failed+=("$t"); continue; }
  corpus=$build/fuzz-corpus/$t
  mkdir -p "$corpus" && seed "$t" "$corpus"
  limit=(-max_total_time="$seconds")
  [ -n "${PLIX_FUZZ_RUNS:-}" ] && limit=(-runs="$PLIX_FUZZ_RUNS")
  log=$build/fuzz-logs/$t.log
  # In memory where there is a tmpfs: the writers flush every file they replace.
  tmpbase=$build/fuzz-tmp
  [ -d /dev/shm ] && [ -w /dev/shm ] && tmpbase=/dev/shm
  mkdir -p "$tmpbase" && TMPDIR=$(mktemp -d "$tmpbase/plix-fuzz-$t.XXXXXX") || exit 2
  export TMPDIR
  "$program" "${limit[@]}" -dict="$here/fuzz/plix.dict" -close_fd_mask=3 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-findings/$t-" "$corpus" >"$log" 2>&1
  status=$?
  rm -rf "$TMPDIR"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $t: ${runs:-?} runs, no report"
  else
    echo "fuzz: $t: REPORT (exit $status), input in $build/fuzz-findings/:"
    grep -v '^#[0-9]' "$log" | tail -40
    failed+=("$t")
  fi
done
[ "${#failed[@]}" -eq 0 ] || { echo "fuzz: reports from: ${failed[*]}"; exit 1; }
