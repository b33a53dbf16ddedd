#!/usr/bin/env bash
# One fault scenario: real files, one rename run of the core under strace with
# a system-call fault injected, then the checks: the counts, every file still
# there once with its content, no stray entries, and `sh UNDO` bringing back
# exactly the names and contents from before the run.
# Usage: faults.sh <quillon-fault-driver> <scenario>
set -uo pipefail
driver=$1 scenario=$2

# name: strace options, expected successes and failures, whether the undo
# file gets written
case $scenario in
  no_fault)                inject=();                                            expect="renamed 5 failed 1 undo written";;
  refused_flag)            inject=(-e inject=renameat2:error=EINVAL);            expect="renamed 5 failed 1 undo written";;
  rename_eio)              inject=(-e inject=renameat2:error=EIO:when=3);        expect="renamed 4 failed 2 undo written";;
  rename_enospc)           inject=(-e inject=renameat2:error=ENOSPC:when=3);     expect="renamed 4 failed 2 undo written";;
  # The second rename fails after its new name was claimed; the claim must go
  # and keep the third rename (onto the name that stays taken) from passing.
  refused_flag_rename_eio) inject=(-e inject=renameat2:error=EINVAL -e inject=renameat:error=EIO:when=2)
                           expect="renamed 3 failed 3 undo written";;
  claim_eio)               inject=(-e inject=renameat2:error=EINVAL -e inject=mknodat,mkdirat:error=EIO)
                           expect="renamed 0 failed 6 undo written";;
  undo_eio)                inject=(-e inject=write:error=EIO:when=1);            expect="renamed 5 failed 1 undo failed";;
  undo_enospc)             inject=(-e inject=write:error=ENOSPC:when=1);         expect="renamed 5 failed 1 undo failed";;
  *) echo "unknown scenario $scenario"; exit 2;;
esac

# Where tracing is not allowed (a container without ptrace), skip.
strace -qq -o /dev/null true 2>/dev/null || { echo "strace cannot trace here"; exit 77; }

work=$(mktemp -d /tmp/quillon-faults-XXXXXX)
trap 'rm -rf "$work"' EXIT
files=$work/files undo=$work/undo/UNDO
mkdir -p "$files/d" "$work/undo" "$work/home" "$work/state"
odd='name with "quotes" $HOME `x`.txt'
for name in a.txt b.txt c.txt x.txt keep.txt d/inside "$odd"; do printf 'content of %s\n' "$name" >"$files/$name"; done

# Every entry below the folder: path, kind, and a file's content.
snapshot() {
  (cd "$1" && find . -mindepth 1 | LC_ALL=C sort | while IFS= read -r path; do
    if [ -f "$path" ]; then printf '%s file %s\n' "$path" "$(cat "$path")"; else printf '%s %s\n' "$path" "$(stat -c %F "$path")"; fi
  done)
}
contents() { snapshot "$1" | sed 's/^.* file /file /; s/^.* directory$/directory/' | LC_ALL=C sort; }

before=$(snapshot "$files")
before_contents=$(contents "$files")

fail=0
check() { if [ "$1" != "$2" ]; then printf 'FAILED: %s\n--- expected\n%s\n--- got\n%s\n' "$3" "$1" "$2"; fail=1; fi; }

# LeakSanitizer cannot run under a tracer.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
got=$(HOME=$work/home XDG_STATE_HOME=$work/state strace -f -qq -o /dev/null "${inject[@]}" \
  "$driver" "$files" "$undo" c.txt c-new.txt b.txt c.txt a.txt b.txt d d-renamed x.txt keep.txt "$odd" 'odd `name`.txt')
check "$expect" "$got" "counts"
check "$before_contents" "$(contents "$files")" "every file kept once with its content, nothing added"

if [[ $expect == *"undo written" ]]; then
  check "UNDO" "$(ls -A "$work/undo")" "only the undo file beside it"
  (cd "$work/home" && sh "$undo" >/dev/null 2>&1)
  check "$before" "$(snapshot "$files")" "the undo file restores every name and content"
else
  check "" "$(ls -A "$work/undo")" "no undo file and no temporary file"
fi
exit $fail
