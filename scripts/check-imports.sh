#!/usr/bin/env bash
# The program must run on a bare Windows: it may import system DLLs only.
set -euo pipefail
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|BCRYPT|SHELL32|OLE32|OLEAUT32|COMCTL32|COMDLG32|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$'
status=0
for dll in $(x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print $3}'); do
  if ! echo "$dll" | grep -qiE "$allowed"; then
    echo "not a system DLL: $dll"
    status=1
  fi
done
[ $status -eq 0 ] && echo "imports: system DLLs only"
exit $status
