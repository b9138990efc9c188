#!/usr/bin/env bash
# Builds and runs the tests under the sanitizers, each in its own build folder.
#   scripts/test-sanitized.sh asan [ctest args]   whole suite, AddressSanitizer + UBSan
#   scripts/test-sanitized.sh tsan [test args]    capture, ring, wave-stream and call-audio tests, ThreadSanitizer
# Any report from our own code fails the test that provoked it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?asan or tsan}
shift
supp=$root/tests/sanitizers
jobs=${MURMURANT_JOBS:-$(nproc)}

case $kind in
  asan)
    build=${MURMURANT_BUILD_DIR:-$root/build-asan}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DMURMURANT_SANITIZE=address,undefined ${MURMURANT_CMAKE_ARGS:-} >/dev/null
    cmake --build "$build" -j"$jobs"
    # The toolkit and the libraries under it keep some allocations for the life
    # of the process; those, and only those, are suppressed.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0:strict_string_checks=0
    export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ;;
  tsan)
    build=${MURMURANT_BUILD_DIR:-$root/build-tsan}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DMURMURANT_SANITIZE=thread ${MURMURANT_CMAKE_ARGS:-} >/dev/null
    targets=(audio_ring_tests wave_stream_tests loopback_tests capture_logic_tests capture_screen_tests
             recording_capture_tests recording_controller_tests)
    cmake --build "$build" -j"$jobs" --target "${targets[@]}"
    export TSAN_OPTIONS=suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1
    # Each program runs whole, so a race between two tests' threads is seen too.
    list=""
    for t in "${targets[@]}"; do list+="$build/tests/$t $* && "; done
    exec "$root/tests/harness/with-services.sh" bash -c "${list}echo 'tsan: all passed'"
    ;;
  *) echo "usage: $0 asan|tsan [ctest args]" >&2; exit 2 ;;
esac

cd "$build"
exec "$root/tests/harness/with-services.sh" ctest --output-on-failure "$@"
