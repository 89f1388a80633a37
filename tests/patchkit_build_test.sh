#!/usr/bin/env bash
# patchkit build, end to end: the sample patch built for both arches and
# applied by patchkit run; the script's encodings; the kit's places; and
# every refusal (exit 2, its message, no output file, no file left behind).
set -u
patchkit=$1 make_game=$2 standin_kits=$3 source=$4 script=$5 sample=$6 game_exe=$7 patched_exe=$8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The real kit of the cross build where it has been built, else the stand-in.
kit_for() {
  local real=$source/build/$1/kit
  if [[ -f $real/link.txt && -f $real/program.rc && -f $real/libpatch_program.a ]]; then
    echo "$real"
  else
    echo "$standin_kits/$1/kit"
  fi
}
standin=$standin_kits/i686/kit

# The sample patch's payloads, and one whose type the stand-in kit's
# program.rc defines as a macro (it must stay a type of that name).
payloads=$work/payloads
mkdir -p "$payloads/KITMACRO"
cp -r "$sample/payloads/PATCH_SCR" "$payloads/"
printf 'not named by the script' >"$payloads/KITMACRO/EXTRA"

# Builds, then applies the patch to a fresh game: finished, then nothing
# to do. $1 arch, $2 script, $3 the caption the run must show.
build_and_run() {
  local arch=$1 script=$2 caption=$3 out=$work/patch_$1.exe game=$work/game_$1 log rc
  rm -rf "$game" "$out"
  log=$("$patchkit" build --script "$script" --payloads "$payloads" --output "$out" \
          --arch "$arch" --kit "$(kit_for "$arch")" 2>&1); rc=$?
  [[ $rc -eq 0 ]] || fail "$arch build exited $rc: $log"
  grep -q "^built $out: $arch, [0-9]* bytes, 5 payloads\$" <<<"$log" || fail "summary: $log"
  [[ $(ls -A "$work" | grep -c '^\.patch') -eq 0 ]] || fail "temporary output left"
  "$make_game" game "$game" --exe "$game_exe" || fail "make_sample_game"
  log=$("$patchkit" run "$out" --record "$game" --pause-ms 0 2>&1); rc=$?
  [[ $rc -eq 0 ]] || fail "$arch run exited $rc: $log"
  grep -qF "caption: $caption" <<<"$log" || fail "$arch caption: $log"
  cmp -s "$game/game.exe" "$patched_exe" || fail "$arch: game.exe was not replaced"
  log=$("$patchkit" run "$out" --record "$game" --pause-ms 0 2>&1); rc=$?
  [[ $rc -eq 3 ]] || fail "$arch second run exited $rc: $log"
}

echo "kits: $(kit_for i686) $(kit_for x86_64)"
start=$(date +%s)
build_and_run i686 "$script" "SamplePatch(Ver.1.1)"
build_and_run x86_64 "$script" "SamplePatch(Ver.1.1)"
echo "two builds and four runs: $(($(date +%s) - start)) s"

# The script's encodings: a Japanese title in UTF-8 with LF, and the same
# script as CP932 with CR LF, give the same caption.
sed 's/^title SamplePatch/title サンプル/' "$script" >"$work/utf8.txt"
python3 "$source/tools/script_to_cp932.py" "$work/utf8.txt" "$work/cp932.txt"
build_and_run i686 "$work/utf8.txt" "サンプル(Ver.1.1)"
build_and_run i686 "$work/cp932.txt" "サンプル(Ver.1.1)"

# A last line without a line end is built, with a warning.
printf 'title A\ncopy game.exe EXE PATCH_SCR 1.1.0.2' >"$work/noeol.txt"
log=$("$patchkit" build --script "$work/noeol.txt" --payloads "$payloads" \
        --output "$work/noeol.exe" --kit "$standin" 2>&1) || fail "no-line-end build: $log"
grep -q 'warning: .*line 2.*no line end' <<<"$log" || fail "no warning: $log"

# The kit from the environment, then a default-less missing one.
log=$(PATCHKIT_KIT_X86_64=$standin_kits/x86_64/kit "$patchkit" build --script "$script" \
        --payloads "$payloads" --output "$work/env.exe" --arch x86_64 2>&1) ||
  fail "kit from PATCHKIT_KIT_X86_64: $log"

# A failed build leaves an earlier OUT.exe as it was, and no other file.
mkdir -p "$work/keep"
"$patchkit" build --script "$script" --payloads "$payloads" --output "$work/keep/p.exe" \
  --kit "$standin" >/dev/null || fail "first build into keep/"
cp "$work/keep/p.exe" "$work/p.before"
cp -r "$standin" "$work/badlink"
echo "libpatch_program.a -lno_such_library" >"$work/badlink/link.txt"
"$patchkit" build --script "$script" --payloads "$payloads" --output "$work/keep/p.exe" \
  --kit "$work/badlink" >/dev/null 2>&1 && fail "a failing link succeeded"
cmp -s "$work/keep/p.exe" "$work/p.before" || fail "a failed build changed OUT.exe"
[[ $(ls -A "$work/keep") == p.exe ]] || fail "a failed build left: $(ls -A "$work/keep")"

# The refusals.
mkdir -p "$work/empty" "$work/nokit" "$work/nobin" "$work/out" "$work/tmp"
printf '' >"$work/empty.txt"
printf 'title \xf0\x9f\x98\x80\n' >"$work/emoji.txt"
cp -r "$standin" "$work/badrc"
echo "THIS IS NOT A RESOURCE {" >>"$work/badrc/program.rc"
bad_payloads() {  # a copy of the payloads with one more file: $1
  rm -rf "$work/bad"
  cp -r "$payloads" "$work/bad"
  mkdir -p "$(dirname "$work/bad/$1")"
  echo x >"$work/bad/$1"
}
expect_error() {  # $1 a piece of the message; the rest: arguments after `build`
  local message=$1 log rc
  shift
  log=$(env TMPDIR="$work/tmp" "${env_vars[@]}" "$patchkit" build --output "$work/out/p.exe" \
          "$@" 2>&1); rc=$?
  [[ $rc -eq 2 ]] || fail "exit $rc, not 2, for $*: $log"
  grep -qF -- "$message" <<<"$log" || fail "no '$message' for $*: $log"
  [[ -z $(ls -A "$work/out") ]] || fail "$* left $(ls -A "$work/out")"
  [[ -z $(ls -A "$work/tmp") ]] || fail "$* left its temporary folder"
}
ok=(--script "$script" --payloads "$payloads" --kit "$standin")
env_vars=(PATCHKIT_UNUSED=1)
expect_error "no --script given" --payloads "$payloads" --kit "$standin"
expect_error "unknown --arch" "${ok[@]}" --arch arm64
expect_error "does not exist" --script "$work/none.txt" --payloads "$payloads" --kit "$standin"
expect_error "is a folder" --script "$work/empty" --payloads "$payloads" --kit "$standin"
expect_error "script is empty" --script "$work/empty.txt" --payloads "$payloads" --kit "$standin"
expect_error "CP932 lacks" --script "$work/emoji.txt" --payloads "$payloads" --kit "$standin"
expect_error "payload folder $work/none does not exist" \
  --script "$script" --payloads "$work/none" --kit "$standin"
expect_error "holds no payload" --script "$script" --payloads "$work/empty" --kit "$standin"
bad_payloads PATCH_SCR/ENTRY_A.prs
expect_error "payload name ENTRY_A.prs" --script "$script" --payloads "$work/bad" --kit "$standin"
bad_payloads RCDATA/ENTRY_B
expect_error "payload type RCDATA" --script "$script" --payloads "$work/bad" --kit "$standin"
bad_payloads PATCH_SCR/entry_a
expect_error "letter case" --script "$script" --payloads "$work/bad" --kit "$standin"
bad_payloads patch_scr/Script
expect_error "the script's place" --script "$script" --payloads "$work/bad" --kit "$standin"
expect_error "./dev build x86_64" --script "$script" --payloads "$payloads" --arch x86_64 \
  --kit "$work/nokit"
env_vars=(PATCHKIT_KIT_I686="$work/nokit")
expect_error "./dev build i686" --script "$script" --payloads "$payloads"
env_vars=(PATH="$work/nobin")
expect_error "i686-w64-mingw32-windres is not on PATH" "${ok[@]}"
env_vars=(PATCHKIT_UNUSED=1)
expect_error "syntax error" --script "$script" --payloads "$payloads" --kit "$work/badrc"
expect_error "no_such_library" --script "$script" --payloads "$payloads" --kit "$work/badlink"
log=$("$patchkit" build "${ok[@]}" --output "$work/none/p.exe" 2>&1)
[[ $? -eq 2 && $log == *"does not exist"* ]] || fail "output folder missing: $log"

"$patchkit" build --help | grep -q 'Exit codes' || fail "--help"
"$patchkit" --help | grep -q '  build --script' || fail "patchkit --help lacks build"
exit 0
