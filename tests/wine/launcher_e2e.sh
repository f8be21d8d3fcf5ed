#!/usr/bin/env bash
# launcher.exe end to end under Wine. A witness program stands at the browser candidate paths; the
# launcher must start the first present one with exactly the browser arguments and exit 0 without
# waiting for it, pass over absent candidates, directories and non-programs, and, with no browser
# at all, hand the address to the system through cmd's `start` (under Wine that ends in xdg-open,
# which a recording script early on PATH stands in for).
#
# launcher_e2e.sh LAUNCHER_EXE WITNESS_EXE APP_URL   (WINEPREFIX set to a prefix of this run)
set -u
launcher=$1 witness=$2 url=$3
: "${WINEPREFIX:?}"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
drive_c=$WINEPREFIX/drive_c
work=$drive_c/e2e
candidates=(
  "Program Files (x86)/Microsoft/Edge/Application/msedge.exe"
  "Program Files/Microsoft/Edge/Application/msedge.exe"
  "Program Files/Google/Chrome/Application/chrome.exe"
)
windows_path() { printf 'C:\\%s' "${1//\//\\}"; }

failures=0 passes=0
fail() { echo "FAIL: $scenario: $*"; failures=$((failures + 1)); }

clear_candidates() {
  rm -rf "$drive_c/Program Files (x86)/Microsoft/Edge" "$drive_c/Program Files/Microsoft/Edge" \
         "$drive_c/Program Files/Google/Chrome"
}
place() {  # place INDEX witness|directory|text
  local target=$drive_c/${candidates[$1]}
  mkdir -p "$(dirname "$target")"
  case $2 in
    witness) cp "$witness" "$target" ;;
    directory) mkdir -p "$target" ;;
    text) echo "not a program" > "$target" ;;
  esac
}

recorder=$(mktemp -d)
cat > "$recorder/xdg-open" <<REC
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a"; done >> "$recorder/opened.txt"
REC
chmod +x "$recorder/xdg-open"
trap 'rm -rf "$recorder"' EXIT

# run_launcher: runs launcher.exe; the witness it starts waits for a go file, so the launcher
# returning first shows it did not wait for its child.
run_launcher() {
  rm -rf "$work" "$recorder/opened.txt"
  mkdir -p "$work"
  REPORT_ARGS_FILE='C:\e2e\report.txt' REPORT_ARGS_WAIT_FOR='C:\e2e\go' \
    PATH="$recorder:$PATH" "$wine" "$launcher" </dev/null >/dev/null 2>&1
  rc=$?
  [ "$rc" = 0 ] || fail "launcher exited $rc"
  [ -e "$work/report.txt" ] && fail "the child had finished before the launcher returned: it waited"
  touch "$work/go"
  "$wineserver" -w
}

expect_started() {  # expect_started INDEX
  local want
  want="command_line=\"$(windows_path "${candidates[$1]}")\" --app=$url --window-size=1280,820"
  if [ ! -f "$work/report.txt" ]; then fail "no witness started"; return; fi
  local got
  got=$(tr -d '\r' < "$work/report.txt" | grep '^command_line=')
  [ "$got" = "$want" ] || fail "started as [$got], want [$want]"
  [ -e "$recorder/opened.txt" ] && fail "the fallback ran as well"
  [ "$failures" = "$before" ] && passes=$((passes + 1))
}

scenario_run() {  # scenario_run NAME EXPECTED_INDEX PLACEMENTS...
  scenario=$1 expected=$2
  shift 2
  before=$failures
  clear_candidates
  for p in "$@"; do place "${p%%:*}" "${p#*:}"; done
  run_launcher
  expect_started "$expected"
}

scenario_run "only Chrome present" 2 2:witness
scenario_run "only the 64-bit Edge present" 1 1:witness
scenario_run "every candidate present" 0 0:witness 1:witness 2:witness
scenario_run "a directory at the first candidate" 1 0:directory 1:witness
scenario_run "a non-program at the first candidate" 2 0:text 2:witness

scenario="no browser at all"
before=$failures
clear_candidates
run_launcher
if [ "$(cat "$recorder/opened.txt" 2>/dev/null)" = "$url" ]; then
  passes=$((passes + 1))
else
  fail "the system was asked to open [$(cat "$recorder/opened.txt" 2>/dev/null)], want [$url]"
fi

echo "launcher end to end: $passes passed, $failures failed"
[ "$failures" = 0 ]
