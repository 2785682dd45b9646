#!/usr/bin/env bash
# Builds Pigrelay.dll for 32-bit Windows with the MinGW-w64 cross compiler and checks its
# export table (exactly the 85 functions, undecorated) and its EPICIO imports (the three
# stdcall-decorated functions). Exits 77 (skipped) where the cross compiler is missing.
# Usage: check-windows-dll.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2

if ! command -v i686-w64-mingw32-gcc >/dev/null || ! command -v i686-w64-mingw32-objdump >/dev/null; then
    echo "i686-w64-mingw32 cross compiler not installed: skipped"
    exit 77
fi

cmake -S "$source_dir/src/pigrelay" -B "$build_dir" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchains/mingw-w64-i686.cmake" >/dev/null
cmake --build "$build_dir" >/dev/null
dll="$build_dir/Pigrelay.dll"
table=$(i686-w64-mingw32-objdump -p "$dll")

# The name is the last column of each row in both layouts of objdump's tables: binutils 2.40
# ("[   0] AUXCallRet") and 2.44 ("[   0] +base[   1]  0000 AUXCallRet", and one more column
# among the imports).
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | awk '/^\t\[/ {print $NF}' | sort)
expected=$(grep -o 'PIGRELAY_CALL [A-Za-z0-9_]*(' "$source_dir/src/pigrelay/Pigrelay.h" \
    | sed 's/PIGRELAY_CALL //; s/(//' | sort)

status=0
if [[ $(wc -l <<<"$expected") -ne 85 ]]; then
    echo "Pigrelay.h declares $(wc -l <<<"$expected") functions, not 85"
    status=1
fi
if [[ "$exports" != "$expected" ]]; then
    echo "export table differs from Pigrelay.h:"
    diff <(echo "$expected") <(echo "$exports") || true
    status=1
fi

imports=$(sed -n '/DLL Name: EPICIO.dll/,/^$/p' <<<"$table" | awk 'NR > 2 && NF >= 3 {print $NF}' | sort)
expected_imports=$'__CloseDevice@4\n__OpenDevice@4\n__SendPH@24'
if [[ "$imports" != "$expected_imports" ]]; then
    echo "EPICIO imports are:"
    echo "$imports"
    status=1
fi

[[ $status -eq 0 ]] && echo "Pigrelay.dll exports the 85 functions and imports the 3 EPICIO functions"
exit $status
