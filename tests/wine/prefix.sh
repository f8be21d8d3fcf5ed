#!/usr/bin/env bash
# prefix.sh setup|cleanup PREFIX: a fresh Wine prefix for one test run, and its end.
set -eu
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case $action in
  setup)
    if [ -d "$WINEPREFIX" ]; then /usr/lib/wine/wineserver -k 2>/dev/null || true; fi
    rm -rf "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    # A crash must end the program, not wait for a debugger or a dialog.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    /usr/lib/wine/wine64 reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
    ;;
  cleanup)
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    ;;
esac
