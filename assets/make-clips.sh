#!/bin/bash
# Makes the sixteen spoken clips in Ses/ beside this script with espeak-ng's Turkish voice.
# A developer's tool: the build copies the committed WAVs and never runs this.
# Running it again overwrites the clips with fresh ones.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out="$here/Ses"

die() {
    echo "make-clips.sh: $*" >&2
    exit 1
}

for tool in espeak-ng sox soxi awk; do
    command -v "$tool" >/dev/null 2>&1 || die "'$tool' is missing (Debian: apt-get install espeak-ng sox)"
done
espeak-ng --voices=tr | awk 'NR > 1 && $2 == "tr" { found = 1 } END { exit !found }' ||
    die "espeak-ng has no Turkish voice"

# The announcer strings clips back to back, so each must stay short.
limit=0.9
# Tried in turn until the clip fits under the limit; 175 is espeak-ng's own rate.
speeds=(175 200 225 250 280)

names=(Saat 0 1 2 3 4 5 6 7 8 9 10 20 30 40 50)
words=(saat sıfır bir iki üç dört beş altı yedi sekiz dokuz on yirmi otuz kırk elli)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

for i in "${!names[@]}"; do
    name=${names[$i]}
    word=${words[$i]}
    made=
    for speed in "${speeds[@]}"; do
        espeak-ng -v tr -s "$speed" -w "$work/raw.wav" -- "$word" || die "espeak-ng failed on '$word'"
        # Trim the silence at both ends, soften the cut edges so they do not click, then normalise.
        # The end is trimmed and faded while the clip runs backwards: a fade-out needs a known length.
        # -R -D: no random dither, so running the script again gives the same bytes.
        sox -R -D "$work/raw.wav" -r 22050 -c 1 -b 16 -e signed-integer "$work/$name.wav" \
            silence 1 0.02 0.5% reverse silence 1 0.02 0.5% fade t 0.01 \
            reverse fade t 0.005 norm -1 || die "sox failed on '$word'"
        length=$(soxi -D "$work/$name.wav")
        if awk -v l="$length" -v m="$limit" 'BEGIN { exit !(l > 0.05 && l < m) }'; then
            made=yes
            break
        fi
    done
    [ -n "$made" ] || die "'$word' does not fit in ${limit} s even at the fastest rate (last: ${length} s)"
    mv -f "$work/$name.wav" "$out/$name.wav"
    printf '%s\t%s\t%s s (rate %s)\n' "$name.wav" "$word" "$length" "$speed"
done
