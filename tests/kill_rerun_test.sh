#!/usr/bin/env bash
# A patch run killed outright (SIGKILL: no abort, no restore) at points
# spread over the run, then the patch run again: the second run must finish
# (0) or find nothing to do (3), and leave the game folder byte for byte as
# one clean run leaves it, with no backup left in the folder or its arc
# folder (saves/slot1.bak and readme.bak.txt belong to the sample game).
#
#   tests/kill_rerun_test.sh PATCHKIT MAKE_SAMPLE_GAME SAMPLE_PATCH GAME_1_0_EXE
#
# The killed run pauses 150 ms after each command, so its commands are about
# 150 ms apart (copy game.exe at about 0.3 s, arcbackup 0.45 s, the updates
# 0.6 to 0.9 s, arcVerWrite 1.05 s, the backup clean-up 1.2 s). Some runs are
# killed after a fixed time, others as soon as the folder reaches a state
# ("stamped": everything written, the clean-up not yet begun; the moments
# between the clean-up and the end of the process are too short to hit).
# Each line of the log says what the kill left before the second run.
# shellcheck disable=SC2317  # the conditions below are called by name
set -u
export LC_ALL=C.UTF-8
patchkit=$1 make_game=$2 patch=$3 game_exe=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

"$make_game" game "$work/before" --exe "$game_exe" || { echo "FAIL: make_sample_game"; exit 1; }
cp -a "$work/before" "$work/reference"
out=$("$patchkit" run "$patch" --game "$work/reference" --pause-ms 0 2>&1); rc=$?
if [[ $rc -ne 0 ]]; then
  echo "FAIL: the clean run exited $rc: $out"
  exit 1
fi

# The backups in the game folder and its arc folder, or "none".
backups() {
  local list
  list=$(cd "$1" && find . arc -maxdepth 1 -type f -name '*.bak' | sed 's|^\./||' | sort | paste -sd ' ')
  echo "${list:-none}"
}

# What a file of the game folder holds: as before the patch, as after it,
# something else, or nothing.
state_of() {
  local dir=$1 name=$2
  if [[ ! -e $dir/$name ]]; then echo "$name missing"
  elif cmp -s "$dir/$name" "$work/before/$name"; then echo "$name old"
  elif cmp -s "$dir/$name" "$work/reference/$name"; then echo "$name new"
  else echo "$name other ($(stat -c %s "$dir/$name") bytes)"
  fi
}

# Conditions on the folder of the run being killed ($dir).
game_backed_up() { [[ -e $dir/game.bak ]]; }
archive_backed_up() { [[ -e $dir/arc/data_ARI.bak ]]; }
index_grown() { [[ $(stat -c %s "$dir/arc/data.ari" 2>/dev/null) -gt $(stat -c %s "$work/before/arc/data.ari") ]]; }
stamped() { [[ $(head -c 4 "$dir/arc/data.arc" 2>/dev/null) == WF02 ]]; }

# $1: a number of seconds, or the name of a condition to wait for.
kill_and_rerun() {
  local point=$1 label
  dir=$work/killed_$2
  cp -a "$work/before" "$dir"
  "$patchkit" run "$patch" --game "$dir" --pause-ms 150 >"$dir.log" 2>&1 &
  local pid=$!
  if [[ $point =~ ^[0-9.]+$ ]]; then
    label="after ${point}s"
    sleep "$point"
  else
    label="once $point"
    local deadline=$((SECONDS + 10))
    until "$point" || ! kill -0 "$pid" 2>/dev/null || ((SECONDS > deadline)); do sleep 0.003; done
  fi
  kill -KILL "$pid" 2>/dev/null
  { wait "$pid"; } 2>/dev/null  # without the shell's "Killed" line
  local rc=$? ended
  if [[ $rc -eq 137 ]]; then ended="killed"; else ended="ended by itself with $rc"; fi
  local left
  left="$ended; backups: $(backups "$dir"); $(state_of "$dir" game.exe), $(state_of "$dir" arc/data.arc), $(state_of "$dir" arc/data.ari)"

  out=$("$patchkit" run "$patch" --game "$dir" --pause-ms 0 2>&1); rc=$?
  local problems=()
  [[ $rc -eq 0 || $rc -eq 3 ]] || problems+=("the second run exited $rc")
  local differences
  differences=$(diff -r "$work/reference" "$dir" 2>&1 | head -n 5 | tr '\n' ' ')
  [[ -z $differences ]] || problems+=("differs from one clean run: $differences")
  local stray
  stray=$(backups "$dir")
  [[ $stray == none ]] || problems+=("backups left: $stray")
  if ((${#problems[@]})); then
    fail "kill $label: $left -> second run exit $rc: ${problems[*]}"
    echo "      second run said: $(grep '^\[' <<<"$out" | tr '\n' '|')"
  else
    echo "ok: kill $label: $left -> second run exit $rc"
  fi
}

n=0
for point in 0.05 0.2 0.35 0.5 0.65 0.8 0.95 1.1 \
             game_backed_up archive_backed_up index_grown stamped; do
  n=$((n + 1))
  kill_and_rerun "$point" "$n"
done

((failed == 0)) && echo "every killed run was made whole by the second run"
exit "$failed"
