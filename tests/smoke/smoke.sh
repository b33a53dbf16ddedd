#!/usr/bin/env bash
# Starts the real program under Xvfb with an empty home folder and checks that
# its main window appears with its title, and that the first start leaves a
# settings file in the home folder.
set -u
exe=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

export HOME=$home
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$0" & pid=$!
  found=1
  for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Quillon! v7.2\""; then found=0; break; fi
    if ! kill -0 $pid 2>/dev/null; then echo "quillon exited early"; break; fi
    sleep 0.2
  done
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
  exit $found
' "$exe"
status=$?
if [ $status -ne 0 ]; then echo "FAIL: no window titled \"Quillon! v7.2\" appeared"; exit 1; fi
if [ ! -f "$home/.Quillon.ini" ]; then echo "FAIL: no settings file in the home folder"; exit 1; fi
echo "PASS: window appeared; settings file created"
