#!/usr/bin/env bash
# What the digests cost d88list --json: the 200 generated images of the
# collection test (random:0..199), listed at once by a d88list without
# digests (an earlier build) and by this one, each the median of 7 runs.
#
#   bench/json_digest_cost.sh OLD_D88LIST NEW_D88LIST MAKE_SAMPLE_IMAGE
set -euo pipefail
old=$1 new=$2 make=$3
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
for n in $(seq 0 199); do "$make" "$folder/random_$n.d88" "random:$n" >/dev/null; done
images=("$folder"/random_*.d88)
median_seconds() {
  local times=()
  for _ in 1 2 3 4 5 6 7; do
    local start end
    start=$(date +%s%N)
    "$1" --json "${images[@]}" >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 4p
}
"$new" --json "${images[@]}" >/dev/null  # the files into the page cache
before=$(median_seconds "$old")
after=$(median_seconds "$new")
echo "$(du -sh "$folder" | cut -f1) in ${#images[@]} images"
echo "d88list --json without digests: $before us; with them: $after us ($(( (after - before) * 100 / before ))% more)"
