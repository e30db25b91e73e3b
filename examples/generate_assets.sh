#!/usr/bin/env bash
# Makes the example demo's generated assets in OUT (default: ./generated): the music (84 s at
# 120 bpm, Ogg Vorbis), two samples, an image (the music's own spectrogram) and a copy of the
# font. Everything comes from sox and a Debian font; nothing is downloaded.
set -euo pipefail
# Repeatable: noise and dither from a fixed seed, so the same script makes the same files.
sox() { command sox -R "$@"; }
OUT=${1:-generated}
mkdir -p "$OUT/resources" "$OUT/sounds" "$OUT/images"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
R=44100
S="-r $R -c 2 -b 16"

# ---------------------------------------------------------------------------------------------
# Drums: a kick on every beat, a hat on every off-beat; one beat lasts half a second.
# ---------------------------------------------------------------------------------------------
sox -n $S "$WORK/kick.wav" synth 0.22 sine 160-38 fade 0 0.22 0.18 vol 0.95
sox -n $S "$WORK/hat.wav" synth 0.04 whitenoise vol 0.5 highpass 7000 fade 0 0.04 0.035 vol 0.5
sox "$WORK/kick.wav" "$WORK/kick_beat.wav" pad 0 0.28
sox "$WORK/hat.wav" "$WORK/hat_beat.wav" pad 0.25 0.21
sox -m "$WORK/kick_beat.wav" "$WORK/hat_beat.wav" "$WORK/beat.wav"
sox "$WORK/beat.wav" "$WORK/drums.wav" repeat 119         # 120 beats

# ---------------------------------------------------------------------------------------------
# Bass and pad over a four-bar progression, Am F C G, one chord per bar of four beats.
# ---------------------------------------------------------------------------------------------
roots=(55.00 43.65 65.41 49.00)
chords=("220.00 261.63 329.63" "174.61 220.00 261.63" "261.63 329.63 392.00" "196.00 246.94 293.66")
bass_parts=()
pad_parts=()
for i in 0 1 2 3; do
  f=${roots[$i]}
  sox -n $S "$WORK/b$i.wav" synth 0.25 sawtooth "$f" vol 0.6 lowpass 500 fade 0 0.25 0.08 vol 0.75
  sox "$WORK/b$i.wav" "$WORK/bass$i.wav" repeat 7          # eight eighths: one bar
  bass_parts+=("$WORK/bass$i.wav")
  set -- ${chords[$i]}
  sox -n $S "$WORK/pad$i.wav" synth 2 sine "$1" sine "$2" sine "$3" \
      fade 0.3 2 0.5 vol 0.12 chorus 0.6 0.9 55 0.4 0.25 2 -s
  pad_parts+=("$WORK/pad$i.wav")
done
sox "${bass_parts[@]}" "$WORK/bass_cycle.wav"
sox "${pad_parts[@]}" "$WORK/pad_cycle.wav"
sox "$WORK/bass_cycle.wav" "$WORK/bass.wav" repeat 8      # 144 beats
sox "$WORK/pad_cycle.wav" "$WORK/pad.wav" repeat 10       # 176 beats

# Arrangement: pad from the start, bass from beat 16 to 160, drums from beat 32 to 152.
sox "$WORK/bass.wav" "$WORK/bass_late.wav" pad 8 0
sox "$WORK/drums.wav" "$WORK/drums_late.wav" pad 16 0
sox -m -v 1 "$WORK/pad.wav" -v 1 "$WORK/bass_late.wav" -v 1 "$WORK/drums_late.wav" \
    "$WORK/mix.wav" trim 0 85 fade 0 85 3 norm -3
sox "$WORK/mix.wav" -C 3 -t ogg "$OUT/resources/music.mp3"

# ---------------------------------------------------------------------------------------------
# Samples: a bright blip and a noise whoosh.
# ---------------------------------------------------------------------------------------------
sox -n $S "$OUT/sounds/blip.wav" synth 0.18 sine 1760 sine 2637 fade 0 0.18 0.15 vol 0.35
sox -n $S "$OUT/sounds/whoosh.wav" synth 1.2 pinknoise bandpass 900 2q \
    fade 0.4 1.2 0.7 vol 0.6

# ---------------------------------------------------------------------------------------------
# Image: the music's own spectrogram; font: DejaVu Sans Bold from fonts-dejavu-core.
# ---------------------------------------------------------------------------------------------
sox "$WORK/mix.wav" -n remix 1 rate 16k spectrogram -x 512 -y 257 -r -m -o "$OUT/images/spectrum.png"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf "$OUT/resources/DejaVuSans-Bold.ttf"
