#!/usr/bin/env bash
# scripts/apt-install against a stand-in apt-get on the PATH, as a mirror in
# the middle of a sync answers: "update" fails, "install" works from the
# lists already there; and a package that cannot be had.
#
#   test_apt_install.sh APT_INSTALL
set -euo pipefail
apt_install=${1:?scripts/apt-install}
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

expect() {  # expect WHAT SEEN EXPECTED
  if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: got \"$2\", expected \"$3\""; fi
}

expect_in() {  # expect_in WHAT TEXT PART
  case "$2" in *"$3"*) echo "ok: $1" ;; *) fail "$1: \"$3\" not in: $2" ;; esac
}

# make_standin FOLDER UPDATE_FAILURES INSTALL: an apt-get whose first
# UPDATE_FAILURES updates fail as a mirror sync makes them, with its lists in
# FOLDER/lists (the security suite's amd64 index there, its i386 one not).
# INSTALL is "works", "fails" (a package that cannot be had) or "skewed"
# (fails while the security suite's lists are there, as apt does when a
# library's versions differ between architectures). Each call is noted in
# FOLDER/calls.
make_standin() {
  local folder=$1 update_failures=$2 install=$3
  mkdir -p "$folder/bin" "$folder/lists"
  : >"$folder/lists/mirror_debian-security_dists_bookworm-security_main_binary-amd64_Packages.lz4"
  : >"$folder/lists/mirror_debian_dists_bookworm_main_binary-i386_Packages.lz4"
  printf '#!/bin/sh\necho "lists=\x27%s/\x27"\n' "$folder/lists" >"$folder/bin/apt-config"
  cat >"$folder/bin/apt-get" <<STANDIN
#!/usr/bin/env bash
echo "\$* (\$(ls "$folder/lists" | wc -l) lists)" >>"$folder/calls"
case "\$1" in
  update)
    n=\$(grep -c '^update' "$folder/calls")
    if [ "\$n" -le $update_failures ]; then
      echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  install)
    case $install in
      fails) echo "E: Unable to locate package \${@: -1}" >&2; exit 100 ;;
      skewed) if ls "$folder/lists" | grep -q security; then
                echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
              fi ;;
    esac ;;
esac
exit 0
STANDIN
  chmod +x "$folder/bin/apt-get" "$folder/bin/apt-config"
}

# run_case FOLDER UPDATE_FAILURES INSTALL PACKAGE...: prints the exit code;
# the messages go to FOLDER/out.
run_case() {
  local folder=$1 update_failures=$2 install=$3 rc=0
  shift 3
  make_standin "$folder" "$update_failures" "$install"
  PATH="$folder/bin:$PATH" OSTREVANE_APT_TRIES=3 OSTREVANE_APT_PAUSE=0 \
    "$apt_install" "$@" >"$folder/out" 2>&1 || rc=$?
  echo "$rc"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A sync that ends between two tries: the second update succeeds.
rc=$(run_case "$work/brief" 1 works wine xvfb)
expect "a brief sync: exit code" "$rc" 0
expect "a brief sync: updates tried" "$(grep -c '^update' "$work/brief/calls")" 2
expect "a brief sync: installed" "$(grep '^install' "$work/brief/calls" | grep -o 'wine xvfb ')" "wine xvfb "

# A sync that outlasts every try: the install goes on from the lists there are.
rc=$(run_case "$work/long" 99 works wine)
expect "a long sync: exit code" "$rc" 0
expect "a long sync: updates tried" "$(grep -c '^update' "$work/long/calls")" 3
expect "a long sync: installed" "$(grep -c '^install' "$work/long/calls")" 1
expect_in "a long sync: the failed index is named" "$(cat "$work/long/out")" "bookworm-security"
expect_in "a long sync: going on is said" "$(cat "$work/long/out")" "installing from those already here"

# A suite half-listed: installed with its lists set aside, which are then back.
rc=$(run_case "$work/skewed" 99 skewed wine32:i386)
expect "a half-listed suite: exit code" "$rc" 0
expect "a half-listed suite: installs tried" "$(grep '^install' "$work/skewed/calls" | grep -o '(.*)' | tr '\n' ' ')" \
  "(2 lists) (1 lists) "
expect "a half-listed suite: its lists are back" "$(ls "$work/skewed/lists" | grep -c security)" 1
expect_in "a half-listed suite: what was set aside is said" "$(cat "$work/skewed/out")" \
  "without the lists of mirror_debian-security_dists_bookworm-security"

# A package that cannot be had stops it, naming what was asked for.
rc=$(run_case "$work/missing" 99 fails wine no-such-package)
[ "$rc" != 0 ] && echo "ok: a missing package fails ($rc)" || fail "a missing package: exit code 0"
expect_in "a missing package: the packages are named" "$(cat "$work/missing/out")" "could not install: wine no-such-package"

# The set-up goes on and stops the same way (dpkg taken to know of no
# package, so that everything counts as missing; Wine where the host has it).
# make_dpkg_standins FOLDER: dpkg and dpkg-query for that.
make_dpkg_standins() {
  printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$1/bin/dpkg"
  printf '#!/bin/sh\nexit 1\n' >"$1/bin/dpkg-query"
  chmod +x "$1/bin/dpkg" "$1/bin/dpkg-query"
}

# run_setup FOLDER: the set-up with the stand-ins there; prints its exit code.
run_setup() {
  local folder=$1 rc=0
  make_dpkg_standins "$folder"
  : >"$folder/calls"
  PATH="$folder/bin:$PATH" OSTREVANE_APT_TRIES=2 OSTREVANE_APT_PAUSE=0 OSTREVANE_TESTBED=native \
    "$setup" >"$folder/out" 2>&1 || rc=$?
  echo "$rc"
}

setup=$(dirname "$apt_install")/setup
if [ "$(id -u)" = 0 ]; then
  make_standin "$work/setup-long" 99 works
  make_standin "$work/setup-missing" 99 fails
  rc=$(run_setup "$work/setup-long")
  expect "the set-up through a long sync: exit code" "$rc" 0
  expect_in "the set-up through a long sync: installed" "$(grep '^install' "$work/setup-long/calls")" " wine "
  rc=$(run_setup "$work/setup-missing")
  expect "the set-up with a missing package: exit code" "$rc" 1
  expect_in "the set-up with a missing package: the packages are named" "$(cat "$work/setup-missing/out")" \
    "these packages could not be installed: g++-mingw-w64-i686"
else
  echo "skipped: the set-up installs only as root"
fi

if [ "$failures" -gt 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
