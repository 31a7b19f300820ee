#!/usr/bin/env bash
# check-setup-keyboard.sh SCRIPT
# Runs the keyboard setup against a scratch folder standing for / (so usermod, modprobe and udevadm are only shown):
# what it writes, that a second run changes nothing, that --undo takes back only its own files, and that it refuses
# to run without root or without knowing whose access to set up. Exit 77 (skipped) when not root.
set -uo pipefail
script=$1
[[ $(id -u) -eq 0 ]] || { echo "skipped: the setup script runs only as root"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
setup() { SAYLOOM_SETUP_ROOT="$scratch/root" SUDO_USER=nobody "$script" "$@" >"$scratch/out" 2>&1; }
rules=$scratch/root/etc/udev/rules.d/70-sayloom-uinput.rules
modules=$scratch/root/etc/modules-load.d/sayloom-uinput.conf
ledger=$scratch/root/var/lib/sayloom/input-group-members

setup || fail "setup failed: $(cat "$scratch/out")"
grep -qx 'KERNEL=="uinput", SUBSYSTEM=="misc", .*GROUP="input", MODE="0660", TAG+="uaccess"' "$rules" ||
    fail "the udev rule: $(cat "$rules" 2>&1)"
[[ "$(grep -v '^#' "$modules" 2>&1)" == uinput ]] || fail "the module list: $(cat "$modules" 2>&1)"
[[ "$(cat "$ledger" 2>&1)" == nobody ]] || fail "the ledger of accounts added: $(cat "$ledger" 2>&1)"
for step in "usermod -aG input nobody" "modprobe uinput" "udevadm control --reload-rules"; do
    grep -qF "not run: $step" "$scratch/out" || fail "no step '$step' in: $(cat "$scratch/out")"
done
grep -q "Log out and in again" "$scratch/out" || fail "no word about logging out: $(cat "$scratch/out")"

before=$(stat -c '%Y %s %n' "$rules" "$modules" "$ledger")
sleep 1.1
setup || fail "second run failed: $(cat "$scratch/out")"
[[ "$(stat -c '%Y %s %n' "$rules" "$modules" "$ledger")" == "$before" ]] || fail "a second run rewrote files"

# A file of the same name that someone else wrote is not ours to remove.
printf '# the administrator'"'"'s own\nuinput\n' >"$modules"
setup --undo || fail "undo failed: $(cat "$scratch/out")"
[[ ! -e "$rules" && ! -e "$ledger" ]] || fail "undo left: $(find "$scratch/root" -type f)"
[[ -f "$modules" ]] || fail "undo removed a file it did not write"

SAYLOOM_SETUP_ROOT="$scratch/root" SUDO_USER='' PKEXEC_UID='' "$script" >"$scratch/out" 2>&1 &&
    fail "ran without knowing the account"
SAYLOOM_SETUP_ROOT="$scratch/root" setpriv --reuid=65534 --regid=65534 --clear-groups "$script" >"$scratch/out" 2>&1 &&
    fail "ran without root"
grep -q "must run as root" "$scratch/out" || fail "no clear word without root: $(cat "$scratch/out")"
((failures == 0)) || exit 1
echo "setup script checks passed"
