#!/usr/bin/env bash
# tallowin-cli --version, --help, and bad arguments: a one-line error naming the problem,
# the usage on standard error, exit status 2, nothing on standard output.
source "$(dirname "$0")/lib.bash"
prefix=$(new_prefix cli-usage) || exit 1
out=$prefix/out.txt err=$prefix/err.txt
keep_server "$prefix"

cli_fast "$prefix" "$out" "$err" --version; rc=$?
[ $rc -eq 0 ] || fail "--version exit $rc"
[ "$(strip_cr "$out")" = "Tallowin 2.8" ] || fail "--version printed '$(cat "$out")'"

cli_fast "$prefix" "$out" "$err" --help; rc=$?
[ $rc -eq 0 ] || fail "--help exit $rc"
grep -q "tallowin-cli scan \[--codes LIST\]" "$out" || fail "--help shows no usage"

# arguments | text the error line must contain
cases=(
  "|no command given"
  "frobnicate|frobnicate"
  "scan --codes 18|no scan category has the code 18"
  "scan --codes 1-|not a code range"
  "scan --codes 5,,6|empty item"
  "scan --codes|--codes"
  "scan --format xml|xml"
  "scan --bogus|--bogus"
  "scan extra|extra"
  "resolve|TEXT"
  "restore|FILE"
  "fix --codes 17-1|descending code range"
  "backups --folder|--folder"
  "--version scan|--version takes no command"
)
for c in "${cases[@]}"; do
  args=${c%%|*} want=${c#*|}
  # shellcheck disable=SC2086
  cli_fast "$prefix" "$out" "$err" $args; rc=$?
  note "args '$args': exit $rc, $(head -1 "$err" | tr -d '\r')"
  [ $rc -eq 2 ] || fail "'$args' exit $rc, expected 2"
  [ ! -s "$out" ] || fail "'$args' printed on standard output"
  first=$(head -1 "$err" | tr -d '\r')
  case $first in tallowin-cli:*"$want"*) ;; *) fail "'$args' error line '$first' lacks '$want'" ;; esac
  grep -q "^usage: tallowin-cli scan" "$err" || fail "'$args' shows no usage"
done
drop_prefix "$prefix"
echo PASS
