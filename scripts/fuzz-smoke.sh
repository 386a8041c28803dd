#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a fixed time on
# its seed corpus (fuzz/corpus/<target>); new inputs go to a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
cmake --preset fuzz >/dev/null
targets=(fuzz_dico_loader fuzz_dico_open fuzz_containers fuzz_translation fuzz_rtf_text fuzz_bmp_image fuzz_formula
         fuzz_legacy_reader fuzz_record_values fuzz_ddf_values fuzz_ddf_rows)
cmake --build --preset fuzz --target "${targets[@]}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds+=("fuzz/corpus/$target")
  echo "fuzzing $target for ${seconds}s"
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=262144 \
    -print_final_stats=1 "$scratch/$target" "${seeds[@]}" 2>&1 | tail -n 4
done
echo "fuzz smoke runs passed"
