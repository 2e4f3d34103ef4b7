#!/bin/bash
# The main job, shown in a throwaway sandbox (never on this machine): a real cupsd
# with two queues of the sample product's older PPDs and one queue of another maker;
# `setup -n` previews what an installation would do; setup installs the sample product
# and upgrades the queues keeping their defaults, with the carry-over report of what
# became of each chosen default; `setup -d -n` lists what an uninstallation would remove,
# then `setup -d` uninstalls it. Prints each run's output and Update log, and what
# changed on the sandbox's disk.
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd) || exit 1
result=$(mktemp -d /var/tmp/plix-demo.XXXXXX) || exit 1
trap 'rm -rf "$result"' EXIT

PLIX_SETUP=$build/setup PLIX_PRODUCT=$build/product/plix PLIX_SRC=$top PLIX_BUILD=$build \
  "$top/scripts/sandbox.sh" "$result" "$top/scripts/demo-inside.sh"
status=$?
if [ ! -f "$result/status" ]; then
  echo "demo: no sandbox could be built (status $status)" >&2
  exit 1
fi

show() {  # show TITLE FILE: a file of the run, in UTF-8 for the terminal
  printf '\n===== %s =====\n' "$1"
  iconv -f ISO-8859-1 -t UTF-8 "$result/out/$2" 2>/dev/null || echo "(none)"
}
show "Queues before the installation (lpoptions -l, chosen defaults marked *)" before.txt
show "Preview (setup -n, exit status $(cat "$result/out/preview.status" 2>/dev/null)): nothing is changed yet" preview.stdout
show "Update log of the installation (setup)" install.log
show "Carry-over report of the installation (/var/log/Plix4.0_CarryOver)" install.carry
show "Queues after the installation" after.txt
show "Update log of the upgrade (setup run again, the queues now recorded as the product's)" upgrade.log
show "Carry-over report of the upgrade" upgrade.carry
show "Office's configuration file after the upgrade" plixConfig.txt
show "What an uninstallation would remove (setup -d -n, exit status $(cat "$result/out/uninstall-preview.status" 2>/dev/null))" uninstall-preview.stdout
show "Update log of the uninstallation (setup -d, answered ja)" uninstall.log
show "Queues after the uninstallation (lpstat -p)" final.txt

printf '\n===== What changed on the sandbox disk (created, changed, -deleted) =====\n'
(cd "$result/upper" && find . -mindepth 1 \( -path ./var/cache -o -path ./var/spool/cups -o -path ./run \) -prune -o \
  \( -type c -printf '-/%P (deleted)\n' \) -o \( -type l -printf '/%P -> %l\n' \) -o \
  \( -type d -printf '/%P/\n' \) -o -printf '/%P (%m)\n' | sort)
exit "$(cat "$result/status")"
