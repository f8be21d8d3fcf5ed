#!/usr/bin/env bash
# The fatal path under Wine: exhausted memory and a broken invariant write their one line on
# standard error (nothing without a standard error handle) and end the process abnormally.
# fatal_path.sh WITNESS_EXE   (WINEPREFIX set)
set -u
witness=$1
wine=/usr/lib/wine/wine64
failures=0 passes=0
stderr_file=$(mktemp)
trap 'rm -f "$stderr_file"' EXIT
check() {  # check NAME EXPECTED_STDERR ARGS...
  local name=$1 expected=$2
  shift 2
  local err rc want
  # Compared as bytes, so that the line feed (and nothing after it) is checked too.
  "$wine" "$witness" "$@" 2>"$stderr_file" >/dev/null
  rc=$?
  err=$(od -An -c "$stderr_file" | tr -s ' \n' ' ')
  want=""
  [ -n "$expected" ] && want=$(printf '%s\n' "$expected" | od -An -c | tr -s ' \n' ' ')
  if [ "$rc" = 0 ]; then
    echo "FAIL: $name: exit status 0; the process went on after the fatal error"
    failures=$((failures + 1))
  elif [ "$err" != "$want" ]; then
    echo "FAIL: $name: stderr [$err], want [$want]"
    failures=$((failures + 1))
  else
    passes=$((passes + 1))
  fi
}
check "allocation failure" "memory allocation of 1000000000000000 bytes failed" alloc 1000000000000000
check "allocation of the largest size" "memory allocation of 18446744073709551615 bytes failed" alloc 18446744073709551615
check "allocation failure without standard error" "" alloc 1000000000000000 quiet
check "broken invariant" "internal error: entered unreachable code" invariant
check "broken invariant without standard error" "" invariant quiet
echo "fatal path: $passes passed, $failures failed"
[ "$failures" = 0 ]
