#!/usr/bin/env bash
# Instructions each RTF document takes to read, for two builds of bench_rtf:
# unlike read times, they hardly change with the load on the machine, so
# two builds can be compared on a busy one. Counted by valgrind's callgrind
# inside talvence::load_text_file, 5 reads of each document.
#
#   bench/rtf_instructions.sh BASE_BENCH_RTF NEW_BENCH_RTF OUT_DIR [FILE...]
#       (default: the corpus in ../shared/rtfcheck/corpus)
#
# Writes OUT_DIR/ratios.tsv (new/base, base, new, document), the worst
# first, and prints how many documents take more than 1.1x. A document
# read in more than one part of 25 ms under valgrind (a long one) counts the
# ends of its parts too, which a read at full speed has fewer of.
set -euo pipefail
base=$1 new=$2 out=$3
shift 3
files=("$@")
[ ${#files[@]} -gt 0 ] || files=("$(dirname "$0")"/../../shared/rtfcheck/corpus/*.rtf)
mkdir -p "$out"
count() { # BENCH FILE
    local cg
    cg=$(mktemp "$out/cg.XXXXXX")
    QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --callgrind-out-file="$cg" \
        --toggle-collect='talvence::load_text_file*' "$1" -r 5 "$2" >/dev/null 2>&1
    awk '/^summary:/ { print $2; exit }' "$cg"
    rm -f "$cg"
}
: >"$out/counts.tsv"
for f in "${files[@]}"; do
    printf '%s\t%s\t%s\n' "$(count "$base" "$f")" "$(count "$new" "$f")" "$(basename "$f" .rtf)" \
        >>"$out/counts.tsv"
done
awk -F'\t' '$1 > 0 { printf "%.3f\t%s\t%s\t%s\n", $2 / $1, $1, $2, $3 }' "$out/counts.tsv" |
    sort -rn >"$out/ratios.tsv"
awk -F'\t' '{ n++; if ($1 > 1.1) over++; b += $2; w += $3 }
    END { printf "%d documents, %d over 1.1x; all together %.2fx\n", n, over, w / b }' "$out/ratios.tsv"
