#!/usr/bin/env bash
# patchkit run over the sample patch, end to end: exit codes and the files
# the sample run deletes and keeps.
set -u
patchkit=$1 make_game=$2 patch=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$make_game" "$work/game" >/dev/null || fail "make_sample_game"

out=$("$patchkit" run "$patch" --record "$work/game" --pause-ms 0 2>&1); rc=$?
[[ $rc -eq 0 ]] || fail "finished run exited $rc: $out"
grep -q '^caption: SamplePatch(Ver.1.1)$' <<<"$out" || fail "caption missing: $out"
grep -q "^game folder: $work/game\$" <<<"$out" || fail "folder missing: $out"
grep -q '^\[処理結果\] パッチ処理は正常に終了しました$' <<<"$out" || fail "end message: $out"
for gone in game.bak arc/data_ARC.bak ソフト.bak; do
  [[ ! -e $work/game/$gone ]] || fail "$gone was not deleted"
done
for kept in game.exe arc/data.arc saves/slot1.bak readme.bak.txt arc/old.bak; do
  [[ -e $work/game/$kept ]] || fail "$kept was deleted"
done

out=$("$patchkit" run "$patch" --pause-ms 0 2>&1); rc=$?
[[ $rc -eq 2 ]] || fail "run without a folder exited $rc"
grep -q '^\[注意\] ゲームがインストールされていません。$' <<<"$out" || fail "warning: $out"
grep -q '^\[エラー\] インストールフォルダーが指定されていません$' <<<"$out" || fail "refusal: $out"

"$patchkit" run "$patch" --game "$work/game" --pause-ms 0 >/dev/null 2>&1; rc=$?
[[ $rc -eq 0 ]] || fail "--game run exited $rc"

# Ctrl-C is the abort button: the run stops after the current command and
# nothing is cleaned up.
"$make_game" "$work/game2" >/dev/null || fail "make_sample_game"
"$patchkit" run "$patch" --record "$work/game2" --pause-ms 1500 >"$work/abort.log" 2>&1 &
pid=$!
sleep 0.5
kill -INT "$pid"
wait "$pid"; rc=$?
[[ $rc -eq 1 ]] || fail "aborted run exited $rc: $(cat "$work/abort.log")"
grep -q '^\[処理結果\] パッチ処理は途中で中断されました$' "$work/abort.log" || fail "abort message"
[[ -e $work/game2/game.bak ]] || fail "an aborted run deleted backups"

"$patchkit" run "$work/game/readme.txt" >/dev/null 2>&1; rc=$?
[[ $rc -eq 2 ]] || fail "non-PE file exited $rc"
"$patchkit" run "$work/missing.exe" >/dev/null 2>&1; rc=$?
[[ $rc -eq 2 ]] || fail "missing file exited $rc"
"$patchkit" run --help | grep -q 'Exit codes' || fail "--help"
