#!/usr/bin/env bash
# The Windows files' PE tables, read with the cross binutils' objdump:
#   - kVeld.dll exports exactly ordinals 2, 3 and 4, and no names;
#   - Pellarin1.dll exports exactly the name ConvertBMPtoJPG;
#   - Pellarin.scr is a GUI program (no console window opens with the screen saver);
#   - Pellarin2.dll is a GUI program (no console, no DLL) that imports from "kveld.dll" exactly
#     ordinals 2, 3 and 4, by ordinal alone;
#   - no shipped file imports a compiler runtime DLL (libstdc++, libgcc, libwinpthread): a
#     user's machine has none, and Wine ends a program that misses a DLL without a word.
# Usage: pe_tables_test.sh <objdump> <folder of the shipped files>
set -u
objdump=$1
bin=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# "ordinal name" per export (name "-" when it has none).
exports() {
  "$objdump" -p "$1" | awk '
    /^Export Address Table -- Ordinal Base/ { table = "address"; next }
    /^\[Ordinal\/Name Pointer\] Table/      { table = "names"; next }
    /^$/                                    { table = "" }
    table == "address" && match($0, /\+base\[ *[0-9]+\]/) {
      ordinal = substr($0, RSTART + 6, RLENGTH - 7) + 0; seen[ordinal] = 1 }
    table == "names" && match($0, /^\t\[ *[0-9]+\] /) { names[++count] = substr($0, RLENGTH + 1) }
    END {
      for (o in seen) print o, "-"
      for (i = 1; i <= count; ++i) print "name", names[i]
    }' | sort
}

# "ordinal" (or "name <name>" for an import by name) per import from the DLL named $2.
imports() {
  "$objdump" -p "$1" | awk -v dll="$2" '
    /^\tDLL Name: / { table = ($3 == dll); next }
    /^$/            { table = 0 }
    table && /^\t[0-9a-f]+\t/ {
      if ($1 ~ /^8000000000000/) print $2 + 0
      else print "name", $3 }' | sort
}

for file in kVeld.dll Pellarin1.dll Pellarin2.dll Pellarin.scr; do
  [ -f "$bin/$file" ] || fail "$bin/$file is missing"
done

if [ -f "$bin/kVeld.dll" ]; then
  got=$(exports "$bin/kVeld.dll" | tr '\n' ' ')
  [ "$got" = "2 - 3 - 4 - " ] || fail "kVeld.dll exports [$got], not ordinals 2, 3, 4 without names"
fi
if [ -f "$bin/Pellarin1.dll" ]; then
  got=$(exports "$bin/Pellarin1.dll" | grep '^name' | tr '\n' ' ')
  [ "$got" = "name ConvertBMPtoJPG " ] || fail "Pellarin1.dll exports [$got], not ConvertBMPtoJPG alone"
fi

if [ -f "$bin/Pellarin.scr" ]; then
  "$objdump" -p "$bin/Pellarin.scr" | grep -qE '^Subsystem[[:space:]]+0*2[[:space:]]' ||
    fail "Pellarin.scr is no GUI program"
fi

if [ -f "$bin/Pellarin2.dll" ]; then
  got=$(imports "$bin/Pellarin2.dll" kveld.dll | tr '\n' ' ')
  [ "$got" = "2 3 4 " ] || fail "Pellarin2.dll imports [$got] from kveld.dll, not ordinals 2, 3, 4 alone"
  header=$("$objdump" -p "$bin/Pellarin2.dll")
  grep -qE '^Subsystem[[:space:]]+00000002' <<<"$header" ||
    fail "Pellarin2.dll is no GUI program: $(grep -E '^Subsystem' <<<"$header")"
  characteristics=$(grep -E '^Characteristics 0x' <<<"$header" | head -1)
  (( (${characteristics#Characteristics } & 0x2000) == 0 )) ||
    fail "Pellarin2.dll is a DLL, not a program ($characteristics)"
fi

shopt -s nullglob nocaseglob
for file in "$bin"/*.dll "$bin"/*.exe "$bin"/*.scr; do
  runtime=$("$objdump" -p "$file" | grep -iE 'DLL Name: *(libstdc\+\+|libgcc|libwinpthread)')
  [ -z "$runtime" ] || fail "$(basename "$file") imports a compiler runtime: $runtime"
done

[ "$failures" -eq 0 ] && echo "PE tables as expected in $bin"
exit $((failures > 0))
