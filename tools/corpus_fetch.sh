#!/usr/bin/env bash
# Fetches the real-file corpus named in tools/corpus_packages.txt: downloads each Debian package
# at its pinned version with `apt-get download`, unpacks it with `dpkg -x`, and gathers its PDFs
# (gunzipping .pdf.gz) into DIR/pdf/ as PACKAGE__BASENAME.pdf (blanks in names become '_').
#
# usage: corpus_fetch.sh [DIR]     DIR defaults to $PARVEX_CORPUS_DIR, else ~/.cache/parvex-corpus
#
# A second run downloads nothing: packages already in DIR/debs are used as they are. When a
# pinned version can no longer be downloaded (the archive dropped it for a newer point release),
# the candidate version is taken instead, with a warning, so the corpus keeps working.
# Runs without a terminal, as root or as a normal user (who cannot refresh apt's lists).
# Exit status: 0 corpus ready (possibly with warnings), 3 no corpus file could be had at all,
# 1 anything else.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
list="$here/corpus_packages.txt"
dir=${1:-${PARVEX_CORPUS_DIR:-${HOME:-/tmp}/.cache/parvex-corpus}}
mkdir -p "$dir/debs" "$dir/tree" || exit 1
dir=$(cd "$dir" && pwd)
export DEBIAN_FRONTEND=noninteractive LC_ALL=C

apt_opts=(-q -o Acquire::Retries=0 -o Acquire::http::Timeout=30)
# As root apt hands the download to its sandbox user, which cannot write into a home folder.
[ "$(id -u)" -eq 0 ] && apt_opts+=(-o APT::Sandbox::User=root)

warn() { echo "corpus_fetch: warning: $*" >&2; }
updated=0
offline=0  # set once the archive cannot be reached: from then on only cached packages are used
refresh_lists() {  # once per run, and only root may
  [ "$updated" -eq 0 ] && [ "$offline" -eq 0 ] && [ "$(id -u)" -eq 0 ] || return 1
  updated=1
  echo "corpus_fetch: refreshing apt's package lists"
  apt-get update -qq </dev/null >/dev/null 2>&1
}

# deb_of NAME VERSION: the cached .deb of that version, if any (apt writes ':' as %3a).
deb_of() {
  local v=${2//:/%3a} f
  for f in "$dir/debs/${1}_${v}_"*.deb; do [ -f "$f" ] && { echo "$f"; return 0; }; done
  return 1
}

# download NAME VERSION: into DIR/debs; prints the .deb path.
download() {
  [ "$offline" -eq 0 ] || return 1
  ( cd "$dir/debs" && apt-get download "${apt_opts[@]}" "$1=$2" </dev/null ) >&2 && deb_of "$1" "$2"
}

candidate() { apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ {print $2; exit}'; }

manifest="$dir/manifest.txt.new"
: >"$manifest"
stage="$dir/pdf.new"
rm -rf "$stage"
mkdir -p "$stage"
missing=0

while read -r entry patterns; do
  case "$entry" in ''|'#'*) continue ;; esac
  name=${entry%%=*}
  version=${entry#*=}
  read -r -a globs <<<"$patterns"  # no file name expansion here: they are matched below
  deb=$(deb_of "$name" "$version") || deb=""
  if [ -z "$deb" ]; then
    echo "corpus_fetch: downloading $name=$version"
    download "$name" "$version" >/dev/null 2>"$dir/apt.log"
    deb=$(deb_of "$name" "$version") || { tail -n 1 "$dir/apt.log" >&2; deb=""; }
    if [ -z "$deb" ] && grep -qiE "temporary failure resolving|could not (connect|resolve)|network is unreachable|connection (timed out|refused)" "$dir/apt.log"; then
      offline=1
      warn "Debian's archive cannot be reached; only packages already in $dir/debs are used"
    fi
  fi
  if [ -z "$deb" ]; then
    # The pinned version is gone: take the candidate, from the cache when it is there already,
    # else after refreshing the lists (which may also bring the pinned version back).
    cand=$(candidate "$name")
    if [ -n "$cand" ] && [ "$cand" != "(none)" ] && cached=$(deb_of "$name" "$cand"); then
      deb=$cached
    elif refresh_lists; then
      deb=$(download "$name" "$version" 2>/dev/null) || deb=""
      cand=$(candidate "$name")
    fi
    if [ -z "$deb" ] && [ -n "$cand" ] && [ "$cand" != "(none)" ]; then
      deb=$(deb_of "$name" "$cand") || deb=$(download "$name" "$cand" 2>/dev/null) || deb=""
    fi
    if [ -n "$deb" ] && [ "$(basename "$deb")" != "$(basename "$(deb_of "$name" "$version" || echo none)")" ]; then
      warn "$name=$version cannot be downloaded; using the candidate version $cand instead (update tools/corpus_packages.txt)"
      version=$cand
    fi
  fi
  if [ -z "$deb" ]; then
    warn "$name: no version can be downloaded; its files are left out"
    missing=$((missing + 1))
    continue
  fi

  tree="$dir/tree/$name"
  if [ "$(cat "$tree/.from" 2>/dev/null)" != "$(basename "$deb")" ]; then
    rm -rf "$tree"
    mkdir -p "$tree"
    dpkg -x "$deb" "$tree" || { warn "$name: cannot unpack $(basename "$deb")"; rm -rf "$tree"; missing=$((missing + 1)); continue; }
    basename "$deb" >"$tree/.from"
  fi
  echo "$name=$version" >>"$manifest"

  found=0
  while IFS= read -r -d '' file; do
    base=$(basename "$file")
    base=${base%.gz}
    if [ "${#globs[@]}" -gt 0 ]; then
      hit=0
      for p in "${globs[@]}"; do
        # shellcheck disable=SC2053  # the pattern is a glob on purpose
        [[ $base == $p ]] && { hit=1; break; }
      done
      [ "$hit" -eq 1 ] || continue
    fi
    out="$stage/${name}__${base// /_}"
    tmp="$out.tmp"
    case "$file" in
      *.gz) gzip -dc "$file" >"$tmp" || { warn "cannot gunzip $file"; rm -f "$tmp"; continue; } ;;
      *) cp "$file" "$tmp" ;;
    esac
    if [ -e "$out" ]; then  # same base name twice in one package
      if cmp -s "$tmp" "$out"; then rm -f "$tmp"; continue; fi
      parent=$(basename "$(dirname "$file")")
      out="$stage/${name}__${parent// /_}_${base// /_}"
    fi
    mv "$tmp" "$out"
    found=$((found + 1))
  done < <(find "$tree" -type f \( -name '*.pdf' -o -name '*.pdf.gz' \) -print0 | sort -z)
  [ "$found" -gt 0 ] || { warn "$name: no PDF matched ${patterns:-*.pdf}"; missing=$((missing + 1)); }
done <"$list"

rm -rf "$dir/pdf"
mv "$stage" "$dir/pdf"
mv "$manifest" "$dir/manifest.txt"
count=$(find "$dir/pdf" -name '*.pdf' | wc -l)
echo "corpus_fetch: $count PDF files in $dir/pdf"
[ "$missing" -eq 0 ] || warn "$missing package(s) gave no files"
[ "$count" -gt 0 ] || exit 3
exit 0
