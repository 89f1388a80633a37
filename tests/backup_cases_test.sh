#!/usr/bin/env bash
# Backups in the corners the journal has to get right, with real patches
# (patchkit build, the stand-in kit) run by patchkit run on small game
# folders: read-only files, two targets whose backups want one name, a stale
# archive backup where the clean-up does not look, and a second run of a
# finished patch. Each case compares the game folder byte for byte with what
# it must hold (as before the run, or as a control run on an ordinary folder
# leaves it) and lists any backup or journal left that was not there before.
#
#   tests/backup_cases_test.sh PATCHKIT KIT GAME_1_0_EXE GAME_1_1_EXE
#
# KIT: the i686 kit to link with (the stand-in kit will do); the two
# executables carry file versions 1.0 and 1.1.0.2, for a versioned copy.
# shellcheck disable=SC2317  # the folders and expectations are called by name
set -u
export LC_ALL=C
patchkit=$1 kit=$2 exe_1_0=$3 exe_1_1=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# ---- archives, written byte by byte (src/archive/arc_format.h) ----

u32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
          $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
# An entry's stored name: "\" and the name (small letters), each byte complemented.
stored_name() {
  local name="\\$1" i code escaped=""
  for ((i = 0; i < ${#name}; i++)); do
    printf -v code %d "'${name:i:1}"
    escaped+=$(printf '\\x%02x' $((255 - code)))
  done
  printf '%s' "$escaped"
}
# archive STEM TAG [ENTRY BYTES]...: STEM.arc (the tag, records with data)
# and STEM.ari (the same records without data), plain entries.
archive() {
  local stem=$1 tag=$2 header
  shift 2
  printf '%s' "$tag" >"$stem.arc"
  : >"$stem.ari"
  while (($# >= 2)); do
    header="$(u32 $((${#1} + 1)))$(stored_name "$1")\\x00\\x00$(u32 ${#2})"
    printf '%b' "$header" >>"$stem.ari"
    printf '%b' "$header" >>"$stem.arc"
    printf '%s' "$2" >>"$stem.arc"
    shift 2
  done
}

# ---- payloads and patches ----

payloads=$work/payloads
mkdir -p "$payloads/PATCH_SCR"
printf 'exe 2\r\n' >"$payloads/PATCH_SCR/EXE"
printf 'dll 2\r\n' >"$payloads/PATCH_SCR/DLL"
cp "$exe_1_1" "$payloads/PATCH_SCR/EXE11"
printf 'text 2\r\n' >"$payloads/PATCH_SCR/TEXT"
printf 'new entry\r\n' >"$payloads/PATCH_SCR/ADDED"

failing_line='copy gone/x.txt TEXT PATCH_SCR 0'  # its folder does not exist
read -r -d '' ro_script <<'EOF'
copy game.exe EXE PATCH_SCR 0
arcbackup arc/data.arc 2
update arc/data.arc text.txt TEXT PATCH_SCR 2
update arc/data.arc sub\added.txt ADDED PATCH_SCR 2
arcVerWrite arc/data.arc 2
EOF
read -r -d '' twin_script <<'EOF'
copy game.exe EXE PATCH_SCR 0
copy game.dll DLL PATCH_SCR 0
EOF
# Versioned lines only: a second run finds nothing to do.
read -r -d '' stale_script <<'EOF'
copy game.exe EXE11 PATCH_SCR 1.1.0.2
arcbackup data/x.arc 2
update data/x.arc text.txt TEXT PATCH_SCR 2
arcVerWrite data/x.arc 2
EOF

# patch NAME SCRIPT_LINES: builds $work/NAME.exe (in the background).
patch() {
  printf 'title %s\n%s\n' "$1" "$2" >"$work/$1.txt"
  "$patchkit" build --script "$work/$1.txt" --payloads "$payloads" --output "$work/$1.exe" \
    --kit "$kit" >"$work/$1.build.log" 2>&1 || echo "build of $1 failed" >>"$work/build_failures"
}
patch ro "$ro_script" &
patch ro_fail "$ro_script"$'\n'"$failing_line" &
patch twin "$twin_script" &
patch twin_fail "$twin_script"$'\n'"$failing_line" &
patch stale "$stale_script" &
patch stale_fail "$stale_script"$'\n'"$failing_line" &
wait
if [[ -e $work/build_failures ]]; then
  echo "FAIL: $(cat "$work/build_failures")"
  cat "$work"/*.build.log
  exit 1
fi

# ---- game folders ----

plain_game() {
  mkdir -p "$1/arc"
  printf 'exe 1\r\n' >"$1/game.exe"
  archive "$1/arc/data" WFL1 a.txt 'entry a 1' text.txt 'text 1' sub\\b.txt 'entry b 1'
  printf 'save\r\n' >"$1/readme.txt"
}
read_only_game() {
  plain_game "$1"
  chmod a-w "$1/game.exe" "$1/arc/data.arc" "$1/arc/data.ari"
}
twin_game() {
  mkdir -p "$1"
  printf 'exe 1\r\n' >"$1/game.exe"
  printf 'dll 1\r\n' >"$1/game.dll"
}
data_game() {
  mkdir -p "$1/data"
  cp "$exe_1_0" "$1/game.exe"
  archive "$1/data/x" WFL1 text.txt 'text 1' other.txt 'other 1'
}
# With an older pair left as its backup, in data/ where the clean-up of a
# finished run (*.bak, arc/*.bak) does not reach.
stale_backup_game() {
  data_game "$1"
  archive "$1/data/x_stale" WF00 text.txt 'text 0'
  mv "$1/data/x_stale.arc" "$1/data/x_ARC.bak"
  mv "$1/data/x_stale.ari" "$1/data/x_ARI.bak"
}
stale_backup_game_patched() {
  stale_backup_game "$1"
  "$patchkit" run "$work/stale.exe" --game "$1" --pause-ms 0 >/dev/null 2>&1
}

# ---- what a folder must hold afterwards; $1 the folder before, $2 made here ----

as_before() { cp -a "$1" "$2"; }
# The patch run on a folder made by FIXTURE, where it must finish.
control() {  # control FIXTURE PATCH BEFORE OUT
  "$1" "$4"
  local out rc
  out=$("$patchkit" run "$work/$2.exe" --game "$4" --pause-ms 0 2>&1); rc=$?
  [[ $rc -eq 0 ]] || fail "control run of $2 on $1 exited $rc: $out"
}
control_plain() { control plain_game ro "$@"; }
control_data() {  # and the stale backups as the folder had them
  control data_game stale "$@"
  cp -a "$1/data/x_ARC.bak" "$1/data/x_ARI.bak" "$2/data/"
}
both_replaced() {
  cp -a "$1" "$2"
  cp "$payloads/PATCH_SCR/EXE" "$2/game.exe"
  cp "$payloads/PATCH_SCR/DLL" "$2/game.dll"
}

# Every file below a folder with its permissions.
modes() { (cd "$1" && find . -type f -printf '%P %M\n' | sort); }
# The backups and journals below a folder.
leftovers() { (cd "$1" && find . -type f \( -iname '*.bak' -o -iname '~patch.jnl' \) -printf '%P\n' | sort); }

# as_before: the same bytes and the same permissions (read-only files stay so).
#  label                                | patch    | game folder              |exit| must then hold
cases=(
  "read-only files, finished             |ro        |read_only_game            |0   |control_plain"
  "read-only files, a line fails         |ro_fail   |read_only_game            |1   |as_before"
  "two targets of one stem, finished     |twin      |twin_game                 |0   |both_replaced"
  "two targets of one stem, a line fails |twin_fail |twin_game                 |1   |as_before"
  "stale archive backup, finished        |stale     |stale_backup_game         |0   |control_data"
  "stale archive backup, a line fails    |stale_fail|stale_backup_game         |1   |as_before"
  "second run of a finished patch        |stale     |stale_backup_game_patched |3   |as_before"
)

n=0
for row in "${cases[@]}"; do
  IFS='|' read -r label patch_name fixture want expect <<<"$row"
  label=${label%"${label##*[! ]}"} patch_name=${patch_name// /} fixture=${fixture// /}
  want=${want// /}
  n=$((n + 1))
  game=$work/game_$n before=$work/before_$n expected=$work/expected_$n
  "$fixture" "$game"
  cp -a "$game" "$before"
  "$expect" "$before" "$expected"
  out=$("$patchkit" run "$work/$patch_name.exe" --game "$game" --pause-ms 0 2>&1); rc=$?
  problems=()
  [[ $rc -eq $want ]] || problems+=("exit $rc, not $want")
  differences=$(diff -r "$expected" "$game" 2>&1 | head -n 5 | tr '\n' ' ')
  [[ -z $differences ]] || problems+=("differs: $differences")
  if [[ $expect == as_before ]] && ! cmp -s <(modes "$before") <(modes "$game"); then
    problems+=("permissions changed: $(diff <(modes "$before") <(modes "$game") | grep '^>' | tr '\n' ' ')")
  fi
  left=$(comm -13 <(leftovers "$before") <(leftovers "$game") | paste -sd ' ')
  [[ -z $left ]] || problems+=("left behind: $left")
  if ((${#problems[@]})); then
    fail "$label: ${problems[*]}"
    echo "      the run said: $(grep '^\[' <<<"$out" | tr '\n' '|')"
  else
    echo "ok: $label: exit $rc"
  fi
done
exit "$failed"
