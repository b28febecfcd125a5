#!/bin/sh
# check-dlls.sh OBJDUMP PROGRAM.exe...
# Fails when a Windows program imports a DLL that Windows itself does not
# ship (such as the mingw runtime's libgcc_s, libstdc++ or libwinpthread).
set -e
objdump=$1
shift
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | shell32.dll | ws2_32.dll | mswsock.dll | bcrypt.dll | \
        ucrtbase.dll | api-ms-win-*.dll) ;;
      *) echo "$exe needs $dll, which Windows does not ship" >&2; status=1 ;;
    esac
  done
  echo "$exe: $(echo $dlls)"
done
exit $status
