#!/usr/bin/env bash
# Writes the sample stand-ins under payload/sample/: the files that only the
# vendor's IDE toolchains can produce. Each begins with the leading bytes of its
# format and then says plainly, in readable text, that it is a stand-in.
# Run once by hand; the build uses the committed files.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/sample

# marker WHAT: the readable text that follows the leading bytes
marker() {
  printf '\r\nOstrevane v3.10 sample stand-in, not a real %s.\r\n' "$1"
  printf 'The vendor'"'"'s own file takes its place when the kit is built with\r\n'
  printf -- '-DOSTREVANE_PAYLOAD_DIR=<folder>; see payload/README.md of the kit.\r\n'
}

# hexbytes 41 86 51 44: the bytes themselves
hexbytes() { local b; for b in "$@"; do printf "\\x$b"; done; }

# le16 N / le32 N: little-endian numbers
le16() { hexbytes "$(printf %02x $(($1 & 255)))" "$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }

# omf_record TYPE BODY-FILE: one OMF record, its checksum making the byte sum 0
omf_record() {
  local type=$1 body=$2 len sum
  len=$(($(stat -c %s "$body") + 1))
  sum=$(( type + (len & 255) + (len >> 8) ))
  sum=$(( sum + $(od -An -v -tu1 "$body" | tr -s ' \n' '+' | sed 's/^+//; s/+$//; s/^$/0/') ))
  hexbytes "$(printf %02x "$type")"
  le16 "$len"
  cat "$body"
  hexbytes "$(printf %02x $(( (256 - sum % 256) % 256 )))"
}

dcu() {  # dcu FOLDER COMPILER B0 B1 B2 B3
  local folder=$1 compiler=$2
  shift 2
  { hexbytes "$@"; marker "compiled unit ostrevane.dcu for $compiler"; } >"$out/$folder/ostrevane.dcu"
}
dcu Delphi3 "Delphi 3" 41 86 51 44
dcu Delphi4 "Delphi 4" D8 A6 68 47
dcu Delphi5 "Delphi 5" 8B 14 1F F2
dcu Delphi6 "Delphi 6" DD 00 00 0E
dcu Delphi7 "Delphi 7" DF 00 00 0F
dcu CBuilder3 "C++Builder 3" C8 96 58 47
dcu CBuilder4 "C++Builder 4" D8 A6 68 47
dcu CBuilder5 "C++Builder 5" 8B 14 1F F2
dcu CBuilder6 "C++Builder 6" DD 00 00 0E

# WinHelp: the help file's magic number, then the marker.
{ hexbytes 3F 5F 03 00; marker "WinHelp file ostrevane.hlp"; } >"$out/Help/ostrevane.hlp"

# OMF: THEADR naming the module, the marker in a COMENT record, MODEND.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for v in 3 4 5 6; do
  name=ostrevane.pas
  { hexbytes "$(printf %02x ${#name})"; printf %s "$name"; } >"$tmp/theadr"
  { hexbytes 00 00; marker "OMF object file ostrevane.obj for C++Builder $v"; } >"$tmp/coment"
  hexbytes 00 >"$tmp/modend"
  { omf_record $((0x80)) "$tmp/theadr"; omf_record $((0x88)) "$tmp/coment"; omf_record $((0x8A)) "$tmp/modend"; } \
    >"$out/CBuilder$v/ostrevane.obj"
done

# Binary form: a 32-bit resource header (RCDATA named TFORM1), then the stream
# signature TPF0 and the marker in place of the form's properties.
{ printf TPF0; marker "binary form stream of unit1.dfm"; } >"$tmp/form"
size=$(stat -c %s "$tmp/form")
{
  le32 "$size"; le32 44             # data size, header size
  hexbytes FF FF 0A 00               # type: RT_RCDATA
  for c in T F O R M 1; do printf %s "$c"; hexbytes 00; done
  hexbytes 00 00 00 00               # name terminator and padding to a DWORD
  le32 0; le16 $((0x1030)); le16 0  # data version, memory flags, language
  le32 0; le32 0                     # version, characteristics
  cat "$tmp/form"
} >"$out/Demos/CBuilder/unit1.dfm"
