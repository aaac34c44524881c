#!/bin/sh
# Builds the fuzz targets with clang and runs each on a copy of its seed corpus:
# the listing parser, the upload-answer reader and the TIFF reader with the PDF
# writer, sharing the given number of seconds (default 60) in three. Extra arguments
# go to libFuzzer.
#
# The mutations follow a fixed seed (QBX_FUZZ_SEED, default 1), so a run on another
# machine walks the same inputs and the test command's verdict does not hang on chance;
# QBX_FUZZ_SEED=0 lets libFuzzer pick one, for a hunt of its own.
set -eu
seconds=${1:-60}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DQBX_FUZZ=ON -DQBX_BUILD_TESTS=OFF
cmake --build "$build" --target fuzz_listing fuzz_upload fuzz_tiff -j2

each=$(( seconds / 3 ))
[ "$each" -gt 0 ] || each=1
status=0
for target in listing upload tiff; do
    corpus="$build/corpus-$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp "$root"/fuzz/corpus/$target/* "$corpus"/
    echo "=== fuzz_$target for ${each}s"
    (cd "$build" && "$build/fuzz/fuzz_$target" -max_total_time="$each" -timeout=10 -seed="${QBX_FUZZ_SEED:-1}" \
        $( [ -f "$root/fuzz/$target.dict" ] && echo "-dict=$root/fuzz/$target.dict" ) "$@" "$corpus") || status=1
done
exit $status
