#!/usr/bin/env bash
# Soak test of the player, not part of CI: scripts/soak.sh MINUTES [BUILD_DIR]
#
# Packs a demo that draws a shader effect, a text that changes every frame and a sample on
# every beat for the whole run, plays it under Xvfb with SDL's disk audio driver, and samples
# the player's resident memory every 10 s. Then reports:
#   - RSS growth from the end of the first minute to the end (goal: under 1 MiB);
#   - any GL error the player printed (goal: none);
#   - how far the last sample burst in the written sound lies from its beat (goal: <= 20 ms).
set -euo pipefail
cd "$(dirname "$0")/.."
MINUTES=${1:?usage: scripts/soak.sh MINUTES [BUILD_DIR]}
BUILD=${2:-build}
BPM=120
OFFSET=0.0
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
[ -x "$BUILD/demoplayer" ] && [ -x "$BUILD/demotool" ] || { echo "build $BUILD first" >&2; exit 1; }

# Music: silence with one click at its start, so the sound file shows where the clock began.
# Samples: a 40 ms 1 kHz burst padded to 0.6 s, fired every second beat (one second at
# 120 bpm): longer than its one-beat event, so it never restarts within it.
S="-r 44100 -c 2 -b 16"
SECONDS_LONG=$((MINUTES * 60 + 30))
sox -n $S "$WORK/click.wav" synth 0.005 square 500 vol 0.9
sox "$WORK/click.wav" "$WORK/music.wav" pad 0 "$SECONDS_LONG"
sox -n $S "$WORK/tone.wav" synth 0.04 sine 1000 vol 0.5
sox "$WORK/tone.wav" "$WORK/burst.wav" pad 0 0.56
mkdir -p "$WORK/project/resources"
cp "$WORK/music.wav" "$WORK/project/resources/music.mp3"
cp "$WORK/burst.wav" "$WORK/project/burst.wav"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$WORK/project/font.ttf"

python3 - "$WORK/project" "$MINUTES" "$BPM" "$OFFSET" <<'PY'
import json, sys
folder, minutes, bpm, offset = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
beats = int(minutes * 60 * bpm / 60) + 8
frag = """#version 150
uniform float beat;
uniform int sound;
uniform sampler2D tex;
uniform sampler2D sound_texture;
uniform vec2 resolution;
out vec4 colour;
void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec4 text = texture(tex, vec2(uv.x, 1.0 - uv.y));
    float wave = texture(sound_texture, vec2(uv.x, 0.75)).r;
    colour = vec4(fract(beat), uv.y, wave, 1.0) + text;
}
"""
open(f"{folder}/soak.frag", "w").write(frag)
open(f"{folder}/soak.vert", "w").write("#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n")
events = [{"type": 1, "name": "main", "effect": "fx", "start_beat": -1.0, "end_beat": float(beats),
           "control_points": {"caption": {"mode": 0, "control_points": [
               {"beat": 0.0, "text": "beat <BEAT> of the soak"}]}}}]
events += [{"type": 2, "name": f"hit{b}", "audio_sample": "burst.wav", "beat": float(b)}
           for b in range(2, beats, 2)]
doc = {
    "shaders": [{"vertex_shader_filename": "soak.vert", "fragment_shader_filename": "soak.frag"}],
    "fonts": [{"name": "sans", "filename": "font.ttf", "ptsize": 32}],
    "font_textures": [{"name": "caption", "width": 512, "height": 64, "font": "sans"}],
    "effects": [{"name": "fx", "program": "soak.frag", "font_textures": ["caption"]}],
    "audio_samples": [{"name": "burst.wav"}],
    "events": events,
    "end_beat": float(beats - 4), "bpm": bpm, "beat_offset": offset,
}
json.dump(doc, open(f"{folder}/project.json", "w"))
PY
"$BUILD/demotool" pack "$WORK/project/project.json" -o "$WORK/soak_demo" \
  --player "$BUILD/demoplayer" > /dev/null

# The disk driver paces itself with plain delays, so on a busy machine its output runs behind
# the clock the player fires samples by. The sound therefore goes through a pipe whose reader
# notes when each piece arrived: positions in the sound map to the moments they were mixed.
mkfifo "$WORK/sound.fifo"
python3 - "$WORK/sound.fifo" "$WORK/sound.raw" "$WORK/arrivals.txt" <<'PY' &
import os, sys, time
fifo, raw, arrivals = sys.argv[1:4]
fd = os.open(fifo, os.O_RDONLY)
total = 0
with open(raw, "wb") as out, open(arrivals, "w") as log:
    while True:
        data = os.read(fd, 1 << 16)
        if not data:
            break
        out.write(data)
        total += len(data)
        log.write(f"{time.monotonic():.6f} {total}\n")
PY
READER=$!
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/sound.fifo" LIBGL_ALWAYS_SOFTWARE=1
(cd "$WORK" && exec xvfb-run -a -s "-screen 0 640x360x24" ./soak_demo > "$WORK/player.out" 2>&1) &
RUNNER=$!
# The player is the soak_demo process under xvfb-run.
PID=""
for _ in $(seq 100); do
  PID=$(pgrep -n -f "^./soak_demo$" || true)
  [ -n "$PID" ] && break
  sleep 0.1
done
[ -n "$PID" ] || { echo "the player did not start" >&2; cat "$WORK/player.out" >&2; exit 1; }

echo "seconds rss_kib" > "$WORK/rss.txt"
START=$(date +%s)
END=$((START + MINUTES * 60))
while [ "$(date +%s)" -lt "$END" ] && kill -0 "$PID" 2>/dev/null; do
  echo "$(( $(date +%s) - START )) $(ps -o rss= -p "$PID" | tr -d ' ')" >> "$WORK/rss.txt"
  sleep 10
done
kill -INT "$PID" 2>/dev/null || true
wait "$RUNNER" || true
wait "$READER" || true
mkdir -p soak-results
cp "$WORK/rss.txt" "$WORK/player.out" soak-results/

python3 - "$WORK/rss.txt" "$WORK/sound.raw" "$BPM" "$OFFSET" "$WORK/player.out" \
  "$WORK/arrivals.txt" <<'PY'
import array, bisect, sys
rss_path, sound_path, bpm, offset, out_path = sys.argv[1], sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), sys.argv[5]
arrivals = [tuple(map(float, l.split())) for l in open(sys.argv[6]) if l.strip()]
arrival_ends = [a[1] for a in arrivals]
rows = [tuple(map(int, l.split())) for l in open(rss_path).read().split("\n")[1:] if l.strip()]
after_minute = [r for r in rows if r[0] >= 60]
if after_minute:
    first, last = after_minute[0], after_minute[-1]
    growth = last[1] - first[1]
    print(f"RSS: {first[1]} KiB at {first[0]} s, {last[1]} KiB at {last[0]} s, "
          f"peak {max(r[1] for r in rows)} KiB; growth after the first minute {growth} KiB "
          f"({'ok' if growth < 1024 else 'OVER 1 MiB'})")
errors = [l for l in open(out_path, errors="replace") if l.startswith("ERROR!")]
print(f"GL errors printed: {len(errors)}")
samples = array.array("h", open(sound_path, "rb").read())
left = samples[0::2]
rate = 44100
# Onsets: a sample above the threshold after at least 100 ms below it.
onsets, quiet = [], rate
for i, v in enumerate(left):
    if abs(v) > 4000:
        if quiet >= rate // 10:
            onsets.append(i)
        quiet = 0
    else:
        quiet += 1
if len(onsets) < 2:
    sys.exit("too few onsets in the sound: " + str(len(onsets)))
click, last = onsets[0], onsets[-1]

def arrived(frame):
    """When the piece holding `frame` reached the pipe: when the mixer had just mixed it."""
    return arrivals[bisect.bisect_right(arrival_ends, frame * 4)][0]

in_file = (last - click) / rate
t = arrived(last) - arrived(click)
beat = 2 * round((t * bpm / 60.0 - offset) / 2)  # bursts are on even beats
error_ms = (t - (beat + offset) * 60.0 / bpm) * 1000.0
print(f"sound: {len(onsets) - 1} bursts; {len(left) / rate:.1f} s of sound written in "
      f"{arrivals[-1][0] - arrivals[0][0]:.1f} s")
# Every burst against its beat: a drift would show as a difference between early and late ones.
errors = []
for onset in onsets[1:]:
    mixed = arrived(onset) - arrived(click)
    nearest = 2 * round((mixed * bpm / 60.0 - offset) / 2)
    errors.append((mixed - (nearest + offset) * 60.0 / bpm) * 1000.0)
for label, part in (("first", errors[:100]), ("last", errors[-100:])):
    print(f"{label} {len(part)} bursts: mean {sum(part) / len(part):+.1f} ms, "
          f"min {min(part):+.1f} ms, max {max(part):+.1f} ms from their beats")
print(f"last burst: beat {beat}, mixed {t:.3f} s after the music started ({in_file:.3f} s "
      f"into the music in the file): {error_ms:+.1f} ms from its beat "
      f"({'ok' if abs(error_ms) <= 20 else 'LATE OR EARLY'})")
PY
