#!/usr/bin/env bash
# The Windows programs must run on a bare Windows: every DLL they import is one of the
# system's own (no libstdc++, libgcc or winpthread DLL beside them).
#   check_imports.sh OBJDUMP PROGRAM.exe...
set -uo pipefail
objdump=${1:?usage: check_imports.sh OBJDUMP PROGRAM.exe...}; shift; status=0
allowed='^(KERNEL32|USER32|GDI32|SHELL32|WS2_32|ADVAPI32|msvcrt|COMCTL32|ole32|OLEAUT32|IPHLPAPI|SHLWAPI|COMDLG32|api-ms-win-[a-z0-9-]+)\.(dll|DLL)$'
for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [[ -n "$dlls" ]] || { echo "$exe: no import table found"; status=1; }
    for dll in $dlls; do
        [[ "$dll" =~ $allowed ]] || { echo "$exe imports $dll, which Windows does not ship"; status=1; }
    done
    echo "$exe:" $dlls
done
exit "$status"
