#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, checks the package and runs the program against real
# kernel drivers in a virtual machine (scripts/test-kernel.sh). Then it builds and runs them again with the
# sanitizers, each build in its own folder beside the normal one:
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer: every test
#   build-tsan/  ThreadSanitizer: the test programs that start threads (CTest label "threads")
# A failing test or any sanitizer report exits non-zero. VELLUMO_SANITIZERS=0 runs the normal build only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${VELLUMO_BUILD_DIR:-$root/build}"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 300)
# The Debian package, built from this build and checked as installed.
"$root/scripts/check-package.sh"
# The program against real kernel drivers in a virtual machine; skipped (with a message) where qemu cannot run.
"$root/scripts/test-kernel.sh" "$build"

if [ "${VELLUMO_SANITIZERS:-1}" = "0" ]; then
  exit 0
fi

# sanitized_build <folder> <sanitizer flags> [build arguments...]
# -O1 keeps the instrumented code quick to build and run while the reports still point at source lines.
# At -O1 under the sanitizers GCC 12 reports "may be used uninitialized" inside libstdc++'s <regex> wherever
# it is inlined; the normal build, optimised further, keeps that warning for our own code.
source "$root/scripts/compiler-cache.sh"
sanitized_build() {
  local folder=$1 flags="-O1 -fno-omit-frame-pointer -Wno-maybe-uninitialized $2"
  shift 2
  echo "test: building $folder"
  cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${compiler_cache[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
  cmake --build "$folder" -j "$jobs" "$@"
}

# UBSan halts on its first report (no recovery), so a report fails the test. GCC leaves float-to-integer
# overflow out of "undefined"; it is named on its own.
sanitized_build "$build-asan" "-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all"
(cd "$build-asan" &&
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp" \
    ctest --output-on-failure -j "$jobs" --timeout 600)

sanitized_build "$build-tsan" "-fsanitize=thread" --target vellumo_thread_tests
# GLib, GStreamer and Qt are not built for the sanitizer; the file names what of theirs it cannot follow.
(cd "$build-tsan" &&
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/support/tsan.supp" \
    ctest --output-on-failure -j "$jobs" --timeout 600 -L threads)
