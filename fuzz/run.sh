#!/usr/bin/env bash
# run.sh TARGET SEED-FOLDER SECONDS: fuzzes for SECONDS from a copy of the seeds. A crash, a
# sanitizer report or an input that takes longer than 10 s fails the run; libFuzzer writes the
# input that did it into the current folder.
set -euo pipefail
target=$1 seeds=$2 seconds=$3
corpus=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
cp -r "$seeds/." "$corpus/"
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 "$corpus"
