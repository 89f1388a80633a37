#!/usr/bin/env bash
# The Windows program end to end, under Wine on a virtual X display: the
# sample patch's dialog (its controls, texts and the game folder from the
# install record), a run by its default button, the message boxes, closing
# with the confirmation, the exit code, and the game folder byte for byte
# against the same patch applied by `patchkit run`. Once with a Japanese
# system locale (ANSI code page 932) and once with an English one; then an
# interrupted run, which must leave the folder as it was.
#
#   tests/window/window_test.sh [BUILD_DIR] [NATIVE_DIR]
#
# BUILD_DIR (default build/x86_64): the x86_64 cross build, with kit/ and
# list_controls.exe. NATIVE_DIR (default build/native): patchkit,
# make_sample_game and images/sample_game_1_{0,1}.exe.
# Everything it makes stays in BUILD_DIR/window-test (the screenshots
# dialog-ja.png and dialog-en.png among it).
# Needs: wine, Xvfb, xdotool, ImageMagick's import, localedef with the
# ja_JP locale source, fc-list, a Japanese font (IPAex Gothic or Motoya L
# Cedar). WINDOW_TEST_TIME_LIMIT (seconds, default 170) bounds the whole run.
# shellcheck disable=SC2317  # functions run from traps and from wait_for
set -u
export LC_ALL=C.UTF-8

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build=$(realpath -m "${1:-$root/build/x86_64}")
native=$(realpath -m "${2:-$root/build/native}")
work=$build/window-test
time_limit=${WINDOW_TEST_TIME_LIMIT:-170}  # seconds for the whole test

# Results go to fd 9, the test's own output: a trap may run while a
# function's output is redirected to a file.
exec 9>&1
passed=0 failed=0
pass() { passed=$((passed + 1)); echo "ok: $*" >&9; }
fail() { failed=$((failed + 1)); echo "FAIL: $*" >&9; }
finish() {
  echo "window test: $passed passed, $failed failed" >&9
  ((failed == 0))
  exit
}

# ---- what the test needs ----
patchkit=$native/patchkit make_game=$native/make_sample_game
game_1_0=$native/images/sample_game_1_0.exe game_1_1=$native/images/sample_game_1_1.exe
kit=$build/kit list_controls=$build/list_controls.exe
missing=()
for tool in wine wineserver wineboot Xvfb xdotool import localedef fc-list realpath timeout; do
  command -v "$tool" >/dev/null || missing+=("command $tool")
done
for file in "$patchkit" "$make_game" "$game_1_0" "$game_1_1" "$list_controls" \
            "$kit/link.txt" "$kit/program.rc" "$kit/libpatch_program.a"; do
  [[ -f $file ]] || missing+=("$file")
done
[[ -f /usr/share/i18n/locales/ja_JP ]] || missing+=("/usr/share/i18n/locales/ja_JP (package locales)")
font=""
for candidate in IPAexGothic MotoyaLCedar; do
  if [[ -n $(fc-list ":family=$candidate" 2>/dev/null) ]]; then font=$candidate; break; fi
done
[[ -n $font ]] || missing+=("a Japanese font (fonts-ipaexfont-gothic or fonts-motoya-l-cedar)")
if ((${#missing[@]})); then
  for file in "${missing[@]}"; do fail "missing $file"; done
  echo "(build the x86_64 targets patch_kit and list_controls, and the native build)"
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

w() { env "${locale_env[@]}" timeout 30 wine "$@"; }

display_file=$work/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$logs/xvfb.log" 2>&1 9>&- &
xvfb_pid=$!
if ! wait_for 15 "Xvfb" grep -q '^[0-9]' "$display_file"; then finish; fi
DISPLAY=:$(head -n 1 "$display_file")
export DISPLAY

# ---- the patches: the sample, and one whose last line fails at run time ----
# The payloads as patchkit build takes them: DIR/TYPE/NAME.
payloads=$work/payloads
if ! "$make_game" payloads "$payloads" --exe "$game_1_1" >"$logs/payloads.log" 2>&1; then
  fail "make_sample_game payloads: $(cat "$logs/payloads.log")"
  finish
fi
cp "$root/sample/script.txt" "$work/script.txt"
cp "$root/sample/script.txt" "$work/failing_script.txt"
printf 'copy nodir/x.txt EXE PATCH_SCR 0\t// no such folder: fails at run time\n' \
  >>"$work/failing_script.txt"

use_patchkit_build=0
"$patchkit" build --help >/dev/null 2>&1 && use_patchkit_build=1

# $1 the UTF-8 script, $2 the patch to write.
build_patch() {
  local script=$1 out=$2 base=${2%.exe}
  if ((use_patchkit_build)); then
    "$patchkit" build --script "$script" --payloads "$payloads" --output "$out" \
      --arch x86_64 --kit "$kit" >"$base.build.log" 2>&1
    return
  fi
  python3 "$root/tools/script_to_cp932.py" "$script" "$base.cp932.txt" || return 1
  {
    echo '#include "program.rc"'
    echo "SCRIPT PATCH_SCR \"$base.cp932.txt\""
    local file
    for file in "$payloads"/*/*; do
      echo "$(basename "$file") $(basename "$(dirname "$file")") \"$file\""
    done
  } >"$base.rc"
  x86_64-w64-mingw32-windres -c 65001 "--include-dir=$kit" -i "$base.rc" -o "$base.res.o" \
    >"$base.build.log" 2>&1 || return 1
  # shellcheck disable=SC2046  # link.txt is a line of arguments
  (cd "$kit" && x86_64-w64-mingw32-g++-posix -o "$out" "$base.res.o" $(cat link.txt)) \
    >>"$base.build.log" 2>&1
}
patch=$work/sample_patch.exe failing_patch=$work/failing_patch.exe
how="by hand (windres and g++)"
((use_patchkit_build)) && how="with patchkit build"
for pair in "$work/script.txt:$patch" "$work/failing_script.txt:$failing_patch"; do
  out=${pair#*:}
  if build_patch "${pair%%:*}" "$out" && [[ -f $out ]]; then
    pass "built $(basename "$out") $how"
  else
    fail "building $(basename "$out") $how: $(tail -n 5 "${out%.exe}.build.log" 2>/dev/null)"
    finish
  fi
done

# ---- the references: the same patches applied natively ----
fresh_game() { "$make_game" game "$1" --exe "$game_1_0" >/dev/null; }
fresh_game "$work/reference"
fresh_game "$work/untouched"
"$patchkit" run "$patch" --record "$work/reference" --pause-ms 0 >"$logs/reference.log" 2>&1
rc=$?
if [[ $rc -eq 0 ]]; then pass "patchkit run of the sample patch"
else fail "patchkit run of the sample patch exited $rc: $(cat "$logs/reference.log")"; fi
fresh_game "$work/reference_failed"
"$patchkit" run "$failing_patch" --record "$work/reference_failed" --pause-ms 0 \
  >"$logs/reference_failed.log" 2>&1
rc=$?
if [[ $rc -eq 1 ]] && diff -r "$work/untouched" "$work/reference_failed" >/dev/null; then
  pass "patchkit run of the failing patch stops and leaves the folder as it was"
else
  fail "patchkit run of the failing patch exited $rc: $(cat "$logs/reference_failed.log")"
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
if ! env "${en_env[@]}" timeout 90 wineboot -i >"$logs/wineboot.log" 2>&1; then
  fail "wineboot -i: $(tail -n 5 "$logs/wineboot.log")"
  finish
fi
# Unmanaged windows: no window manager on the display. The dialog's font,
# MS UI Gothic, replaced by a Japanese font of the system.
cat >"$work/settings.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="$font"
EOF
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

# A shown window other than the dialog: a message box. Sets box_id.
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

# The controls of the window titled $1 into file $2.
list() { w "$list_controls" --wait 5000 "$1" >"$2" 2>/dev/null; }

# The text of control $1 in listing $2 ("" when it is missing), and its
# class.
text_of() { awk -F'\t' -v id="$1" '$1 == id { print $5; exit }' "$2"; }
class_of() { awk -F'\t' -v id="$1" '$1 == id { print $3; exit }' "$2"; }

# Shows each message box, then dismisses it with Return, until one says
# $1. Each is logged as "caption: text" to $2.
dismiss_boxes_until() {
  local final=$1 log=$2 caption listing text
  : >"$log"
  while :; do
    wait_for 60 "a message box (after: $(tr '\n' '|' <"$log"))" find_box || return 1
    caption=$(xdotool getwindowname "$box_id" 2>/dev/null)
    listing=$work/box_$(wc -l <"$log").txt
    list "$caption" "$listing"
    text=$(text_of 65535 "$listing")
    echo "$caption: $text" >>"$log"
    [[ $text == "$final" ]] && return 0
    press "$box_id" Return || { fail "could not press Return in \"$caption\""; return 1; }
    wait_for 10 "the box \"$caption\" to close" window_gone "$box_id" || return 1
  done
}

# ---- one run of a patch in the window ----
# $1 the run's name, $2 ja or en, $3 the patch, $4 the game folder, $5 the
# final message, $6 the folder it must then equal byte for byte.
run_window() {
  local tag=$1 lang=$2 exe=$3 game=$4 final=$5 expected=$6
  local out=$logs/$tag.out rc_file=$logs/$tag.rc listing=$work/controls-$tag.txt
  start_wine "$lang"

  local acp
  w "$list_controls" --acp >"$logs/$tag.acp" 2>/dev/null
  acp=$(tr -d '\r' <"$logs/$tag.acp")
  if [[ $lang == ja && $acp == "acp 932" ]] || [[ $lang == en && $acp != "acp 932" && -n $acp ]]; then
    pass "$tag: Wine's ANSI code page ($acp)"
  else
    fail "$tag: Wine's ANSI code page is \"$acp\""
  fi

  local windows_game
  windows_game="Z:${game//\//\\}"
  if ! w reg add 'HKCU\software\SampleMaker\SampleGame' /v Current /d "$windows_game" /f \
       >"$logs/$tag.reg.log" 2>&1; then
    fail "$tag: install record: $(cat "$logs/$tag.reg.log")"
    return
  fi

  # A file, not a pipe: a pipe would wait for the wineserver to end.
  (env "${locale_env[@]}" wine "$exe" >"$out" 2>&1; echo $? >"$rc_file") 9>&- &
  dialog_id=""
  wait_for 30 "the dialog \"$dialog_title\"" find_dialog || return

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
  if timeout 10 import -window "$dialog_id" "$work/dialog-$tag.png" 2>"$logs/$tag.import.log"; then
    pass "$tag: screenshot $work/dialog-$tag.png"
  else
    fail "$tag: screenshot: $(cat "$logs/$tag.import.log")"
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
  timeout 10 import -window root "$work/result-$tag.png" 2>/dev/null
  press "$box_id" Return
  wait_for 10 "the last message box to close" window_gone "$box_id" || return

  # Closing asks first.
  press "$dialog_id" alt+F4 || { fail "$tag: could not press Alt+F4"; return; }
  if dismiss_boxes_until "パッチプログラムを終了してもよろしいですか？" "$boxes.close"; then
    pass "$tag: closing asks \"$(cat "$boxes.close")\""
  else
    fail "$tag: no confirmation on closing: $(cat "$boxes.close")"
    return
  fi
  press "$box_id" Return
  if wait_for 20 "the program to end" test -s "$rc_file"; then
    local rc
    rc=$(cat "$rc_file")
    if [[ $rc == 0 ]]; then pass "$tag: the program ended with exit code 0"
    else fail "$tag: the program ended with exit code $rc: $(cat "$out")"; fi
  else
    return
  fi
  if diff -r "$expected" "$game" >"$logs/$tag.diff" 2>&1; then
    pass "$tag: the game folder equals $(basename "$expected") byte for byte"
  else
    fail "$tag: the game folder differs from $(basename "$expected"): $(head -n 5 "$logs/$tag.diff")"
  fi
}

fresh_game "$work/game-ja"
run_window ja ja "$patch" "$work/game-ja" "パッチ処理は正常に終了しました" "$work/reference"
fresh_game "$work/game-en"
run_window en en "$patch" "$work/game-en" "パッチ処理は正常に終了しました" "$work/reference"
fresh_game "$work/interrupted"
run_window interrupted en "$failing_patch" "$work/interrupted" "パッチ処理は途中で中断されました" "$work/untouched"
if grep -q 'コピー先ファイルのオープンに失敗' "$logs/interrupted.boxes" 2>/dev/null; then
  pass "interrupted: the error was shown before the end"
else
  fail "interrupted: no error box for the failing line"
fi

echo "took $((SECONDS - start_seconds))s" >&9
finish
