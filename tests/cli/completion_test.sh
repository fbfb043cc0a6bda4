#!/usr/bin/env bash
# kvctl's bash completion: what it offers at each position of a command line.
# usage: completion_test.sh KVCTL COMPLETION_SCRIPT
set -u
kvctl_bin=$(realpath "$1")
script=$2
if [[ ! -r /usr/share/bash-completion/bash_completion ]]; then
    echo "bash-completion is not installed (scripts/setup installs it)"
    exit 1
fi
# The completion calls kvctl by name.
bin_dir=$(mktemp -d)
trap 'rm -rf "$bin_dir"' EXIT
ln -s "$kvctl_bin" "$bin_dir/kvctl"
export PATH="$bin_dir:$PATH"
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$script"

failures=0
# Completes a line whose cursor is at its end ("kvctl mode recall " completes an empty word).
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<< "$line"
    if [[ "$line" == *" " ]]; then
        COMP_WORDS+=("")
    fi
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _kvctl
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

# line | words that must be offered | words that must not be
cases=(
    "kvctl mode recall |M1 M2 M3 M4|micVolume recall"
    "kvctl mode |recall store factory|M1"
    "kvctl load x.amod --store-mode |M1 M4|"
    "kvctl set |micVolume outRole musicSource|on CH-L"
    "kvctl set micM|micMute|micVolume"
    "kvctl set micMute |on off yes no|micMute micVolume"
    "kvctl set outRole[2] CH-S|CH-SBL CH-SBR CH-SUB CH-SL CH-SR|CH-L outRole"
    "kvctl set musicSource |SPDIF1 Bluetooth AUX2|on musicSource"
    "kvctl set micVolume ||micVolume on"
    "kvctl get echoTime[0] |micVolume echoTime|on"
    "kvctl eq |music micA CH1 bass|PEQ"
    "kvctl eq music 1 +3dB 1k 1.4 |PEQ LP HS|music"
    "kvctl fields --values |micMute outRole|"
    "kvctl eq |import export music CH1|"
    "kvctl eq import room.txt --channel |CH1 CH8 music micA reverbB|import PEQ"
    "kvctl eq export --channel CH1 --format |apo rew|CH1"
)
for entry in "${cases[@]}"; do
    IFS='|' read -r line want avoid <<< "$entry"
    got=" $(complete_line "$line")"
    for w in $want; do
        if [[ "$got" != *" $w "* ]]; then
            echo "FAIL: '$line' does not offer $w (offers:$got)"
            failures=$((failures + 1))
        fi
    done
    for w in $avoid; do
        if [[ "$got" == *" $w "* ]]; then
            echo "FAIL: '$line' offers $w (offers:$got)"
            failures=$((failures + 1))
        fi
    done
done
if ((failures > 0)); then
    exit 1
fi
echo "all completion cases passed"
