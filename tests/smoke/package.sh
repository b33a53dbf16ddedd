#!/usr/bin/env bash
# The Debian package in a user's hands. Builds the package from the build tree,
# installs it into a root whose program folder nobody but root can write,
# checks its command line (no display), manual page, copyright and changelog,
# and runs the installed program as an ordinary user under an Xvfb of its own. The
# program is driven from outside like a user would: it replaces "file" by
# "item" in the names of a folder, confirms, then undoes the run from the File
# menu. Every name must change and come back, and no error box or other
# window may appear at any point.
#
# Usage: package.sh BUILD_DIR
# QUILLON_PACKAGE_SHOT=file.png saves a screenshot of the preview.
set -u
build=$(cd "$1" && pwd)

skip() { echo "SKIP: $*"; exit 77; }
for tool in cpack dpkg-deb Xvfb xdotool xwininfo xprop setpriv; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

scratch=$(mktemp -d -p "$build" package-test.XXXXXX)
work=$(mktemp -d)
xvfb_pid='' app_pid=''
cleanup() {
  if [ -n "$app_pid" ]; then kill -9 "$app_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; fi
  wait 2>/dev/null
  rm -rf "$scratch" "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

root=$work/root home=$work/home files=$work/home/files
main_window=''

# Root hands the program to "nobody"; an ordinary user running the suite is
# already the ordinary user the test needs.
as_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
  else
    "$@"
  fi
}

# Viewable top-level windows other than the main window that are not menus
# (menus are override-redirect); without a window manager every top-level
# window is a child of the root window.
other_windows() {
  local id info title
  for id in $(xwininfo -root -children 2>/dev/null | awk '$1 ~ /^0x/ {print $1}'); do
    [ "$((id))" = "$((${main_window:-0}))" ] && continue
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    grep -q 'Override Redirect State: yes' <<<"$info" && continue
    title=$(sed -n '1,3s/^xwininfo: Window id: //p' <<<"$info")
    [ -z "$main_window" ] && [[ $title == *' "Quillon! v7.2"' ]] && continue
    echo "$title"
  done
}

fail() {
  echo "FAIL: $*"
  echo "--- top-level windows:"; xwininfo -root -children 2>/dev/null | grep '^ *0x'
  echo "--- files on disk:"; ls -1 "$files"
  echo "--- program output:"; cat "$work/program.log" 2>/dev/null
  if command -v import >/dev/null; then
    import -window root "$build/package-test-failure.png" 2>/dev/null &&
      echo "--- screenshot: $build/package-test-failure.png"
  fi
  exit 1
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; fails at
# once when an error box appears or the program ends.
wait_for() {
  local seconds=$1 what=$2; shift 2
  local deadline=$((SECONDS + seconds)) box
  while ! "$@"; do
    box=$(other_windows)
    [ -z "$box" ] || fail "a second window appeared while waiting for $what: $box"
    if [ -n "$app_pid" ] && ! kill -0 "$app_pid" 2>/dev/null && ! "$@"; then
      fail "the program ended while waiting for $what"
    fi
    [ $SECONDS -lt $deadline ] || fail "no $what within $seconds s"
    sleep 0.2
  done
  box=$(other_windows)
  [ -z "$box" ] || fail "a second window appeared with $what: $box"
}

names_on_disk() { (cd "$files" && LC_ALL=C ls -1A | tr '\n' '|'); }
names_are() { [ "$(names_on_disk)" = "$1" ]; }

# The package, built from this build tree into a scratch folder.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(ls "$scratch"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no .deb"
# Installed by dpkg into a root of its own, with a database of its own; the
# libraries it depends on are those of this system.
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info" && touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-not-root --force-depends -i "$deb" >"$scratch/dpkg.log" 2>&1 ||
  { cat "$scratch/dpkg.log"; fail "dpkg -i failed"; }
chmod 755 "$work"
chmod 555 "$root/usr/bin"
# The leak checker's suppressions must be readable by the test user, wherever
# the suite's checkout lies (a checkout in a private folder is not).
if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]*) ]]; then
  install -m 644 "${BASH_REMATCH[1]}" "$work/lsan.supp" || fail "cannot copy ${BASH_REMATCH[1]}"
  LSAN_OPTIONS=${LSAN_OPTIONS/"suppressions=${BASH_REMATCH[1]}"/suppressions=$work/lsan.supp}
fi
program=$root/usr/bin/quillon
[ -x "$program" ] || fail "the package holds no usr/bin/quillon"
! as_user test -w "$root/usr/bin" || fail "the test user can write the program folder"

# The command line answers without a display, and the package carries its
# manual page, copyright file and changelog.
help=$(env -i PATH=/usr/bin:/bin "$program" --help 2>&1) || fail "quillon --help failed: $help"
grep -q '^Usage: quillon ' <<<"$help" || fail "quillon --help printed: $help"
version=$(env -i PATH=/usr/bin:/bin "$program" --version 2>&1) || fail "quillon --version failed: $version"
[ "$version" = "quillon 7.2" ] || fail "quillon --version printed: $version"
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$root/usr/share/man/man1/quillon.1.gz" 2>&1 | grep -q 'quillon - rename many files' ||
    fail "man -l cannot show the installed manual page"
else
  [ -s "$root/usr/share/man/man1/quillon.1.gz" ] || fail "no manual page"
fi
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/quillon/copyright" 2>/dev/null || fail "no Debian copyright file"
zcat "$root/usr/share/doc/quillon/changelog.gz" 2>/dev/null | head -n 1 | grep -q '^quillon (7\.2)' ||
  fail "no changelog"

# A home folder the user owns, with the settings file pointing at the files.
mkdir -p "$files" "$home/runtime"
names=(file1.txt 'file two.txt' 'file é $(x).txt' notes.txt)
for name in "${names[@]}"; do
  printf 'content of %s\n' "$name" >"$files/$name"
done
printf '[Options]\nLastDir=%s/\nPattern=*\n' "$files" >"$home/.Quillon.ini"
chmod 700 "$home/runtime"
[ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$home"
before=$(names_on_disk)
renamed=$(printf '%s\n' "${names[@]//file/item}" | LC_ALL=C sort | tr '\n' '|')

# An X server of its own, on the first free display.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 20 "X display" test -s "$work/display"
export DISPLAY=:$(head -n 1 "$work/display")

# The sanitizer options of the suite pass through; leak checking is left as
# the suite sets it.
as_user env -i PATH=/usr/bin:/bin HOME="$home" XDG_STATE_HOME="$home/state" \
  XDG_RUNTIME_DIR="$home/runtime" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
  ${ASAN_OPTIONS+ASAN_OPTIONS="$ASAN_OPTIONS"} ${LSAN_OPTIONS+LSAN_OPTIONS="$LSAN_OPTIONS"} \
  ${UBSAN_OPTIONS+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
  "$program" >"$work/program.log" 2>&1 &
app_pid=$!

find_main_window() {
  main_window=$(xdotool search --onlyvisible --name '^Quillon! v7\.2$' 2>/dev/null | head -n 1)
  [ -n "$main_window" ]
}
wait_for 60 'main window "Quillon! v7.2"' find_main_window
# Docks and task bars match the window to the desktop entry by its class.
wm_class=$(xprop -id "$main_window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
entry_class=$(sed -n 's/^StartupWMClass=//p' "$root/usr/share/applications/quillon.desktop")
[ -n "$wm_class" ] && [ "$wm_class" = "$entry_class" ] ||
  fail "window class \"$wm_class\" against the desktop entry's StartupWMClass \"$entry_class\""
timeout 20 xdotool windowfocus --sync "$main_window" || fail "the main window took no keyboard focus"

# Page "Replace" is shown at start. Its boxes lie at design positions inside
# the right-hand column, whose left edge follows the window's width; the
# menu bar lies above them.
width=$(xdotool getwindowgeometry --shell "$main_window" | sed -n 's/^WIDTH=//p')
half=$((width / 2 - 241 / 2 - 10))
page_left=$((8 + half + half + 5))
menu_bar=19
click_at() { xdotool mousemove --window "$main_window" "$1" "$2" click 1; }
click_at $((page_left + 120)) $((menu_bar + 48 + 11))
xdotool type --delay 30 file
click_at $((page_left + 120)) $((menu_bar + 104 + 11))
xdotool type --delay 30 item
xdotool key alt+q

if [ -n "${QUILLON_PACKAGE_SHOT:-}" ]; then sleep 3; import -window root "$QUILLON_PACKAGE_SHOT"; fi

# "&Yes" (8, 136, 105 x 25 in the confirmation pane) answers only once the
# preview is ready, so it is clicked until the names change. Its access key
# would not do: while the button is disabled Alt+Y types a "y" into the
# focused text box. The point clicked lies above the page's own button
# (Top 144), so a click after the run, when the page is back, does nothing.
press_yes_until_renamed() {
  names_are "$renamed" && return 0
  click_at $((page_left + 60)) $((menu_bar + 140))
  sleep 0.3
  names_are "$renamed"
}
wait_for 60 "renamed files (expected $renamed)" press_yes_until_renamed
[ -z "$(ls -A "$root/usr/bin" | grep -vx quillon)" ] || fail "the run wrote into the program folder"
grep -q "item1.txt" "$home/state/quillon/UNDO" 2>/dev/null || fail "no undo file of this run in the state folder"

xdotool key alt+f
xdotool key u
wait_for 60 "names back after File > Undo last rename (expected $before)" names_are "$before"
for name in "${names[@]}"; do
  [ "$(cat "$files/$name")" = "content of $name" ] || fail "$name lost its content"
done

xdotool key alt+f
xdotool key e
program_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 60 "program exit after File > Exit" program_ended
wait "$app_pid"; status=$?
app_pid=''
[ "$status" -eq 0 ] || fail "the program exited with status $status"
grep -qx "LastDir=$files/" "$home/.Quillon.ini" || fail "the settings were not saved at exit"
echo "PASS: the unpacked package renamed and undid as an ordinary user, with no error box"
