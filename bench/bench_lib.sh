# Shared by the whole-file benchmark scripts (sourced, with $work set to a scratch folder).

# measure LOG COMMAND...: runs the command under /usr/bin/time and appends "seconds kilobytes"
# to LOG. A command that fails is reported and fails the measure, unless MEASURE_ANY_STATUS is
# set (peers such as qpdf --check exit non-zero on the warnings they print).
measure() {
  local log=$1
  shift
  if ! /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>&1 && [ -z "${MEASURE_ANY_STATUS:-}" ]; then
    echo "failed: $*" >&2
    return 1
  fi
  tail -n 1 "$work/t" >>"$log"  # a failing command's status line comes first
}

# median LOG COLUMN: the median of a column of a measure log (1 seconds, 2 kilobytes).
median() { sort -n -k"$2" "$1" | awk -v c="$2" '{v[NR]=$c} END {print v[int((NR+1)/2)]}'; }
