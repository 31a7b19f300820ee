#!/usr/bin/env bash
# shellcheck disable=SC2015 # "checks && checks || fail" fails when any check does
# check-setup-keyboard.sh SCRIPT
# Runs the keyboard setup against a scratch folder standing for / (usermod, modprobe and udevadm are only shown): what
# it writes, that a second run changes nothing, that --undo takes back only its own files, and that it refuses to run
# without root or without knowing whose access to set up. Exit 77 (skipped) when not root.
set -uo pipefail
script=$1
[[ $(id -u) -eq 0 ]] || { echo "skipped: the setup script runs only as root"; exit 77; }
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
setup() { SAYLOOM_SETUP_ROOT="$scratch/root" SUDO_USER=nobody "$script" "$@" >"$scratch/out" 2>&1; }
etc=$scratch/root/etc rules=$etc/udev/rules.d/70-sayloom-uinput.rules
modules=$etc/modules-load.d/sayloom-uinput.conf ledger=$scratch/root/var/lib/sayloom/input-group-members

setup || fail "setup failed: $(cat "$scratch/out")"
grep -qx 'KERNEL=="uinput", SUBSYSTEM=="misc", .*GROUP="input", MODE="0660", TAG+="uaccess"' "$rules" &&
    [[ "$(grep -v '^#' "$modules")" == uinput && "$(cat "$ledger")" == nobody ]] ||
    fail "files written: $(grep -r . "$scratch/root")"
for step in "usermod -aG input nobody" "modprobe uinput" "udevadm control --reload-rules" "Log out and in again"; do
    grep -qF "$step" "$scratch/out" || fail "no '$step' in: $(cat "$scratch/out")"
done
before=$(stat -c '%Y %s %n' "$rules" "$modules" "$ledger") && sleep 1.1
setup && [[ "$(stat -c '%Y %s %n' "$rules" "$modules" "$ledger")" == "$before" ]] || fail "a second run changed files"

# A file of the same name that someone else wrote is not ours to remove.
printf '# the administrator'"'"'s own\nuinput\n' >"$modules"
setup --undo && [[ ! -e "$rules" && ! -e "$ledger" && -f "$modules" ]] ||
    fail "undo: $(cat "$scratch/out"; find "$scratch/root" -type f)"
SAYLOOM_SETUP_ROOT="$scratch/root" SUDO_USER='' PKEXEC_UID='' "$script" >/dev/null 2>&1 && fail "ran for nobody knows whom"
SAYLOOM_SETUP_ROOT="$scratch/root" setpriv --reuid=65534 --regid=65534 --clear-groups "$script" >"$scratch/out" 2>&1 &&
    fail "ran without root"
grep -q "must run as root" "$scratch/out" || fail "without root: $(cat "$scratch/out")"
((failures == 0)) || exit 1
echo "setup script checks passed"
