#!/usr/bin/env bash
# Loads, folds and searches generated notes folders of 10,000 and 50,000 sheets, then times
# `rg -i -F -l` on the same folders with a warm file cache. Corpora live under /tmp.
#   make bench && bench/search-vs-rg.sh [BENCH_BUILD_DIR]
set -euo pipefail
build=${1:-build/bench}
root=/tmp/qp-search-bench
here=$(cd "$(dirname "$0")" && pwd)
for count in 10000 50000; do
    folder=$root/$((count / 1000))k
    if [ ! -d "$folder" ]; then
        /usr/bin/python3 "$here/make-search-corpus.py" "$folder" "$count"
    fi
    find "$folder" -type f -exec cat {} + >/dev/null # warm the file cache
done
QUENDRIL_SEARCH_CORPUS=$root/10k:$root/50k "$build/bench/SearchBench"
for folder in $root/10k $root/50k; do
    hyperfine --warmup 1 --runs 5 -N \
        "rg -i -F -l zanzibarite $folder" \
        "rg -i -F -l coffee $folder" \
        "rg -i -F -l -e 'crème brûlée' $folder"
    hyperfine --warmup 1 --runs 5 \
        "rg -i -F -l coffee $folder | xargs -d '\n' rg -i -F -l morning"
done
