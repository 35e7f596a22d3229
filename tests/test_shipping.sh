#!/usr/bin/env bash
# The shipped programs checked from outside, as a vendor ships them.
#
#   test_shipping.sh manifest PROGRAM...
#       each program's manifest (RT_MANIFEST 1) is well-formed XML that asks for
#       administrator rights (the registrar, which a logon runs: none) and
#       names Vista to 11, and nothing more; each
#       imports only DLLs that Windows always takes from its system folder and
#       opts into address-space randomisation (relocations kept) and DEP
#   test_shipping.sh reproducible SOURCE BUILD [CMAKE_OPTION...]
#       a second build in BUILD/repro gives the same bytes as BUILD
#   test_shipping.sh signed SOURCE BUILD [CMAKE_OPTION...]
#       a build in BUILD/signed, signed with a throwaway certificate:
#       osslsigncode accepts both programs, resource 7 is the signed
#       kvxpurge.exe, and the signatures are all that differ from BUILD;
#       its winget manifest carries the signed install.exe's hash
#   test_shipping.sh winget BUILD [URL]
#       BUILD's winget manifest (made with download URL URL, or none)
#       validates and carries install.exe's hash; without a URL it is
#       incomplete, with one complete; manifests with a wrong field are
#       rejected by the same check
#   test_shipping.sh clock TIMED PROGRAM...
#       the benchmark's phase clock is in its copy TIMED of install.exe, and
#       in none of the shipped programs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
list_resources="$here/../scripts/list-resources"
winget_manifest="$here/../scripts/winget-manifest"
programs=(install.exe kvxpurge.exe kvxuser.exe)
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

expect() {  # expect WHAT SEEN EXPECTED
  if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: got \"$2\", expected \"$3\""; fi
}

# Both programs only, not the tests: quick, and the same targets a release builds.
build_kit() {  # build_kit SOURCE FOLDER CMAKE_OPTION...
  local source=$1 folder=$2
  shift 2
  cmake -S "$source" -B "$folder" -G Ninja -DBUILD_TESTING=OFF "$@" >"$folder/configure.log" 2>&1 ||
    { cat "$folder/configure.log"; exit 1; }
  cmake --build "$folder" --target installer kvxpurge kvxuser winget_manifest >"$folder/build.log" 2>&1 ||
    { cat "$folder/build.log"; exit 1; }
}

signature_size() {  # the certificate table's size, 0 when there is none
  local size
  size=$(i686-w64-mingw32-objdump -p "$1" | awk '/Security Directory/ { print $4 }')
  echo $((16#${size:-0}))
}

xpath() { xmllint --xpath "$1" "$2" 2>/dev/null || true; }

check_manifest() {
  local program=$1 name
  name=$(basename "$program")
  local manifest
  manifest=$(mktemp)
  if ! "$list_resources" --data 24 1 "$program" >"$manifest"; then
    fail "$name has no manifest resource"
    rm -f "$manifest"
    return
  fi
  if ! xmllint --noout "$manifest"; then
    fail "$name: the manifest is not well-formed XML"
    rm -f "$manifest"
    return
  fi
  # Windows heeds these elements only in their own namespaces.
  local v3='namespace-uri()="urn:schemas-microsoft-com:asm.v3"'
  local compat='namespace-uri()="urn:schemas-microsoft-com:compatibility.v1"'
  expect "$name: root element" "$(xpath 'concat(namespace-uri(/*), " ", local-name(/*), " ", /*/@manifestVersion)' "$manifest")" \
    "urn:schemas-microsoft-com:asm.v1 assembly 1.0"
  expect "$name: execution levels" "$(xpath "count(//*[local-name()='requestedExecutionLevel'])" "$manifest")" 1
  expect "$name: level" \
    "$(xpath "string(//*[local-name()='trustInfo' and $v3]/*[local-name()='security' and $v3]/*[local-name()='requestedPrivileges' and $v3]/*[local-name()='requestedExecutionLevel' and $v3]/@level)" "$manifest")" \
    "$(if [ "$name" = kvxuser.exe ]; then echo asInvoker; else echo requireAdministrator; fi)"
  expect "$name: uiAccess" "$(xpath "string(//*[local-name()='requestedExecutionLevel']/@uiAccess)" "$manifest")" false
  local count ids="" i
  count=$(xpath "count(//*[local-name()='compatibility' and $compat]/*[local-name()='application' and $compat]/*[local-name()='supportedOS' and $compat])" "$manifest")
  for ((i = 1; i <= ${count:-0}; i++)); do
    ids+="$(xpath "string((//*[local-name()='supportedOS'])[$i]/@Id)" "$manifest") "
  done
  expect "$name: supported systems (Vista, 7, 8, 8.1, 10 and 11)" "$ids" \
    "{e2011457-1546-43c5-a5fe-008deee3d3f0} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {1f676c76-80e1-4239-95bb-83d0f6d0da78} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a} "
  # Classic controls and pixel layout: no Common Controls 6, no DPI awareness.
  expect "$name: dependencies, DPI settings" \
    "$(xpath "count(//*[local-name()='dependency' or local-name()='dpiAware' or local-name()='dpiAwareness'])" "$manifest")" 0
  rm -f "$manifest"
}

# The installer file's SHA-256, as winget compares it with the download.
check_winget_hash() {  # check_winget_hash FOLDER
  local hash
  hash=$(sed -n "s/^  InstallerSha256: '\(.*\)'$/\1/p" "$1"/winget/*.installer.yaml)
  expect "$1/winget: InstallerSha256 is install.exe's" "${hash,,}" "$(sha256sum <"$1/install.exe" | cut -c1-64)"
}

# check_winget_rejects FOLDER [CHECK_OPTION]: each wrong field makes the check fail and names it.
check_winget_rejects() {
  local folder=$1 row kind edit field work file
  work=$(mktemp -d)
  # the file's kind | sed edit | what the check must name
  while IFS='|' read -r kind edit field; do
    rm -rf "$work/m"
    cp -r "$folder" "$work/m"
    file=$(find "$work/m" -name "*.$kind.*yaml")
    sed -i "$edit" "$file"
    if cmp -s "$folder/$(basename "$file")" "$file"; then
      fail "winget: \"$edit\" changes nothing in $file"
    elif row=$("$winget_manifest" check "${@:2}" "$work/m"); then
      fail "winget: the check accepts $file after \"$edit\""
    elif [[ $row != *"$field"* ]]; then
      fail "winget: after \"$edit\" the check does not name $field: $row"
    else
      echo "ok: winget: rejected, $field: ${row%%$'\n'*}"
    fi
  done <<'ROWS'
installer|s/\(InstallerSha256: '\)./\1/|InstallerSha256
installer|s/\(InstallerSha256: '\)/\10/|InstallerSha256
installer|s/^- 5$/- 0/|InstallerSuccessCodes
installer|s/^  Silent:/  Quiet:/|'Quiet' was unexpected
installer|s/^PackageVersion: '\(.*\)'/PackageVersion: \1/|PackageVersion
installer|s/packageInUseByApplication/applicationRunning/|ReturnResponse
installer|s/^Scope: machine/Scope: system/|Scope
installer|s/^- InstallerReturnCode: 1$/- InstallerReturnCode: 0/|InstallerReturnCode
installer|s/^- Architecture: x86/- Architecture: i386/|Architecture
locale|/^ShortDescription:/d|ShortDescription
locale|s/^PackageVersion: .*/PackageVersion: '9.9'/|differs from the version file
ROWS
  rm -rf "$work"
}

mode=${1:?mode}
shift
# An elevated program loads no DLL by static import that could be planted
# beside it: only known DLLs, each taken from the system folder.
check_loading() {  # check_loading PROGRAM
  local program=$1 name headers
  name=$(basename "$program")
  headers=$(i686-w64-mingw32-objdump -p -h "$program")
  local imports
  imports=$(awk '/DLL Name:/ { print toupper($3) }' <<<"$headers" | sort | tr '\n' ' ')
  local known=" ADVAPI32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL " dll
  for dll in $imports; do
    [[ $known == *" $dll "* ]] || fail "$name imports $dll, which is no known DLL"
  done
  # The registrar is started at every logon: the two DLLs it needs, no more.
  [ "$name" != kvxuser.exe ] || expect "$name: imports" "$imports" "ADVAPI32.DLL KERNEL32.DLL "
  # A quiet removal shows nothing: kvxpurge binds its window DLL at the first call.
  [ "$name" != kvxpurge.exe ] || expect "$name: imports" "$imports" "ADVAPI32.DLL KERNEL32.DLL "
  local flags
  flags=$((16#$(awk '/DllCharacteristics/ { print $2 }' <<<"$headers")))
  expect "$name: dynamic base and NX compatible" $((flags & 0x140)) $((0x140))
  expect "$name: relocations kept" "$(awk '$2 == ".reloc" { print ($3 != "00000000") }' <<<"$headers")" 1
}

case "$mode" in
  manifest)
    for program in "$@"; do
      check_manifest "$program"
      check_loading "$program"
    done
    ;;

  clock)
    clock=OSTREVANE_PHASE_TIMES  # the variable the clock's copy reads
    grep -q "$clock" "$1" || fail "$(basename "$1") keeps no phase clock"
    for program in "${@:2}"; do
      if grep -q "$clock" "$program"; then fail "$(basename "$program") carries the phase clock"
      else echo "ok: $(basename "$program") carries no phase clock"; fi
    done
    ;;

  reproducible)
    source=$1 build=$2
    shift 2
    second="$build/repro"
    rm -rf "$second"
    mkdir -p "$second"
    build_kit "$source" "$second" "$@"
    for program in "${programs[@]}"; do
      if cmp -s "$build/$program" "$second/$program"; then
        echo "ok: $program is the same in both builds: $(sha256sum <"$second/$program" | cut -c1-64)"
      else
        fail "$program differs between $build and $second"
        cmp -l "$build/$program" "$second/$program" | head -20
      fi
    done
    ;;

  signed)
    source=$1 build=$2
    shift 2
    signed="$build/signed"
    rm -rf "$signed"
    mkdir -p "$signed/certificate"
    cd "$signed/certificate"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
      -subj "/CN=Ostrevane throwaway test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
    export OSTREVANE_SIGN_PASSWORD="throwaway password"
    openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout env:OSTREVANE_SIGN_PASSWORD
    cd - >/dev/null
    build_kit "$source" "$signed" "$@" -DOSTREVANE_SIGN_PKCS12="$signed/certificate/signer.p12"
    for program in "${programs[@]}"; do
      if osslsigncode verify -CAfile "$signed/certificate/cert.pem" -in "$signed/$program" >"$signed/$program.verify" 2>&1; then
        echo "ok: osslsigncode verifies $program"
      else
        fail "osslsigncode rejects $program"
        cat "$signed/$program.verify"
      fi
      grep -q "Subject: /CN=Ostrevane throwaway test signer" "$signed/$program.verify" ||
        fail "$program: the signer is not the throwaway certificate"
    done
    for carried in "7 kvxpurge.exe" "12 kvxuser.exe"; do
      read -r number carried <<<"$carried"
      if "$list_resources" --data 10 "$number" "$signed/install.exe" | cmp -s - "$signed/$carried"; then
        echo "ok: resource $number of the signed install.exe is the signed $carried"
      else
        fail "resource $number of the signed install.exe is not the signed $carried"
      fi
    done
    # Signing adds the signature and nothing else: without it the uninstaller
    # is the unsigned build's, byte for byte.
    if [ "$(signature_size "$build/kvxpurge.exe")" = 0 ]; then
      osslsigncode remove-signature -in "$signed/kvxpurge.exe" -out "$signed/kvxpurge.unsigned.exe" >/dev/null
      if cmp -s "$signed/kvxpurge.unsigned.exe" "$build/kvxpurge.exe"; then
        echo "ok: kvxpurge.exe without its signature is the unsigned build's"
      else
        fail "kvxpurge.exe without its signature differs from the unsigned build's"
      fi
    fi
    for program in "${programs[@]}"; do check_manifest "$signed/$program"; done
    check_winget_hash "$signed"
    ;;

  winget)
    build=$1 url=${2:-}
    manifest="$build/winget"
    options=()
    [ -n "$url" ] || options=(--incomplete)
    if state=$("$winget_manifest" check "${options[@]}" "$manifest"); then
      expect "winget: the build's manifest validates" "$state" "$([ -n "$url" ] && echo complete || echo "incomplete: no InstallerUrl")"
    else
      fail "winget: the build's manifest does not validate: $state"
    fi
    check_winget_hash "$build"
    # Without a URL only the incomplete check passes; with one the manifest is whole.
    other="$build/winget-test" other_url=""
    [ -n "$url" ] || other_url=https://downloads.example.com/ostrevane/install.exe
    "$winget_manifest" write "$build/install.exe" "$other" ${other_url:+"$other_url"}
    for pair in "$manifest|$url" "$other|$other_url"; do
      folder=${pair%%|*} given=${pair#*|}
      if [ -n "$given" ]; then
        expect "winget: $folder is complete" "$("$winget_manifest" check "$folder" 2>&1)" complete
        expect "winget: $folder: InstallerUrl" \
          "$(sed -n "s/^  InstallerUrl: '\(.*\)'$/\1/p" "$folder"/*.installer.yaml)" "$given"
      else
        grep -q "^# INCOMPLETE: " "$folder"/*.installer.yaml || fail "winget: $folder does not say it is incomplete"
        expect "winget: $folder fails the full check" "$("$winget_manifest" check "$folder" 2>&1)" \
          "$(basename "$folder"/*.installer.yaml): Installers.0: 'InstallerUrl' is a required property"
      fi
    done
    check_winget_rejects "$manifest" "${options[@]}"
    rm -rf "$other"
    ;;

  *)
    echo "test_shipping.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
