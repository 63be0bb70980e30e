#!/bin/bash
# Runs windres with folder names it can pass on. windres hands its include
# folders and input file to the C preprocessor through the shell, escaping
# only spaces and parentheses, so a checkout path with an apostrophe breaks
# the command (and brackets become a glob). Here each include folder and the
# input's folder are reached through a link with a plain name in a private
# temporary folder. Definitions still go through that shell: keep paths out
# of those that reach resource scripts.
# Usage, as the RC compile rule: resource_compiler.sh WINDRES ARGS... INPUT OUTPUT
set -euo pipefail
windres=$1
shift
links=$(mktemp -d)
trap 'rm -rf "$links"' EXIT
count=0
# Sets "linked" to a plain-named link to FOLDER.
link_folder() {
    count=$((count + 1))
    ln -s "$(realpath -m "$1")" "$links/$count"
    linked=$links/$count
}

arguments=("$@")
last=$((${#arguments[@]} - 1))
input=${arguments[last - 1]}
link_folder "$(dirname "$input")"
arguments[last - 1]=$linked/$(basename "$input")
for ((i = 0; i < last - 1; i++)); do
    case ${arguments[i]} in
        -I)
            i=$((i + 1))
            link_folder "${arguments[i]}"
            arguments[i]=$linked
            ;;
        -I?*)
            link_folder "${arguments[i]#-I}"
            arguments[i]=-I$linked
            ;;
    esac
done
"$windres" "${arguments[@]}"
