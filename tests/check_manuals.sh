#!/bin/bash
# Checks a manual page against its program: every option that `--help` lists
# is documented in the page, every option the page documents is listed by
# `--help`, every usage line of `--help` has its synopsis in the page, and the
# page renders with groff and man without a warning.
#
#   check_manuals.sh PAGE.1 [PROGRAM]
# Without PROGRAM (not built in this tree) only the rendering is checked.
set -u
page=$1
program=${2:-}
name=$(basename "$page" .1)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# --- rendering --------------------------------------------------------------
warnings=$(groff -t -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] && pass "groff -t -man -ww renders $name.1 without warnings" ||
    fail "groff warnings for $name.1: $warnings"
rendered=$(mktemp)
trap 'rm -f "$rendered"' EXIT
warnings=$(MANWIDTH=80 MAN_KEEP_STDERR=1 LC_ALL=C.UTF-8 man -l "$page" 2>&1 >"$rendered")
[ -z "$warnings" ] && pass "man -l renders $name.1 without warnings" ||
    fail "man -l warnings for $name.1: $warnings"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS FORMATS "EXIT STATUS" FILES EXAMPLES; do
    grep -qx "$section" "$rendered" || fail "$name.1 has no section $section"
done
pass "$name.1 has the sections NAME SYNOPSIS DESCRIPTION OPTIONS FORMATS EXIT STATUS FILES EXAMPLES"

if [ -z "$program" ]; then
    echo "$name is not built here: its options are not compared"
    [ $failures = 0 ] && exit 0 || exit 1
fi

# --- options: --help against the page -----------------------------------------
help=$("$program" --help 2>&1); rc=$?
[ $rc = 0 ] || fail "$name --help exits with $rc"
# Options in the help text: words starting with - or -- after a blank, "[" or "|".
help_options=$(printf '%s\n' "$help" | grep -oE '(^|[][ |])--?[a-z][a-z0-9-]*' |
               sed 's/^[][ |]*//' | sort -u)
[ -n "$help_options" ] || fail "no option found in $name --help"
for option in $help_options; do
    escaped=${option//-/\\-}
    if grep -qF -- "$escaped" "$page"; then
        pass "$name.1 documents $option"
    else
        fail "$name --help lists $option, which $name.1 does not document"
    fi
done
# Options the page documents: the tags of the OPTIONS section.
page_options=$(awk '/^\.SH /{section=$0} section==".SH OPTIONS" && tag {print $2; tag=0}
                    section==".SH OPTIONS" && /^\.TP/ {tag=1}' "$page" |
               sed 's/\\-/-/g; s/"//g' | sort -u)
for option in $page_options; do
    if printf '%s\n' "$help_options" | grep -qx -- "$option"; then
        pass "$name --help lists $option"
    else
        fail "$name.1 documents $option, which $name --help does not list"
    fi
done

# --- synopsis: each usage line of --help appears in the page's SYNOPSIS -------
synopsis=$(sed -n '/^SYNOPSIS/,/^[A-Z]/p' "$rendered" | tr -s ' ' | sed 's/^ //')
while IFS= read -r line; do
    # "usage: ferolin FILE   open the window..." -> "ferolin FILE": the words
    # up to the first that is no option, no upper-case argument and no "|".
    usage=$(printf '%s\n' "$line" | awk -v name="$name" '
        { start = ($1 == "usage:") ? 2 : 1
          if ($start != name) exit
          out = name
          for (i = start + 1; i <= NF; i++) {
              if ($i !~ /^\[?(--?[a-z][a-z-]*|[A-Z][A-Z_]*(\.\.\.)?)\]?$/ && $i != "|") break
              out = out " " $i
          }
          print out }')
    case $usage in "$name"*) ;; *) continue ;; esac
    if printf '%s\n' "$synopsis" | grep -qxF -- "$usage"; then
        pass "synopsis has: $usage"
    else
        fail "$name --help usage '$usage' is not in the synopsis of $name.1"
    fi
done <<<"$help"

# --- version -------------------------------------------------------------------
version=$("$program" --version 2>&1); rc=$?
if [ $rc = 0 ] && printf '%s' "$version" | grep -Eq '[0-9]+\.[0-9]+'; then
    pass "$name --version: $version"
else
    fail "$name --version gave status $rc and '$version'"
fi

echo
if [ $failures = 0 ]; then
    echo "$name.1 agrees with $name --help"
    exit 0
fi
echo "$failures check(s) failed for $name.1"
exit 1
