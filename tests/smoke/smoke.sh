#!/usr/bin/env bash
# Starts the real program under Xvfb with an empty home folder and checks that
# its main window is shown with its title, and that the first start leaves a
# settings file in the home folder. With "hostile", the state folder holds a
# pipe named as the newest journal (whose opening once blocked every start)
# and a journal that announces 2^62 renames (which once aborted every start);
# the program must also stay up.
set -u
exe=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
if [ "${2:-}" = hostile ]; then
  state=$home/.local/state/quillon
  mkdir -p "$state" && chmod -R 0700 "$home/.local" && mkfifo "$state/run-s00000000000000000009-1.journal"
  # Header, a total of 2^62 renames, an empty batch, each with its checksum.
  printf '\110\031\000\000\000\121\125\111\114\114\117\116\055\112\117\125\122\116\101\114\055\061\001\000\000\000\000\000\000\000\133\341\005\033\116\010\000\000\000\000\000\000\000\000\000\000\100\367\354\317\070\111\014\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\134\303\075\122' \
    >"$state/run-s00000000000000000008-1.journal"
fi

# An Xvfb of its own, on a display number the server picks itself: two
# "xvfb-run -a" started at once can pick the same number. It never resets:
# a server resets when its last client leaves (here the check that it
# answers), and a client that connects meanwhile is turned away.
xvfb=
start_xvfb() {
  rm -f "$home/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$home/display" 2>"$home/xvfb.log" &
  xvfb=$!
  for _ in $(seq 1 100); do [ -s "$home/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$home/display")
  for _ in $(seq 1 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
}
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$home"' EXIT

export HOME=$home XDG_STATE_HOME= QT_QPA_PLATFORM=xcb
show_window() {
  bash -c '
    "$0" 2>"$1" & pid=$!
    found=1
    for _ in $(seq 1 100); do
      if xwininfo -name "Quillon! v7.2" 2>/dev/null | grep -q IsViewable; then found=0; break; fi
      if ! kill -0 $pid 2>/dev/null; then echo "quillon exited early"; break; fi
      sleep 0.2
    done
    sleep 1
    if ! kill -0 $pid 2>/dev/null; then echo "quillon ended after its window appeared"; found=1; fi
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
    exit $found
  ' "$exe" "$home/stderr"
}
start_xvfb
show_window
status=$?
# A server that went away under the program (seen when many start at once)
# is the machine's fault, not the program's: once more on a new server.
for _ in 1 2; do
  [ $status -ne 0 ] && grep -q 'could not connect to display' "$home/stderr" || break
  kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null
  start_xvfb
  show_window
  status=$?
done
cat "$home/stderr" >&2
if [ $status -ne 0 ]; then echo "FAIL: no window titled \"Quillon! v7.2\" was shown and stayed"; exit 1; fi
if [ ! -f "$home/.Quillon.ini" ]; then echo "FAIL: no settings file in the home folder"; exit 1; fi
echo "PASS: window shown; settings file created"
