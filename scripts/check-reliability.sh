#!/bin/sh
# The reliability runs: the quick and the long run built in the folder $1,
# then the damaged-file, awkward-input, durability and fault runs again in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer ($2, default build-asan).
set -e
build="$1"
asan="${2:-build-asan}"
if [ $# -ge 2 ]; then shift 2; else shift $#; fi
cmake --build "$build" --target reliability_test reliability_worker ical_fuzz_test sync_fault_test tallyard-cli \
    -j "$(nproc)"
sh scripts/run-tests.sh "$build" -L reliability "$@"

cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYARD_SANITIZE=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
cmake --build "$asan" --target reliability_test reliability_worker ical_fuzz_test -j "$(nproc)"
echo "== sanitized: damaged files, awkward input, durability and the error paths of one fault sweep"
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TALLYARD_RELIABILITY_LONG=1 \
TALLYARD_RELIABILITY_WORKER="$asan/tests/reliability/reliability_worker" \
    "$asan/tests/reliability/reliability_test" \
    --gtest_filter='DamagedFile.*:BadInput.*:Changes/IoFault.*/0:Durability.*'
echo "== sanitized: 1,000 mutated iCalendar files imported"
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TALLYARD_FUZZ_COUNT=1000 TALLYARD_SOURCE_DIR="$(pwd)" \
    "$asan/tests/sync/ical_fuzz_test"
