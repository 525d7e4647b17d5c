#!/usr/bin/env bash
# Builds and runs every test: the fuzz targets over their stored corpora
# (clang, build/fuzz), unit tests headless, integration tests under
# xvfb-run, then the unit and integration tests again under
# AddressSanitizer+UBSan, and the unit tests under ThreadSanitizer; the debug
# build is also packaged and the .deb checked. QV_TEST_CONFIGS limits the configurations
# (for instance QV_TEST_CONFIGS=debug).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

configs=${QV_TEST_CONFIGS:-"debug asan tsan"}
jobs=$(nproc)
status=0
failed=()
# Remembers a failed step, with the tests ctest found failing in it: the
# summary at the end names them, where a log cut to its last lines still shows it.
fail() {
  status=1
  local step=$1 list=${2:-}
  if [ -n "$list" ] && [ -s "$list" ]; then
    step+=": $(cut -d: -f2 "$list" | paste -sd' ' -)"
  fi
  failed+=("$step")
}

# The format check is part of the tests: unformatted code fails the run.
if ! scripts/format.sh --check; then
  echo "clang-format: some files are not formatted (run scripts/format.sh)"
  fail "format check"
fi

# Every fuzz target once over each input of its stored corpus (seconds): a
# crash found once by the fuzzing campaign stays fixed.
echo "=== fuzz corpora ==="
scripts/fuzz.sh --regress || fail "fuzz corpora"

for config in $configs; do
  echo "=== $config ==="
  cmake --preset "$config" >/dev/null
  cmake --build --preset "$config" -j "$jobs"
  last="build/$config/Testing/Temporary/LastTestsFailed.log"
  rm -f "$last"
  ctest --test-dir "build/$config" -L unit --output-on-failure -j "$jobs" || fail "$config unit" "$last"
  if [ "$config" = debug ] || [ "$config" = asan ]; then
    # -noreset: the server would otherwise reset whenever its last client goes
    # (between two runs of the program), refusing connections for a moment.
    # Leaks inside the system libraries under Qt are suppressed, ours are not.
    rm -f "$last"
    LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
      ctest --test-dir "build/$config" -L integration --output-on-failure || fail "$config integration" "$last"
  fi
  if [ "$config" = debug ]; then
    # The Debian package, from the debug build's program (stripped by cpack):
    # no second build; its file list and dependencies are what is checked.
    echo "=== package ==="
    rm -f build/debug/quorvane_*.deb
    (cd build/debug && cpack -G DEB >/dev/null) && scripts/check_deb.sh build/debug/quorvane_*.deb || fail "package"
  fi
done
if [ $status = 0 ]; then
  echo "=== all passed ==="
else
  echo "=== failed ==="
  printf '  %s\n' "${failed[@]}"
fi
exit $status
