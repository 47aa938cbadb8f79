#!/bin/bash
# Checks the links of the Markdown files of a source tree: every relative link
# ([text](target), ![alt](target) and the definition [label]: target) must
# lead to a file or folder that exists inside the tree. Web and mail addresses
# are not fetched, and the "#section" part of a link is left aside. Links in
# fenced code blocks and code spans are text, not links. Build folders (any
# folder holding a CMakeCache.txt) and .git are not searched.
#
#   check_links.sh ROOT
set -u
root=$(realpath "$1")

failures=0
checked=0
# Prints "LINE<tab>TARGET" for every link of one Markdown file.
extract() {
    awk '
        /^[ \t]*(```|~~~)/ { fenced = !fenced; next }
        fenced { next }
        {
            text = $0
            gsub(/`[^`]*`/, "", text)
            if (match(text, /^ ? ? ?\[[^]]+\]:[ \t]*[^ \t]+/)) {
                target = substr(text, RSTART, RLENGTH)
                sub(/^ ? ? ?\[[^]]+\]:[ \t]*/, "", target)
                print FNR "\t" target
                next
            }
            while (match(text, /\]\([^)]*\)/)) {
                print FNR "\t" substr(text, RSTART + 2, RLENGTH - 3)
                text = substr(text, RSTART + RLENGTH)
            }
        }' "$1"
}

mapfile -d '' files < <(find "$root" -type d \( -name .git -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \
                             -o -type f -name '*.md' -print0 | sort -z)
for file in "${files[@]}"; do
    folder=$(dirname "$file")
    name=${file#"$root"/}
    while IFS=$'\t' read -r line target; do
        target=${target#<}
        target=${target%>}
        target=${target%%[[:space:]]*}  # a title after the address
        case $target in
            '' | '#'* | http://* | https://* | mailto:* | ftp://*) continue ;;
        esac
        path=${target%%#*}
        path=$(printf '%b' "${path//%/\\x}")  # %20 and other escapes
        case $path in
            /*) resolved=$root$path ;;
            *) resolved=$folder/$path ;;
        esac
        resolved=$(realpath -m "$resolved")
        checked=$((checked + 1))
        if [ "$resolved" != "$root" ] && [ "${resolved#"$root"/}" = "$resolved" ]; then
            echo "FAIL: $name:$line: $target leads out of the tree"
            failures=$((failures + 1))
        elif [ ! -e "$resolved" ]; then
            echo "FAIL: $name:$line: $target does not exist"
            failures=$((failures + 1))
        fi
    done < <(extract "$file")
done

echo "$checked relative links in ${#files[@]} Markdown files"
# A tree whose Markdown files give no link at all means the search went wrong.
[ "$checked" -gt 0 ] || { echo "FAIL: no relative link found under $root"; exit 1; }
[ "$failures" = 0 ] || { echo "$failures broken link(s)"; exit 1; }
echo "every relative link leads to a file or folder"
