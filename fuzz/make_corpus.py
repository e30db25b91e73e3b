#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Usage: fuzz/make_corpus.py DEMOTOOL
The package seeds are packed from the project seeds with DEMOTOOL (pack --raw), so every
package seed is one the writer really makes. Past findings are kept beside the seeds as
finding-* files and are not touched here.
"""
import base64
import json
import os
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def varint(v):
    out = bytearray()
    while v >= 0x80:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    out.append(v)
    return bytes(out)


def b64(data):
    return base64.b64encode(data).decode()


# --- base64 ---------------------------------------------------------------------------------
for i, text in enumerate(["", "QQ==", "QUI=", "QUJD", "SGVsbG8sIGRlbW8h", "-_-_", "QQ..",
                          "QUJDRA", "not base64!", "QUJD\nRA==", "////", "AAAA====",
                          "8J+OtQ=="]):
    write("base64", f"seed-{i:02}", text)

# --- block decoder: first byte picks the piece size ------------------------------------------
blocks = [
    b"\x00",                                   # empty
    b"\x03\x07abc",                            # one literal run
    b"\x14\x03x" + varint(16) + varint(15),    # run: copy shorter distance than length
    varint(11) + b"\x0bhello" + varint((5 * 8 + 2) * 2),  # short copy
    varint(300) + b"\x03z" + varint(16) + varint(295),    # two-byte varints
    b"\x06\x03a\x14",                          # copy before the start
    b"\x0a\x12",                               # copy with nothing written
    b"\xac",                                   # header cut in its varint
    b"\x05\x0bab",                             # literal run cut short
    b"\x80\x80\x80\x80\x80\x80\x80\x80\x80\x02",  # header past 64 bits
]
for i, block in enumerate(blocks):
    for piece in (0, 3):
        write("block_decoder", f"seed-{i:02}-{piece}", bytes([piece]) + block)
    # The whole-block decoder against the incremental one: the first byte picks the limit.
    for limit in (0, 255):
        write("whole_block_decoder", f"seed-{i:02}-{limit}", bytes([limit]) + block)

# --- block compressor: the text, and the first two bytes pick a second table shape ---------
texts = [b"", b"abc", b"x" * 20, b"abcdefXYabcdeQabcdef!", b"abcdefghXYabcdefQabcdefgh!",
         b"uniform float beat;\nuniform vec2 resolution;\nvoid main() { gl_FragColor = "
         b"vec4(sin(beat), cos(beat), 0.5, 1.0) * vec4(resolution, 1.0, 1.0); }\n",
         bytes(range(256)) * 3]
for i, text in enumerate(texts):
    write("block_compressor", f"seed-{i:02}", text)

# --- projects: document NUL (name NUL contents NUL)* ----------------------------------------
png_1x1 = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==")
frag = "#version 150\nuniform float beat;\nout vec4 c;\nvoid main() { c = vec4(beat); }\n"
track = {"mode": 1, "repeat": False, "control_points": [{"beat": 0.0, "value": 0.0},
                                                        {"beat": 4.0, "value": 1.0}]}
text_track = {"mode": 0, "control_points": [{"beat": 0.0, "text": "Hi <BEAT>"},
                                            {"beat": 2.0, "text": "caf\u00e9"}]}
full = {
    "shaders": [{"vertex_shader_filename": "v.vert", "fragment_shader_filename": "f.frag",
                 "vertex_shader_source": "void main(){}", "fragment_shader_source": frag,
                 "uniform_defs": [{"name": "beat", "min_val": 0.0, "max_val": 1.0,
                                   "default_val": 0.5}]}],
    "textures": [{"name": "t.png", "image_buffer": b64(png_1x1)}],
    "fonts": [{"name": "f", "filename": "f.ttf", "ptsize": 12, "font_buffer": b64(b"no font")}],
    "font_textures": [{"name": "title", "width": 64, "height": 16, "font": "f", "center": True,
                       "chars_per_beat": 2}],
    "effects": [{"name": "fx", "program": "f.frag", "textures": ["t.png"], "effects": [],
                 "font_textures": ["title"], "feedback": True, "screen_texture": False}],
    "audio_samples": [{"name": "s.wav", "audio_buffer": b64(b"RIFF")}],
    "event_groups": [{"name": "g", "events": ["e1"]}],
    "events": [
        {"type": 1, "name": "e1", "effect": "fx", "start_beat": 0.0, "end_beat": 8.0,
         "visible": "true", "control_points": {"beat": track, "title": text_track}},
        {"type": 2, "name": "hit", "audio_sample": "s.wav", "beat": 2.0},
        {"type": 3, "name": "grp", "group": "g", "start_beat": 8.0, "end_beat": 16.0,
         "control_points": {"e1.beat": track}},
        {"type": 7, "name": "odd"},
    ],
    "datas": [{"name": "d.bin", "data_buffer": b64(bytes(range(40)))}],
    "end_beat": 16.0, "bpm": 120.0, "beat_offset": 0.5, "music": b64(b"ID3 not music"),
}
side = {
    "events": [{"type": 1, "name": "e", "effect": "fx", "start_beat": 0.0, "end_beat": 1.0}],
    "effects": [{"name": "fx", "program": "f.frag"}],
    "shaders": [{"vertex_shader_filename": "v.vert", "fragment_shader_filename": "f.frag"}],
    "textures": [{"name": "img/t.png"}],
    "datas": [{"name": "d.bin"}, {"name": "sub"}],
    "end_beat": 4.0, "bpm": 130.0, "beat_offset": 0.0,
}
side_files = [("v.vert", b"void main(){}"), ("f.frag", frag.encode()), ("img/t.png", png_1x1),
              ("d.bin", b"\x00\x01\x02"), ("resources/music.mp3", b"ID3"), ("sub/x", b"")]
projects = {
    "empty": (json.dumps({"music": ""}), []),
    "full": (json.dumps(full), []),
    "side-files": (json.dumps(side), side_files),
    "no-music": (json.dumps({"end_beat": 1.0}), []),
    "bad-types": (json.dumps({"events": [{"type": "x", "start_beat": 1, "control_points": 3}],
                              "datas": [{"name": 5, "data_buffer": 7}], "bpm": 130,
                              "music": "QQ=="}), []),
}
for name, (document, files) in projects.items():
    data = document.encode() + b"\0"
    for path, contents in files:
        data += path.encode() + b"\0" + contents + b"\0"
    write("project_reader", f"seed-{name}", data)

# --- packages, packed by the real writer ----------------------------------------------------
demotool = sys.argv[1] if len(sys.argv) > 1 else None
if demotool:
    with tempfile.TemporaryDirectory() as work:
        for name in ("empty", "full"):
            path = os.path.join(work, name + ".json")
            with open(path, "w") as f:
                f.write(projects[name][0])
            out = os.path.join(work, name + ".pkg")
            subprocess.run([demotool, "pack", path, "-o", out, "--raw"], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            package = open(out, "rb").read()
            write("package_reader", f"seed-{name}", package)
            trailer = len(package).to_bytes(4, "little") + b"DEMO"
            write("package_locator", f"seed-{name}", b"\x7fELF player" + package + trailer)
            write("package_locator", f"seed-{name}-short",
                  package + (len(package) + 1).to_bytes(4, "little") + b"DEMO")
        write("package_locator", "seed-no-trailer", b"just a player")
