#!/usr/bin/env bash
# The Windows program end to end, under Wine on a virtual X display, once
# for each Windows build (the i686 program players run, under 32-bit Wine,
# and the x86_64 one): the sample patch's dialog (its controls, texts and
# the game folder from the install record), the folder browser opening on
# that folder, a run by its default button, the message boxes, closing with
# the confirmation, the exit code, and the game folder byte for byte against
# the same patch applied by `patchkit run`. Once with a Japanese system
# locale (ANSI code page 932) and once with an English one; then an
# interrupted run, which must leave the folder as it was. Then a patch whose
# first line copies a large file: a pointer click on "中止" during that copy
# must end the run as interrupted with the folder as it was (the time from
# the click to the dialog's handling of it is printed), and a click on
# "フォルダー指定" during it must open the browser while the run goes on.
#
#   tests/window/window_test.sh [NATIVE_DIR [BUILD_DIR...]]
#
# NATIVE_DIR (default build/native): patchkit, make_sample_game and
# images/sample_game_1_{0,1}.exe. Each BUILD_DIR (default build/i686 and
# build/x86_64) is a Windows cross build named after its architecture, with
# kit/ and list_controls.exe.
# Everything it makes stays in build/window-test (the screenshots
# ARCH/dialog-ja.png and ARCH/dialog-en.png among it).
# Needs: wine (64-bit and 32-bit), Wine's Marlett font (fonts-wine), Xvfb,
# xdotool (and its libXtst), ImageMagick's import, python3, localedef with
# the ja_JP locale source, fc-list, a Japanese font (IPAex Gothic or Motoya
# L Cedar). WINDOW_TEST_TIME_LIMIT (seconds, default
# 600) bounds the whole run; WINDOW_TEST_LARGE_MIB (default 256) is the size
# of the large copy.
# shellcheck disable=SC2317  # functions run from traps and from wait_for
set -u
export LC_ALL=C.UTF-8

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
native=$(realpath -m "${1:-$root/build/native}")
shift $(($# ? 1 : 0))
(($#)) || set -- "$root/build/i686" "$root/build/x86_64"
builds=()
for build in "$@"; do builds+=("$(realpath -m "$build")"); done
work=$root/build/window-test
time_limit=${WINDOW_TEST_TIME_LIMIT:-600}  # seconds for the whole test
large_mib=${WINDOW_TEST_LARGE_MIB:-256}

# Results go to fd 9, the test's own output: a trap may run while a
# function's output is redirected to a file.
exec 9>&1
passed=0 failed=0
pass() { passed=$((passed + 1)); echo "ok: $*" >&9; }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&9; }
note() { echo "note: $*" >&9; }
finish() {
  echo "window test: $passed passed, $failed failed" >&9
  ((failed == 0))
  exit
}

# ---- what the test needs ----
patchkit=$native/patchkit make_game=$native/make_sample_game
game_1_0=$native/images/sample_game_1_0.exe game_1_1=$native/images/sample_game_1_1.exe
missing=()
for tool in wine wineserver wineboot Xvfb xdotool import localedef fc-list realpath timeout python3; do
  command -v "$tool" >/dev/null || missing+=("command $tool")
done
for file in "$patchkit" "$make_game" "$game_1_0" "$game_1_1"; do
  [[ -f $file ]] || missing+=("$file")
done
for build in "${builds[@]}"; do
  case $(basename "$build") in
    i686 | x86_64) ;;
    *) missing+=("a build named i686 or x86_64 (not $build)") ;;
  esac
  for file in "$build/list_controls.exe" "$build/kit/link.txt" "$build/kit/program.rc" \
              "$build/kit/libpatch_program.a"; do
    [[ -f $file ]] || missing+=("$file")
  done
done
[[ -f /usr/share/i18n/locales/ja_JP ]] || missing+=("/usr/share/i18n/locales/ja_JP (package locales)")
marlett=/usr/share/wine/fonts/marlett.ttf
[[ -f $marlett ]] || missing+=("$marlett (package fonts-wine)")
font=""
for candidate in IPAexGothic MotoyaLCedar; do
  if [[ -n $(fc-list ":family=$candidate" 2>/dev/null) ]]; then font=$candidate; break; fi
done
[[ -n $font ]] || missing+=("a Japanese font (fonts-ipaexfont-gothic or fonts-motoya-l-cedar)")
if ((${#missing[@]})); then
  for file in "${missing[@]}"; do fail "missing $file"; done
  echo "(build the targets patch_kit and list_controls of each Windows build, and the native build)"
  finish
fi

rm -rf "$work"
mkdir -p "$work"
logs=$work/logs
mkdir -p "$logs"

# ---- processes: Xvfb, the prefix's wineserver, the watchdog ----
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid="" watchdog_pid=""
stop_wine() {
  timeout 20 wineserver -k >/dev/null 2>&1
  timeout 20 wineserver -w >/dev/null 2>&1
}
cleanup() {
  [[ -n $watchdog_pid ]] && kill "$watchdog_pid" 2>/dev/null
  if [[ -d $WINEPREFIX ]]; then
    stop_wine
    rm -rf "$WINEPREFIX"  # some 700 MB; the logs and screenshots stay
  fi
  # The large files: the patches that carry one and the game folders.
  rm -rf "$work"/*/large-* "$work"/large-* "$work"/*/large_patch.exe 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'fail "the test took longer than ${time_limit}s"; finish' USR1
trap 'fail "interrupted"; finish' INT TERM
start_seconds=$SECONDS
(
  trap 'kill "$sleep_pid" 2>/dev/null; exit 0' TERM
  sleep "$time_limit" &
  sleep_pid=$!
  wait "$sleep_pid" && kill -USR1 $$
) >/dev/null 2>&1 9>&- &
watchdog_pid=$!

# A locale with code page 932 without touching the system: compiled into
# the work folder, found through LOCPATH.
locales=$work/locales
mkdir -p "$locales"
if ! localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >"$logs/localedef.log" 2>&1; then
  fail "localedef ja_JP.UTF-8: $(tail -n 3 "$logs/localedef.log")"
  finish
fi
ja_env=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8)
en_env=(LC_ALL=C.UTF-8 LANG=C.UTF-8)
locale_env=("${en_env[@]}")

# Waits until the command succeeds; $1 seconds, $2 what is waited for.
wait_for() {
  local seconds=$1 what=$2 deadline
  shift 2
  deadline=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= deadline)); then
      fail "timed out after ${seconds}s waiting for $what"
      return 1
    fi
    sleep 0.2
  done
}

# The build whose helper is in use (set per build below).
list_controls=""
w() { env "${locale_env[@]}" timeout 30 wine "$@"; }

display_file=$work/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$logs/xvfb.log" 2>&1 9>&- &
xvfb_pid=$!
if ! wait_for 15 "Xvfb" grep -q '^[0-9]' "$display_file"; then finish; fi
DISPLAY=:$(head -n 1 "$display_file")
export DISPLAY

# ---- the scripts and payloads ----
# The payloads as patchkit build takes them: DIR/TYPE/NAME.
payloads=$work/payloads
if ! "$make_game" payloads "$payloads" --exe "$game_1_1" >"$logs/payloads.log" 2>&1; then
  fail "make_sample_game payloads: $(cat "$logs/payloads.log")"
  finish
fi
cp "$root/sample/script.txt" "$work/script.txt"
# One whose last line fails at run time.
cp "$root/sample/script.txt" "$work/failing_script.txt"
printf 'copy nodir/x.txt EXE PATCH_SCR 0\t// no such folder: fails at run time\n' \
  >>"$work/failing_script.txt"
# One that copies a large file first, then does the sample's work, then
# goes on for a while: a run long enough to click into.
large_payloads=$work/large-payloads
mkdir -p "$large_payloads/PATCH_SCR"
cp -l "$payloads"/PATCH_SCR/* "$large_payloads/PATCH_SCR/"
head -c $((large_mib << 20)) /dev/urandom >"$large_payloads/PATCH_SCR/LARGE"
{
  sed -n '1,3p' "$root/sample/script.txt"
  printf 'copy movie.dat LARGE PATCH_SCR 0\t// the large file\n'
  sed -n '4,$p' "$root/sample/script.txt"
  for _ in $(seq 15); do printf 'deletebak\t\t// a pause of its own\n'; done
} >"$work/large_script.txt"

use_patchkit_build=0
"$patchkit" build --help >/dev/null 2>&1 && use_patchkit_build=1

# $1 the architecture, $2 its kit, $3 the UTF-8 script, $4 the payloads, $5
# the patch to write.
build_patch() {
  local arch=$1 kit=$2 script=$3 from=$4 out=$5 base=${5%.exe}
  if ((use_patchkit_build)); then
    "$patchkit" build --script "$script" --payloads "$from" --output "$out" \
      --arch "$arch" --kit "$kit" >"$base.build.log" 2>&1
    return
  fi
  python3 "$root/tools/script_to_cp932.py" "$script" "$base.cp932.txt" || return 1
  {
    echo '#include "program.rc"'
    echo "SCRIPT PATCH_SCR \"$base.cp932.txt\""
    local file
    for file in "$from"/*/*; do
      echo "$(basename "$file") $(basename "$(dirname "$file")") \"$file\""
    done
  } >"$base.rc"
  "$arch-w64-mingw32-windres" -c 65001 "--include-dir=$kit" -i "$base.rc" -o "$base.res.o" \
    >"$base.build.log" 2>&1 || return 1
  # shellcheck disable=SC2046  # link.txt is a line of arguments
  (cd "$kit" && "$arch-w64-mingw32-g++-posix" -o "$out" "$base.res.o" $(cat link.txt)) \
    >>"$base.build.log" 2>&1
}
how="by hand (windres and g++)"
((use_patchkit_build)) && how="with patchkit build"

# ---- the patches, for each build ----
for build in "${builds[@]}"; do
  arch=$(basename "$build")
  mkdir -p "$work/$arch"
  for made in "script:payloads:sample_patch" "failing_script:payloads:failing_patch" \
              "large_script:large-payloads:large_patch"; do
    IFS=: read -r script from exe <<<"$made"
    exe=$work/$arch/$exe.exe
    if build_patch "$arch" "$build/kit" "$work/$script.txt" "$work/$from" "$exe" && [[ -f $exe ]]; then
      pass "$arch: built $(basename "$exe") $how"
    else
      fail "$arch: building $(basename "$exe") $how: $(tail -n 5 "${exe%.exe}.build.log" 2>/dev/null)"
      finish
    fi
  done
done

# ---- the references: the same patches applied natively ----
fresh_game() { "$make_game" game "$1" --exe "$game_1_0" >/dev/null; }
# The large patch's game has a movie.dat of its own, which the patch
# replaces.
fresh_large_game() {
  fresh_game "$1" && head -c 100000 /dev/zero | tr '\0' 'm' >"$1/movie.dat"
}
patches=$work/$(basename "${builds[0]}")
fresh_game "$work/untouched"
fresh_game "$work/reference"
"$patchkit" run "$patches/sample_patch.exe" --record "$work/reference" --pause-ms 0 \
  >"$logs/reference.log" 2>&1
rc=$?
if [[ $rc -eq 0 ]]; then pass "patchkit run of the sample patch"
else fail "patchkit run of the sample patch exited $rc: $(cat "$logs/reference.log")"; fi
fresh_game "$work/reference_failed"
"$patchkit" run "$patches/failing_patch.exe" --record "$work/reference_failed" --pause-ms 0 \
  >"$logs/reference_failed.log" 2>&1
rc=$?
if [[ $rc -eq 1 ]] && diff -r "$work/untouched" "$work/reference_failed" >/dev/null; then
  pass "patchkit run of the failing patch stops and leaves the folder as it was"
else
  fail "patchkit run of the failing patch exited $rc: $(cat "$logs/reference_failed.log")"
fi
fresh_large_game "$work/large-untouched"
fresh_large_game "$work/large-reference"
"$patchkit" run "$patches/large_patch.exe" --record "$work/large-reference" --pause-ms 0 \
  >"$logs/large-reference.log" 2>&1
rc=$?
if [[ $rc -eq 0 ]] && cmp -s "$work/large-reference/movie.dat" "$large_payloads/PATCH_SCR/LARGE"; then
  pass "patchkit run of the large patch (${large_mib} MiB)"
else
  fail "patchkit run of the large patch exited $rc: $(cat "$logs/large-reference.log")"
fi

# ---- the Wine prefix ----
# $1: ja or en. A fresh server for each locale: Wine takes the code page
# from the locale its processes start in.
start_wine() {
  stop_wine
  if [[ $1 == ja ]]; then locale_env=("${ja_env[@]}"); else locale_env=("${en_env[@]}"); fi
  env "${locale_env[@]}" wineserver -p >/dev/null 2>&1 9>&-
}
mkdir -p "$WINEPREFIX"
env "${en_env[@]}" wineserver -p >/dev/null 2>&1 9>&-
if ! env "${en_env[@]}" timeout 120 wineboot -i >"$logs/wineboot.log" 2>&1; then
  fail "wineboot -i: $(tail -n 5 "$logs/wineboot.log")"
  finish
fi
# Wine's own Marlett draws the caption buttons; Debian's Wine does not look
# where its package puts it, but every prefix loads its Fonts folder.
cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
# Unmanaged windows: no window manager on the display. The dialog's font,
# MS UI Gothic, replaced by a Japanese font of the system.
cat >"$work/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="$font"
EOF
list_controls=${builds[0]}/list_controls.exe
if w regedit /S "$work/settings.reg" >"$logs/regedit.log" 2>&1; then
  pass "Wine prefix ready after $((SECONDS - start_seconds))s (font $font)"
else
  fail "regedit: $(cat "$logs/regedit.log")"
  finish
fi

# ---- windows ----
dialog_title='SamplePatch(Ver.1.1)'
dialog_id=""

# The X window of the dialog, once it is shown with its final caption.
find_dialog() {
  dialog_id=$(xdotool search --onlyvisible --name '^SamplePatch\(Ver\.1\.1\)$' 2>/dev/null | head -n 1)
  [[ -n $dialog_id ]]
}

# A shown window other than the dialog: a message box or the folder
# browser. Sets box_id.
box_id=""
find_box() {
  local id
  box_id=""
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    [[ $id == "$dialog_id" ]] && continue
    box_id=$id
    return 0
  done
  return 1
}
window_gone() { ! xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1"; }

# Presses a key in window $1.
press() {
  timeout 10 xdotool windowfocus --sync "$1" >/dev/null 2>&1 || return 1
  timeout 10 xdotool key --clearmodifiers "$2" >/dev/null 2>&1
}

# The controls of the window titled $1 into file $2 ($3: --screen for
# screen coordinates).
list() { w "$list_controls" ${3:+"$3"} --wait 5000 "$1" >"$2" 2>/dev/null; }

# The text of control $1 in listing $2 ("" when it is missing), its class,
# whether it is enabled, and the screen point at its centre ("X Y", from a
# --screen listing).
text_of() { awk -F'\t' -v id="$1" '$1 == id { print $5; exit }' "$2"; }
class_of() { awk -F'\t' -v id="$1" '$1 == id { print $3; exit }' "$2"; }
state_of() { awk -F'\t' -v id="$1" '$1 == id { print $4; exit }' "$2"; }
centre_of() {
  awk -F'\t' -v id="$1" '$1 == id { split($2, r, ","); print int((r[1] + r[3]) / 2), int((r[2] + r[4]) / 2); exit }' "$2"
}

# Shows each message box, then dismisses it with Return, until one says
# $1. Each is logged as "caption: text" to $2.
dismiss_boxes_until() {
  local final=$1 log=$2 caption listing text
  : >"$log"
  while :; do
    wait_for 60 "a message box (after: $(tr '\n' '|' <"$log"))" find_box || return 1
    caption=$(xdotool getwindowname "$box_id" 2>/dev/null)
    listing=$out_dir/box_$(wc -l <"$log").txt
    list "$caption" "$listing"
    text=$(text_of 65535 "$listing")
    echo "$caption: $text" >>"$log"
    [[ $text == "$final" ]] && return 0
    press "$box_id" Return || { fail "could not press Return in \"$caption\""; return 1; }
    wait_for 10 "the box \"$caption\" to close" window_gone "$box_id" || return 1
  done
}

# Starts patch $1 on game folder $2 in the current locale with the install
# record naming that folder, and waits for its dialog. $3 (optional): the
# WINEDEBUG of the program. Sets windows_game, out and rc_file.
windows_game="" out="" rc_file=""
start_patch() {
  local exe=$1 game=$2 debug=${3:--all} tag
  tag=$(basename "$game")
  out=$logs/$arch-$tag.out rc_file=$logs/$arch-$tag.rc
  windows_game="Z:${game//\//\\}"
  if ! w reg add 'HKCU\software\SampleMaker\SampleGame' /v Current /d "$windows_game" /f \
       >"$logs/$arch-$tag.reg.log" 2>&1; then
    fail "$arch $tag: install record: $(cat "$logs/$arch-$tag.reg.log")"
    return 1
  fi
  # A file, not a pipe: a pipe would wait for the wineserver to end.
  (env "${locale_env[@]}" WINEDEBUG="$debug" wine "$exe" >"$out" 2>&1; echo $? >"$rc_file") 9>&- &
  dialog_id=""
  wait_for 30 "the dialog \"$dialog_title\"" find_dialog
}

# Closes the idle dialog: the confirmation, then the exit code. $1 the tag.
close_patch() {
  local tag=$1 boxes=$logs/$1.close
  press "$dialog_id" alt+F4 || { fail "$tag: could not press Alt+F4"; return 1; }
  if dismiss_boxes_until "パッチプログラムを終了してもよろしいですか？" "$boxes"; then
    pass "$tag: closing asks \"$(cat "$boxes")\""
  else
    fail "$tag: no confirmation on closing: $(cat "$boxes")"
    return 1
  fi
  press "$box_id" Return
  if wait_for 20 "the program to end" test -s "$rc_file"; then
    local rc
    rc=$(cat "$rc_file")
    if [[ $rc == 0 ]]; then pass "$tag: the program ended with exit code 0"
    else fail "$tag: the program ended with exit code $rc: $(tail -n 5 "$out")"; fi
  fi
}

# $1 the tag, $2 the game folder, $3 the folder it must equal byte for byte.
same_folder() {
  if diff -r "$3" "$2" >"$logs/$1.diff" 2>&1; then
    pass "$1: the game folder equals $(basename "$3") byte for byte"
  else
    fail "$1: the game folder differs from $(basename "$3"): $(head -n 5 "$logs/$1.diff")"
  fi
}

# The folder browser on its first open: it must show the game folder
# chosen, so that OK keeps it. $1 the tag, $2 a --screen listing of the
# dialog.
check_browser_first_open() {
  local tag=$1 listing=$2 point
  point=$(centre_of 1005 "$listing")
  # shellcheck disable=SC2086  # "X Y"
  python3 "$root/tests/window/click_when.py" $point >/dev/null 2>"$logs/$tag.click.log" ||
    { fail "$tag: clicking フォルダー指定: $(cat "$logs/$tag.click.log")"; return; }
  wait_for 20 "the folder browser" find_box || return
  local browser=$box_id
  sleep 1  # the browser fills its tree and selects
  press "$browser" Return || { fail "$tag: could not press Return in the browser"; return; }
  wait_for 10 "the browser to close" window_gone "$browser" || return
  local after=$out_dir/controls-$tag-after-browser.txt
  list "$dialog_title" "$after"
  local shown
  shown=$(text_of 1004 "$after")
  if [[ $shown == "$windows_game" ]] && ! find_box; then
    pass "$tag: the folder browser opened on the game folder (OK kept $shown)"
  else
    fail "$tag: the folder browser did not open on $windows_game: OK gave \"$shown\""
    find_box && press "$box_id" Return
  fi
}

# ---- one run of a patch in the window ----
# $1 the run's name, $2 ja or en, $3 the patch, $4 the game folder, $5 the
# final message, $6 the folder it must then equal byte for byte.
run_window() {
  local tag=$arch-$1 lang=$2 exe=$3 game=$4 final=$5 expected=$6
  local listing=$out_dir/controls-$1.txt
  start_wine "$lang"

  local acp
  w "$list_controls" --acp >"$logs/$tag.acp" 2>/dev/null
  acp=$(tr -d '\r' <"$logs/$tag.acp")
  if [[ $lang == ja && $acp == "acp 932" ]] || [[ $lang == en && $acp != "acp 932" && -n $acp ]]; then
    pass "$tag: Wine's ANSI code page ($acp)"
  else
    fail "$tag: Wine's ANSI code page is \"$acp\""
  fi

  start_patch "$exe" "$game" || return

  if ! list "$dialog_title" "$listing"; then
    fail "$tag: list_controls: $(cat "$listing")"
    return
  fi
  local id expected_class expected_text ok=1 line
  while IFS='|' read -r id expected_class expected_text; do
    [[ $expected_text == GAME ]] && expected_text=$windows_game
    if [[ $(class_of "$id" "$listing") != "$expected_class" ||
          $(text_of "$id" "$listing") != "$expected_text" ]]; then
      ok=0
      fail "$tag: control $id: expected $expected_class \"$expected_text\", got $(grep -P "^$id\t" "$listing")"
    fi
  done <<'EOF'
1000|Button|パッチ実行
1001|Button|中止
1002|msctls_progress32|
1004|Static|GAME
1005|Button|フォルダー指定
EOF
  for line in '処理経過' 'ゲームをインストールしているフォルダー' \
              '※手動インストールを行った場合は、インストールしたフォルダーをここで指定して下さい'; do
    if ! awk -F'\t' -v t="$line" '$1 == -1 && $5 == t { found = 1 } END { exit !found }' "$listing"; then
      ok=0
      fail "$tag: no static \"$line\""
    fi
  done
  ((ok)) && pass "$tag: the dialog's controls, texts and the game folder $windows_game"

  sleep 0.5  # painted
  if timeout 10 import -window "$dialog_id" "$out_dir/dialog-$1.png" 2>"$logs/$tag.import.log"; then
    pass "$tag: screenshot $out_dir/dialog-$1.png"
  else
    fail "$tag: screenshot: $(cat "$logs/$tag.import.log")"
  fi

  if [[ $1 == ja ]]; then
    list "$dialog_title" "$listing.screen" --screen
    check_browser_first_open "$tag" "$listing.screen"
  fi

  # The run button is the default one: Return starts the run.
  press "$dialog_id" Return || { fail "$tag: could not press Return in the dialog"; return; }
  local boxes=$logs/$tag.boxes
  if dismiss_boxes_until "$final" "$boxes"; then
    pass "$tag: message boxes: $(tr '\n' '|' <"$boxes")"
  else
    fail "$tag: the message boxes were: $(tr '\n' '|' <"$boxes")"
    return
  fi
  timeout 10 import -window root "$out_dir/result-$1.png" 2>/dev/null
  press "$box_id" Return
  wait_for 10 "the last message box to close" window_gone "$box_id" || return

  close_patch "$tag" || return
  same_folder "$tag" "$game" "$expected"
}

# ---- clicks during the large copy ----
# The end of a run of the large patch: one message box, $3, and no other;
# then the program is closed and the game folder $2 compared with $4. $1 the
# tag, $5 what passing means.
finish_large_run() {
  local tag=$1 game=$2 final=$3 expected=$4 boxes=$logs/$1.boxes
  if dismiss_boxes_until "$final" "$boxes" && [[ $(wc -l <"$boxes") -eq 1 ]]; then
    pass "$tag: $5"
  else
    fail "$tag: expected only \"$final\"; the boxes were: $(tr '\n' '|' <"$boxes")"
    return 1  # the next start of Wine ends the program
  fi
  press "$box_id" Return
  wait_for 10 "the last message box to close" window_gone "$box_id" || return 1
  close_patch "$tag"
  same_folder "$tag" "$game" "$expected"
}

# "中止" while the large file is being copied: the run ends as interrupted
# after that copy, with every file put back. The program runs with Wine's
# message trace, and the time from the click to the dialog's WM_COMMAND
# from "中止" (which is when the abort flag is set) is printed. The trace's
# clock is set against the test's by the pointer's move onto the button
# while the dialog is idle.
run_abort_during_copy() {
  local tag=$arch-abort game=$work/$arch/large-abort
  start_wine en
  fresh_large_game "$game"
  start_patch "$large_patch" "$game" "+timestamp,+message" || return
  local listing=$out_dir/controls-abort.screen
  list "$dialog_title" "$listing" --screen
  local point moved times
  point=$(centre_of 1001 "$listing")
  # shellcheck disable=SC2086  # "X Y"
  moved=$(python3 "$root/tests/window/click_when.py" --move-only $point 2>"$logs/$tag.move.log")
  sleep 0.3
  press "$dialog_id" Return || { fail "$tag: could not press Return in the dialog"; return; }
  # Half way through the copy, when a dialog that trailed the work would be
  # furthest behind: the new movie.dat half written (the old one is far
  # smaller).
  # shellcheck disable=SC2086  # "X Y"
  if ! times=$(python3 "$root/tests/window/click_when.py" --no-move --when-exists "$game/movie.dat" \
                 --at-least $((large_mib << 19)) --timeout 60 $point 2>"$logs/$tag.click.log"); then
    fail "$tag: clicking 中止 during the copy: $(cat "$logs/$tag.click.log")"
    return
  fi
  local copied
  copied=$(stat -c %s "$game/movie.dat" 2>/dev/null || echo 0)
  echo "moved $moved clicked $times copied $copied" >"$logs/$tag.times"
  finish_large_run "$tag" "$game" "パッチ処理は途中で中断されました" "$work/large-untouched" \
    "a click on 中止 during the ${large_mib} MiB copy ends the run as interrupted"

  # The trace's lines start "SECONDS.MS:"; the button's text is 中止.
  local handled hovered
  trace_ms() { sed -n 's/^ *\([0-9]*\)\.\([0-9]\{3\}\):.*/\1\2/p' | head -n 1; }
  hovered=$(grep -a '"\\4e2d\\6b62".*WM_MOUSEMOVE dispatched' "$out" | trace_ms)
  handled=$(grep -a 'WM_COMMAND sent' "$out" | grep -a -i 'wp=0*3e9 ' | trace_ms)
  if [[ -n $handled && -n $hovered && -n $moved ]]; then
    awk -v mb="${moved% *}" -v ma="${moved#* }" -v cb="${times% *}" -v ca="${times#* }" \
        -v hovered="$hovered" -v handled="$handled" -v tag="$tag" -v copied="$copied" \
        -v total=$((large_mib << 20)) 'BEGIN {
      offset = hovered - ma  # the trace clock minus ours, at the move
      printf "note: %s: click to abort flag: %.0f ms (give or take %.0f); %d of %d bytes copied when the click ended\n",
             tag, handled - offset - cb, (ma - mb) + (ca - cb), copied, total }' >&9
  else
    note "$tag: the trace does not show the move onto 中止 and its WM_COMMAND (see $out)"
  fi
  rm -rf "$game"
}

# "フォルダー指定" during the large copy: the browser opens while the run
# goes on; cancelled, the run still ends as finished.
run_folder_during_copy() {
  local tag=$arch-folder game=$work/$arch/large-folder
  start_wine en
  fresh_large_game "$game"
  start_patch "$large_patch" "$game" || return
  local listing=$out_dir/controls-folder.screen
  list "$dialog_title" "$listing" --screen
  local point times
  point=$(centre_of 1005 "$listing")
  press "$dialog_id" Return || { fail "$tag: could not press Return in the dialog"; return; }
  # shellcheck disable=SC2086  # "X Y"
  if ! times=$(python3 "$root/tests/window/click_when.py" --when-exists "$game/movie.bak" \
                 --timeout 60 $point 2>"$logs/$tag.click.log"); then
    fail "$tag: clicking フォルダー指定 during the copy: $(cat "$logs/$tag.click.log")"
    return
  fi
  local clicked=$SECONDS
  if wait_for 20 "the folder browser" find_box; then
    local browser=$box_id caption state
    caption=$(xdotool getwindowname "$browser" 2>/dev/null)
    list "$dialog_title" "$out_dir/controls-folder-during.txt"
    state=$(state_of 1000 "$out_dir/controls-folder-during.txt")
    if [[ $caption != 処理結果 && $state == disabled ]]; then
      pass "$tag: the folder browser (\"$caption\") opened during the run, $((SECONDS - clicked))s after the click"
    else
      fail "$tag: after the click on フォルダー指定: \"$caption\", run button $state"
    fi
    press "$browser" Escape
    wait_for 10 "the browser to close" window_gone "$browser"
  fi
  finish_large_run "$tag" "$game" "パッチ処理は正常に終了しました" "$work/large-reference" \
    "the run went on and finished"
  rm -rf "$game"
}

# ---- each build ----
for build in "${builds[@]}"; do
  arch=$(basename "$build")
  out_dir=$work/$arch
  mkdir -p "$out_dir"
  list_controls=$build/list_controls.exe
  build_started=$SECONDS
  patch=$out_dir/sample_patch.exe failing_patch=$out_dir/failing_patch.exe
  large_patch=$out_dir/large_patch.exe
  fresh_game "$out_dir/game-ja"
  run_window ja ja "$patch" "$out_dir/game-ja" "パッチ処理は正常に終了しました" "$work/reference"
  fresh_game "$out_dir/game-en"
  run_window en en "$patch" "$out_dir/game-en" "パッチ処理は正常に終了しました" "$work/reference"
  fresh_game "$out_dir/interrupted"
  run_window interrupted en "$failing_patch" "$out_dir/interrupted" "パッチ処理は途中で中断されました" \
    "$work/untouched"
  if grep -q 'コピー先ファイルのオープンに失敗' "$logs/$arch-interrupted.boxes" 2>/dev/null; then
    pass "$arch-interrupted: the error was shown before the end"
  else
    fail "$arch-interrupted: no error box for the failing line"
  fi
  run_abort_during_copy
  run_folder_during_copy
  rm -f "$large_patch"
  echo "$arch took $((SECONDS - build_started))s" >&9
done

echo "took $((SECONDS - start_seconds))s" >&9
finish
