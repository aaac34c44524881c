#!/bin/sh
# Builds the listing fuzzer with clang and runs it for the given number of
# seconds (default 60) on a copy of the seed corpus. Extra arguments go to libFuzzer.
set -eu
seconds=${1:-60}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DQBX_FUZZ=ON -DQBX_BUILD_TESTS=OFF
cmake --build "$build" --target fuzz_listing -j2

corpus="$build/corpus-listing"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$root"/fuzz/corpus/listing/* "$corpus"/
cd "$build"
exec "$build/fuzz/fuzz_listing" -max_total_time="$seconds" -timeout=10 \
     -dict="$root/fuzz/listing.dict" "$@" "$corpus"
