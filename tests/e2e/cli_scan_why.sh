#!/usr/bin/env bash
# scan --why in a 64-bit prefix seeded with stale entries of every category
# (tests/data/categories): the rows are those of the scan without --why, each with a
# "why" that names what is missing in its row (the path or one of its top folders, the
# key, the class or AppID it points to); text rows get an indented second line.
source "$(dirname "$0")/lib.bash"
source "$(dirname "$0")/categories.bash"
prefix=$(new_prefix cli-scan-why) || exit 1
w=$prefix/work; mkdir -p "$w"
keep_server "$prefix"
cat_seed "$prefix"

codes=$(IFS=,; echo "${CAT_CODES[*]}")
for why in "" --why; do
  # shellcheck disable=SC2086
  cli_fast "$prefix" "$w/scan$why.json" "$w/scan$why.err" scan --codes "$codes" --format json \
    --no-filter --wow64 check $why
  rc=$?; [ $rc -eq 0 ] || fail "scan $why: exit $rc ($(cat "$w/scan$why.err"))"
done
[ -s "$w/scan.json" ] || fail "the scan found nothing"
jq -c 'del(.why)' "$w/scan--why.json" > "$w/rows-why.json"
jq -c . "$w/scan.json" > "$w/rows.json"
diff -u "$w/rows.json" "$w/rows-why.json" > "$w/rows.diff" || fail "--why changed the rows: $(head -20 "$w/rows.diff")"

# Every row: a reason of its own, not the general one, and nothing mended since the scan.
jq -r 'select((.why // "") == "" or (.why | startswith("Listed by the scan"))
              or (.why | contains("No longer broken")))
       | [.problem, .data, .key, (.why // "")] | join(" | ")' "$w/scan--why.json" > "$w/bad.txt"
[ ! -s "$w/bad.txt" ] || fail "rows without a reason of their own: $(head -5 "$w/bad.txt")"

# Every seeded row names its Data (whole, the record after " - ", or the path's top
# folder) or the value or key it is about.
jq -r 'select((.data + .key) | test("tallowincat|[{]7a11"; "i"))
       | .why as $why | .data as $data
       | ($data | ltrimstr("\"") | sub("^UEME_[A-Z]+:"; "") | split("\\") | .[1] // "") as $top
       | ($data | split(" - ") | last) as $record
       | (.key | split("\\") | last) as $name
       | select(($why | contains($data)) or ($why | contains($record)) or ($why | contains($name))
                or (($top | length) > 3 and ($why | ascii_downcase | contains($top | ascii_downcase))) | not)
       | [.problem, .data, .key, .why] | join(" | ")' "$w/scan--why.json" > "$w/unnamed.txt"
[ ! -s "$w/unnamed.txt" ] || fail "reasons that name nothing of their row: $(head -5 "$w/unnamed.txt")"
seeded=$(jq -r 'select((.data + .key) | test("tallowincat|[{]7a11"; "i")) | .problem' "$w/scan--why.json" | sort -u | wc -l)
[ "$seeded" -ge 15 ] || fail "only $seeded problem texts among the seeded rows"

# Text: each row, then its reason on an indented line.
cli_fast "$prefix" "$w/text.txt" "$w/text.err" scan --codes 16 --no-filter --wow64 check
cli_fast "$prefix" "$w/text-why.txt" "$w/text-why.err" scan --codes 16 --no-filter --wow64 check --why
strip_cr "$w/text.txt" > "$w/text.rows"
strip_cr "$w/text-why.txt" > "$w/text-why.lines"
[ -s "$w/text.rows" ] || fail "code 16 found nothing"
awk 'NR % 2 == 1' "$w/text-why.lines" | diff -q - "$w/text.rows" > /dev/null || fail "text rows differ with --why"
awk 'NR % 2 == 0 && !/^    why: ./' "$w/text-why.lines" > "$w/text-bad.txt"
[ ! -s "$w/text-bad.txt" ] || fail "lines that are no reason: $(head -3 "$w/text-bad.txt")"
[ "$(wc -l < "$w/text-why.lines")" -eq $((2 * $(wc -l < "$w/text.rows"))) ] || fail "not one reason per row"
note "$(wc -l < "$w/scan--why.json") rows, $seeded problem texts among the seeded ones, each with its reason"

drop_prefix "$prefix"
echo PASS
