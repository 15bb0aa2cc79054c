# Sourced by test-sanitizers.sh and fuzz.sh: the one clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer that serves both. Its libraries carry libFuzzer's coverage
# instrumentation, which the unit tests run with at little cost, so that the sanitizer suite
# and the fuzz targets share every object instead of compiling the sources twice.

sanitized_build=${NORVALE_SANITIZE_BUILD_DIR:-build-sanitize}
jobs=${NORVALE_JOBS:-$(nproc)}
# CI builds from scratch, in unity units (see CMakeLists.txt); a developer's build recompiles
# only what changed.
unity=OFF
if [ "${CI:-false}" = true ]; then
    unity=ON
fi

export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Configures the build (a folder made by an older gcc configuration is reconfigured for clang).
configure_sanitized_build() {
    cmake -S . -B "$sanitized_build" -G Ninja -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DNORVALE_SANITIZE=ON \
        -DNORVALE_FUZZ=ON -DNORVALE_BUILD_TESTS=ON -DNORVALE_BUILD_BENCH=OFF \
        -DNORVALE_UNITY_BUILD="$unity" >/dev/null
}
