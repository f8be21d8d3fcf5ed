#!/usr/bin/env bash
# The shipped program's PE headers, as objdump reads them: a 64-bit x86-64 executable image (PE32+,
# not a DLL) of the graphical subsystem, importing from KERNEL32.dll and msvcrt.dll only (nothing
# delay-loaded), with ASLR (DYNAMIC_BASE, HIGH_ENTROPY_VA) and DEP (NX_COMPAT) asked for, and no
# section both writable and executable. Prints each failed check; exits 1 when any failed.
#
# pe_headers.sh EXE [OBJDUMP]   (OBJDUMP defaults to x86_64-w64-mingw32-objdump)
set -u
exe=$1
objdump=${2:-x86_64-w64-mingw32-objdump}

for option in -p -h; do
  if ! output=$("$objdump" "$option" -w "$exe" 2>&1); then
    echo "FAIL: $objdump $option cannot read $exe: $output"
    exit 1
  fi
  if [ "$option" = -p ]; then headers=$output; else sections=$output; fi
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }

format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$headers" | head -n 1)
[ "$format" = pei-x86-64 ] || fail "file format is [$format], not pei-x86-64"
magic=$(field Magic)
[ "$magic" = 020b ] || fail "optional header magic is [$magic], not 020b (PE32+)"

# The COFF header's Characteristics: IMAGE_FILE_EXECUTABLE_IMAGE set, IMAGE_FILE_DLL clear.
image=$(field Characteristics)
if [[ ! $image =~ ^0x[0-9a-fA-F]+$ ]]; then
  fail "no Characteristics in the file header"
else
  (( (image & 0x0002) != 0 )) || fail "Characteristics $image lacks EXECUTABLE_IMAGE (0x0002)"
  (( (image & 0x2000) == 0 )) || fail "Characteristics $image has DLL (0x2000): not a program"
fi

subsystem=$(field Subsystem)
if [ "$subsystem" != 00000002 ]; then
  named=$(awk '$1 == "Subsystem" { $1 = ""; print substr($0, 2); exit }' <<<"$headers")
  fail "subsystem is [$named], not 2 (Windows GUI)"
fi

# The value, not objdump's names for its bits: a name it did not know would pass unseen.
characteristics=$(field DllCharacteristics)
if [[ ! $characteristics =~ ^[0-9a-fA-F]+$ ]]; then
  fail "no DllCharacteristics in the optional header"
else
  for bit in 0x0040:DYNAMIC_BASE 0x0020:HIGH_ENTROPY_VA 0x0100:NX_COMPAT; do
    (( (16#$characteristics & ${bit%%:*}) != 0 )) ||
      fail "DllCharacteristics 0x$characteristics lacks ${bit#*:} (${bit%%:*})"
  done
fi

# Every "DLL Name:" of the import tables, in any case. The delay-load directory (data directory 13,
# as MSVC's link and lld-link write it) must be empty: its DLLs would be mapped on first call. GNU
# ld's dlltool delay libraries leave it empty and are not visible in the headers at all.
dlls=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers")
[ -n "$dlls" ] || fail "no import table found"
[ -n "$dlls" ] && while IFS= read -r dll; do
  case ${dll,,} in
    kernel32.dll | msvcrt.dll) ;;
    *) fail "imports from $dll" ;;
  esac
done <<<"$dlls"
delay=$(awk '$1 == "Entry" && $2 == "d" { print $3 $4 }' <<<"$headers")
[ -z "${delay//0/}" ] || fail "has a delay-load import directory (Entry d: $delay)"

# objdump -h -w gives one line per section, its flags last: CODE marks an executable section (BFD
# sets it for IMAGE_SCN_MEM_EXECUTE as for IMAGE_SCN_CNT_CODE), READONLY one without
# IMAGE_SCN_MEM_WRITE.
while read -r name flags; do
  if [[ $flags == *CODE* && $flags != *READONLY* ]]; then
    fail "section $name is both writable and executable ($flags)"
  fi
done < <(awk '$1 ~ /^[0-9]+$/ { f = ""; for (i = 8; i <= NF; i++) f = f $i; print $2, f }' \
           <<<"$sections")

[ "$failures" = 0 ] && echo "PE headers of $exe: all checks passed"
[ "$failures" = 0 ]
