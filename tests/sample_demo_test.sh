#!/usr/bin/env bash
# patchkit run over the sample patch, end to end: exit codes, what a
# finished run leaves, and that an interrupted run leaves nothing changed.
set -u
patchkit=$1 make_game=$2 patch=$3 game_exe=$4
patched_exe="$(dirname "$game_exe")/sample_game_1_1.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
fresh() { "$make_game" game "$1" --exe "$game_exe" || fail "make_sample_game"; }

fresh "$work/game"
cp -a "$work/game" "$work/before"

out=$("$patchkit" run "$patch" --record "$work/game" --pause-ms 0 2>&1); rc=$?
[[ $rc -eq 0 ]] || fail "finished run exited $rc: $out"
grep -q '^caption: SamplePatch(Ver.1.1)$' <<<"$out" || fail "caption missing: $out"
grep -q "^game folder: $work/game\$" <<<"$out" || fail "folder missing: $out"
grep -q '^\[処理結果\] パッチ処理は正常に終了しました$' <<<"$out" || fail "end message: $out"
cmp -s "$work/game/game.exe" "$patched_exe" || fail "game.exe was not replaced"
[[ $(head -c 4 "$work/game/arc/data.arc") == WF02 ]] || fail "data.arc not stamped WF02"
[[ -z $(find "$work/game" -maxdepth 2 -name '*.bak' ! -path '*/saves/*') ]] || fail "backups left"
for kept in saves/slot1.bak readme.bak.txt readme.txt; do
  cmp -s "$work/game/$kept" "$work/before/$kept" || fail "$kept changed"
done

out=$("$patchkit" run "$patch" --record "$work/game" --pause-ms 0 2>&1); rc=$?
[[ $rc -eq 3 ]] || fail "second run exited $rc: $out"
grep -q '^\[処理結果\] すでに最新バージョンの為、パッチ処理は実行されせんでした$' <<<"$out" ||
  fail "nothing-to-do message: $out"

out=$("$patchkit" run "$patch" --pause-ms 0 2>&1); rc=$?
[[ $rc -eq 2 ]] || fail "run without a folder exited $rc"
grep -q '^\[注意\] ゲームがインストールされていません。$' <<<"$out" || fail "warning: $out"
grep -q '^\[エラー\] インストールフォルダーが指定されていません$' <<<"$out" || fail "refusal: $out"

fresh "$work/game2"
"$patchkit" run "$patch" --game "$work/game2" --pause-ms 0 >/dev/null 2>&1; rc=$?
[[ $rc -eq 0 ]] || fail "--game run exited $rc"
diff -r "$work/game" "$work/game2" >/dev/null || fail "--game run differs from --record run"

# Ctrl-C is the abort button: the run stops after the current command and
# every file is put back as it was.
fresh "$work/game3"
"$patchkit" run "$patch" --record "$work/game3" --pause-ms 700 >"$work/abort.log" 2>&1 &
pid=$!
sleep 1.5
kill -INT "$pid"
wait "$pid"; rc=$?
[[ $rc -eq 1 ]] || fail "aborted run exited $rc: $(cat "$work/abort.log")"
grep -q '^\[処理結果\] パッチ処理は途中で中断されました$' "$work/abort.log" || fail "abort message"
diff -r "$work/before" "$work/game3" || fail "an aborted run left changes"

"$patchkit" run "$work/game/readme.txt" >/dev/null 2>&1; rc=$?
[[ $rc -eq 2 ]] || fail "non-PE file exited $rc"
"$patchkit" run "$work/missing.exe" >/dev/null 2>&1; rc=$?
[[ $rc -eq 2 ]] || fail "missing file exited $rc"
"$patchkit" run --help | grep -q 'Exit codes' || fail "--help"
exit 0
