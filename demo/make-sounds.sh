#!/bin/sh
# Regenerates the demo show's sounds (sox and lame): a short plucked tune as MP3 music and
# a chime as a wave sound. The results are committed; run this only to change them.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Eight notes of a C major arpeggio, plucked, twice: 8 s, 44.1 kHz stereo, 64 kbit/s.
i=0
for note in C4 E4 G4 C5 E5 C5 G4 E4 C4 E4 G4 C5 G4 E4 D4 C4; do
  i=$((i + 1))
  sox -n -r 44100 -c 2 -b 16 "$tmp/n$(printf %02d $i).wav" \
    synth 0.5 pluck "$note" fade 0 0.5 0.1 vol 0.6
done
sox "$tmp"/n*.wav "$tmp/tune.wav"
lame --quiet -b 64 --cbr --resample 44.1 "$tmp/tune.wav" music.mp3

# A two-tone chime, 0.8 s, 8-bit mono 11025 Hz.
sox -n -r 11025 -c 1 -b 8 -e unsigned chime.wav \
  synth 0.8 sine 880 sine 1320 remix - fade 0 0.8 0.6 vol 0.7
