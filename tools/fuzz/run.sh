#!/usr/bin/env bash
# Coverage-guided fuzzing with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, of
# the reader (fuzz_reader) and of the numerics over what it accepts (fuzz_numerics: evaluator, cube
# writer, harmonic analysis, thermochemistry).
#
#   bash tools/fuzz/run.sh --ci [SECONDS]        each harness for SECONDS (60), failing on the first
#                                                finding (CI)
#   bash tools/fuzz/run.sh [SECONDS] [WORKERS]   long campaign of one harness (FUZZ_TARGET, default
#                                                fuzz_reader); keeps going after findings, minimises
#                                                each one and keeps it in fuzz-findings/
#
# Seeds: tools/fuzz/corpus (made by python -m tools.fuzz.make_corpus), plus the real checkpoints of
# ../shared/realchk when that directory is there. The campaign's growing corpus lives in
# build/fuzz/corpus-HARNESS and is reused by the next run.
set -euo pipefail
cd "$(dirname "$0")/../.."

mode=campaign
if [ "${1:-}" = "--ci" ]; then
  mode=ci
  shift
fi
seconds=${1:-$([ "$mode" = ci ] && echo 60 || echo 3600)}
workers=${2:-$(nproc)}
target=${FUZZ_TARGET:-fuzz_reader}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
  [ ! -d /usr/include/eigen3 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang libclang-rt-dev libeigen3-dev >/dev/null
fi
command -v ninja >/dev/null && command -v cmake >/dev/null || python3 -m pip install -q cmake ninja
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
seeds=(tools/fuzz/corpus)
if [ -d ../shared/realchk ]; then
  seeds+=(../shared/realchk)
  # Whole, once: as seeds they are cut to the fuzzer's input length.
  for harness in fuzz_reader fuzz_numerics; do
    find ../shared/realchk -name '*.chk' -print0 | xargs -0 build/fuzz/$harness >/dev/null 2>&1 ||
      { echo "a real checkpoint fails the harness; replay with build/fuzz/$harness FILE" >&2; exit 1; }
  done
fi
# A file asking for more than four times its size is refused before it allocates, so
# the RSS limit only has to cover the largest input and the sanitizers' own memory.
flags=(-dict=tools/fuzz/chk.dict -max_len=65536 -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10
  -print_final_stats=1)

if [ "$mode" = ci ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # Any crash, sanitizer report, timeout, leak or allocation past the limits stops the run
  # with a non-zero status and keeps the input in fuzz-findings/.
  mkdir -p fuzz-findings
  status=0
  for harness in fuzz_reader fuzz_numerics; do
    rm -rf "${work:?}"/* && echo "== $harness"
    # The dictionary libFuzzer recommends at the end (dozens of lines) stays out of the log's tail.
    build/fuzz/$harness "${flags[@]}" -max_total_time="$seconds" -artifact_prefix=fuzz-findings/ "$work" "${seeds[@]}" 2>&1 |
      sed '/^###### Recommended dictionary/,/^###### End of recommended dictionary/d' | tail -n 20
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  done
  exit "$status"
fi

# Long campaign: independent workers share one corpus directory (each reloads what the
# others add); a worker that stops at a finding is started again until the time is up.
mkdir -p build/fuzz/corpus-$target build/fuzz/logs-$target fuzz-findings
cp build/fuzz/$target build/fuzz/$target.campaign  # rebuilding during a campaign leaves it alone
# libFuzzer only adds to the shared corpus (every reduced input is a new file), and each
# worker runs all of it at start and rescans the directory while it goes: merge it back
# to the inputs that carry coverage first.
if [ -n "$(ls -A build/fuzz/corpus-$target)" ]; then
  rm -rf build/fuzz/corpus-$target.min && mkdir build/fuzz/corpus-$target.min
  build/fuzz/$target.campaign -merge=1 "${flags[@]}" build/fuzz/corpus-$target.min build/fuzz/corpus-$target >/dev/null 2>&1 &&
    rm -rf build/fuzz/corpus-$target && mv build/fuzz/corpus-$target.min build/fuzz/corpus-$target
fi
# The entropic schedule's per-feature bookkeeping takes about half of each run on this
# harness; once coverage is flat, the plain schedule tries nearly twice the inputs.
flags+=(-entropic=0)
# Workers pick up each other's inputs by rescanning the corpus directory, which grows by
# every reduced input; a scan each second came to a tenth of the time within the hour.
flags+=(-reload=60)
# Recording a full stack at every allocation and holding 256 MB of freed blocks cost a
# quarter of each run; a small quarantine still catches a use after free within one input,
# and a finding's full report comes from replaying it (build/fuzz/$target FILE).
export ASAN_OPTIONS=$ASAN_OPTIONS:malloc_context_size=1:quarantine_size_mb=16
end=$(($(date +%s) + seconds))
worker() {
  local log=build/fuzz/logs-$target/worker-$1.log left
  while left=$((end - $(date +%s))) && [ "$left" -gt 5 ]; do
    build/fuzz/$target.campaign "${flags[@]}" -max_total_time="$left" -artifact_prefix=fuzz-findings/ \
      build/fuzz/corpus-$target "${seeds[@]}" >>"$log" 2>&1 || echo "worker $1: finding after $(grep -c DONE "$log") runs"
  done
}
for i in $(seq "$workers"); do worker "$i" & done
wait
for found in fuzz-findings/*; do
  case "$found" in *.min | 'fuzz-findings/*') continue ;; esac
  [ -e "$found.min" ] && continue
  build/fuzz/$target.campaign -minimize_crash=1 -runs=20000 -timeout=10 -exact_artifact_path="$found.min" "$found" \
    >/dev/null 2>&1 || true
  echo "finding: $found (minimised: $found.min)"
done
# Totals over every run of every worker, this campaign and the earlier ones kept in the logs.
awk '/number_of_executed_units/ {n += $2} /DONE/ {runs++} END {printf "executions so far: %d in %d runs\n", n, runs}' \
  build/fuzz/logs-$target/*.log
grep -h "DONE" build/fuzz/logs-$target/*.log | tail -n 1
