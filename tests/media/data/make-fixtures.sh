#!/usr/bin/env bash
# Makes the small sound files the media tests play (sox and lame from Debian). The files
# are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 1 s of 440 Hz, 44.1 kHz stereo, MPEG-1 Layer III at 128 kbit/s, no Xing/Info frame.
sox -n -r 44100 -c 2 -b 16 "$tmp/a.wav" synth 1.0 sine 440 vol 0.5
lame --quiet -t -b 128 --cbr "$tmp/a.wav" tone440-44k-stereo.mp3
# 1 s of 1000 Hz, 22.05 kHz mono, MPEG-2 Layer III at 32 kbit/s.
sox -n -r 22050 -c 1 -b 16 "$tmp/b.wav" synth 1.0 sine 1000 vol 0.5
lame --quiet -t -b 32 --cbr -m m "$tmp/b.wav" tone1000-22k-mono.mp3
# A quarter second of 600 Hz as IMA ADPCM at 8 kHz mono.
sox -n -r 8000 -c 1 -e ima-adpcm "$tmp/c.wav" synth 0.25 sine 600 vol 0.5
cp "$tmp/c.wav" tone600-ima.wav
