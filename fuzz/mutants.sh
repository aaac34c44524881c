#!/usr/bin/env bash
# Plants known faults in the readers of printer input, one at a time, and shows that
# the fuzz targets (and the unit tests) find each. Not part of CI: it takes about
# a minute of fuzzing per fault on one core.
#
#   fuzz/mutants.sh [SECONDS]     (fuzzing time per fault, default 60)
#
# Works on a copy of the tree in build-mutants/ (the checkout is never changed).
# For each fault: patch the copy, build the fuzz target (clang, libFuzzer) and the
# unit tests of that reader, run the unit tests, then fuzz from the seed corpus for
# at most SECONDS. Prints one table row per fault; exits 1 when a fault survived.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build-mutants"
tree="$work/tree"
mkdir -p "$work"
rm -rf "$tree"
mkdir -p "$tree"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$tree")

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$tree" -B "$tree/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DQBX_FUZZ=ON -DQBX_BUILD_TESTS=OFF "${launcher[@]}" >"$work/configure-fuzz.log"
cmake -S "$tree" -B "$tree/build" -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" >"$work/configure-tests.log"

plant() {  # file, exact text, replacement: fails when the text is not there exactly once
  python3 - "$tree/$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2], sys.argv[3].replace('\\n', '\n')
text = open(path).read()
if text.count(old) != 1:
    sys.exit(f"mutants.sh: the text to change is not in {path} exactly once: {old!r}")
open(path, 'w').write(text.replace(old, new))
PY
}

survived=0
# mutant NAME FILE EXACT-TEXT REPLACEMENT FUZZ-TARGET UNIT-TEST-TARGET GTEST-FILTER
mutant() {
  local name=$1 file=$2 old=$3 new=$4 target=$5 unit=$6 filter=$7
  cp "$root/$file" "$tree/$file.orig"
  plant "$file" "$old" "$new"
  local log="$work/$(echo "$name" | tr -c 'A-Za-z0-9\n' '-').log"
  cmake --build "$tree/build-fuzz" --target "fuzz_$target" -j2 >"$log" 2>&1
  cmake --build "$tree/build" --target "$unit" -j2 >>"$log" 2>&1
  local unitResult="pass (missed)"
  if ! "$tree/build/tests/${unit#test_}/$unit" --gtest_filter="$filter" >>"$log" 2>&1; then
    unitResult="fail (found)"
  fi
  local corpus="$work/corpus-$target"
  rm -rf "$corpus" "$work/crash-"* "$work/timeout-"* "$work/oom-"*
  mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  local start fuzzResult="missed" after="-"
  start=$(date +%s)
  if ! (cd "$work" && "$tree/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
          -dict="$root/fuzz/$target.dict" -artifact_prefix="$work/" "$corpus" >>"$log" 2>&1); then
    fuzzResult="found"
    after="$(( $(date +%s) - start )) s"
  fi
  if [ "$fuzzResult" = missed ] && [ "$unitResult" = "pass (missed)" ]; then survived=1; fi
  printf '| %s | %s | %s | %s |\n' "$name" "$unitResult" "$fuzzResult" "$after"
  mv "$tree/$file.orig" "$tree/$file"
}

# The planted faults, one row of seven fields each: what the fault is, the file, the
# exact text to change (it must be there exactly once), its replacement (\n: a new
# line), the fuzz target, the unit-test target and the unit tests' filter.
faults=(
  "SIZE=+100 accepted" src/retrieval/UploadAnswer.cpp
  "        if (c < '0' || c > '9') return false;"
  "        if (c == '+') continue;\n        if (c < '0' || c > '9') return false;"
  upload test_pure 'UploadAnswer.*'

  "SIZE= taken from inside the quoted name" src/retrieval/UploadAnswer.cpp
  "            if (line[i] == '\"') quoted = !quoted;"
  "            (void)quoted;"
  upload test_pure 'UploadAnswer.*'

  "size capped at 32 bits" src/retrieval/UploadAnswer.cpp
  "        v = v * 10 + static_cast<std::uint64_t>(c - '0');"
  "        v = static_cast<std::uint32_t>(v * 10 + static_cast<std::uint64_t>(c - '0'));"
  upload test_pure 'UploadAnswer.*'

  "header line end taken one byte late" src/retrieval/UploadAnswer.cpp
  "        used = GatherHeader(bytes, n);"
  "        used = GatherHeader(bytes, n);\n        if (m_headerDone && used < n) ++used;"
  upload test_pure 'UploadAnswer.*'

  "a record's size read from the wrong field (after the line's last TAB)" src/directory/DirTable.cpp
  "            CopyField(e.size, sizeof e.size, e.path + tab + 1, static_cast<size_t>(len - (tab + 1)));"
  "            int last = len - 1;\n            while (e.path[last] != TAB) --last;\n            CopyField(e.size, sizeof e.size, e.path + last + 1, static_cast<size_t>(len - (last + 1)));"
  listing test_directory '*'

  "a longer user ID that starts with the asked one accepted" src/directory/DirTable.cpp
  "    if (idEnd - idStart != idLen ||"
  "    if (idEnd - idStart < idLen ||"
  listing test_directory '*'

  "a quote kept in a listed path" src/directory/DirTable.cpp
  "        if (u < 0x20 || u == 0x7F || line[i] == '\"') return false;"
  "        if (u < 0x20 || u == 0x7F) return false;"
  listing test_directory '*'

  "two records of a batch given one local name" src/retrieval/DestPath.cpp
  "        if (given.insert(nameKey(files[i].path)).second) continue;"
  "        given.insert(nameKey(files[i].path));\n        continue;"
  listing test_pure 'DestPath*:*Batch*'
)

printf '| Fault | Unit tests | Fuzz target | Found after |\n| --- | --- | --- | --- |\n'
for ((i = 0; i < ${#faults[@]}; i += 7)); do
  mutant "${faults[@]:i:7}"
done
exit $survived
