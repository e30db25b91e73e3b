// Speed of the stored forms: the block codec as used for stored strings (chain depth 12, 4096
// buckets) beside Snappy, LZ4 and memcpy on three corpora (shader-and-prose text, random bytes,
// an executable), `scramble` beside memcpy, `write_string` on many short strings, and reading
// the example package. After the usual table it prints a summary: medians in MB/s (10^6 bytes
// per second of uncompressed data) and the ratios between codecs measured in the same run.
//
// Usage: codec_bench [--corpus_exe=PATH] [--package=PATH] [benchmark flags]
//   --corpus_exe  the executable whose first MiB is the third corpus (default: this program)
//   --package     the packed demo to read (default: example_demo beside this program)
// For figures worth comparing: --benchmark_repetitions=7 --benchmark_enable_random_interleaving
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <snappy.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "player/package_trailer.h"
#include "serialization/block_compressor.h"
#include "serialization/block_decoder.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/scramble.h"
#include "serialization/stored_string.h"
#include "serialization/whole_block_decoder.h"

namespace {

constexpr size_t kCorpusSize = size_t{1} << 20;

// ---------------------------------------------------------------------------------------------
// Corpus: GLSL shader sources and English prose, as found in the strings of a demo package
// ---------------------------------------------------------------------------------------------

// Shader fragments; `$f` becomes a float literal, `$i` a small integer, `$n` an identifier,
// `$s` a swizzle, so that repeats of one fragment are similar but not identical.
const char* const kShaderSnippets[] = {
    R"(#version 330 core
uniform float beat;
uniform float sound;
uniform vec2 resolution;
uniform sampler2D tex;
uniform sampler2D sound_texture;
in vec2 uv;
out vec4 fragColor;
)",
    R"(
float $n(vec3 p, float r) {
    return length(p) - r * $f;
}
)",
    R"(
float sdBox(vec3 p, vec3 b) {
    vec3 q = abs(p) - b;
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
}
)",
    R"(
mat2 rot(float a) {
    float c = cos(a), s = sin(a);
    return mat2(c, -s, s, c);
}
)",
    R"(
float hash(vec2 p) {
    p = fract(p * vec2($f, $f));
    p += dot(p, p + $f);
    return fract(p.x * p.y);
}

float noise(vec2 p) {
    vec2 i = floor(p);
    vec2 f = fract(p);
    vec2 u = f * f * (3.0 - 2.0 * f);
    return mix(mix(hash(i), hash(i + vec2(1.0, 0.0)), u.x),
               mix(hash(i + vec2(0.0, 1.0)), hash(i + vec2(1.0, 1.0)), u.x), u.y);
}
)",
    R"(
float fbm(vec2 p) {
    float v = 0.0;
    float a = $f;
    for (int k = 0; k < $i; ++k) {
        v += a * noise(p);
        p = rot($f) * p * 2.0 + vec2($f, $f);
        a *= 0.5;
    }
    return v;
}
)",
    R"(
float map(vec3 p) {
    p.xz *= rot(beat * $f);
    p.$s = mod(p.$s + $f, $f) - $f;
    float d = sdBox(p, vec3($f, $f, $f));
    d = min(d, $n(p - vec3(0.0, $f, 0.0), $f));
    return d;
}
)",
    R"(
vec3 calcNormal(vec3 p) {
    const vec2 e = vec2(0.001, 0.0);
    return normalize(vec3(map(p + e.xyy) - map(p - e.xyy),
                          map(p + e.yxy) - map(p - e.yxy),
                          map(p + e.yyx) - map(p - e.yyx)));
}
)",
    R"(
void main() {
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 ro = vec3(0.0, $f, -$f + sin(beat * $f));
    vec3 rd = normalize(vec3(p, $f));
    float t = 0.0;
    for (int i = 0; i < $i$i; ++i) {
        float d = map(ro + rd * t);
        if (d < 0.001 || t > $f) break;
        t += d * $f;
    }
    vec3 col = vec3($f, $f, $f) * exp(-t * $f);
    if (t < $f) {
        vec3 n = calcNormal(ro + rd * t);
        col = mix(col, vec3(0.5) + 0.5 * n, $f) * (1.0 + sound);
    }
    fragColor = vec4(pow(col, vec3(0.4545)), 1.0);
}
)",
    R"(
void main() {
    vec4 acc = vec4(0.0);
    float total = 0.0;
    for (int k = -$i; k <= $i; ++k) {
        float w = exp(-float(k * k) / $f);
        acc += texture(tex, uv + vec2(float(k) / resolution.x, 0.0)) * w;
        total += w;
    }
    fragColor = acc / total;
}
)",
    R"(
void main() {
    float spectrum = texture(sound_texture, vec2(uv.x, 0.25)).r;
    float wave = texture(sound_texture, vec2(uv.x, 0.75)).r;
    vec3 col = vec3(step(uv.y, spectrum)) * vec3($f, $f, 1.0);
    col += smoothstep(0.01, 0.0, abs(uv.y - wave)) * vec3(1.0, $f, $f);
    fragColor = vec4(col * (0.5 + 0.5 * sin(beat * 3.14159 * $f)), 1.0);
}
)",
    R"(
layout(std140) uniform MatricesBlock {
    mat4 uProjectionMatrix;
    mat4 uViewMatrix;
    mat4 uModelMatrix;
    mat4 uBoneMatrices[$i$i];
};
in vec3 aPosition;
in vec3 aNormal;
in vec4 aWeights;
in uvec4 aJoints;
out vec3 vNormal;
void main() {
    mat4 skin = aWeights.x * uBoneMatrices[aJoints.x] + aWeights.y * uBoneMatrices[aJoints.y] +
                aWeights.z * uBoneMatrices[aJoints.z] + aWeights.w * uBoneMatrices[aJoints.w];
    vNormal = mat3(uViewMatrix * uModelMatrix * skin) * aNormal;
    gl_Position = uProjectionMatrix * uViewMatrix * uModelMatrix * skin * vec4(aPosition, 1.0);
}
)",
    R"(
// $n: chromatic aberration and vignette
void main() {
    vec2 d = (uv - 0.5) * $f;
    vec3 col;
    col.r = texture(tex, uv + d).r;
    col.g = texture(tex, uv).g;
    col.b = texture(tex, uv - d).b;
    col *= 1.0 - dot(uv - 0.5, uv - 0.5) * $f;
    fragColor = vec4(col, 1.0);
}
)",
};

const char* const kIdentifiers[] = {"sdSphere", "sdTorus", "sdCapsule", "tunnel",  "blob",
                                    "flower",   "pillar",  "shell",     "crystal", "ribbon"};
const char* const kSwizzles[] = {"x", "y", "z", "xy", "xz", "yz", "xyz"};

// Prose: sentences assembled from parts, and a few fixed paragraphs.
const char* const kSubjects[] = {
    "The opening scene", "A slow camera",   "The second verse",  "Every beat of the kick drum",
    "The tunnel effect", "The text layer",  "A cold blue light", "The closing credits",
    "Our musician",      "The party crowd", "The final chord",   "The shadow pass"};
const char* const kVerbs[] = {"drifts through", "fades into",     "cuts across", "pulses under",
                              "lights up",      "slowly reveals", "waits for",   "follows",
                              "breaks apart",   "echoes"};
const char* const kObjects[] = {
    "a field of glowing spheres",  "the waveform at the bottom of the screen",
    "a city made of folded paper", "the title in large white letters",
    "the last bar of the music",   "a forest of thin pillars",
    "the reflection on the water", "the greetings to other groups",
    "a storm of small particles",  "the soft noise of an old television"};
const char* const kEndings[] = {".",
                                ", and then nothing moves for a while.",
                                " while the bass comes back in.",
                                ", just before the drop.",
                                " in perfect time with the music.",
                                "."};
const char* const kParagraphs[] = {
    "This demo was made in a few weeks of evenings. The music came first; the pictures were "
    "written to follow it, one event at a time, until the timeline was full. ",
    "Thanks to everyone who tested it on their machines and reported what broke. Most of the "
    "shaders were rewritten at least twice, and the scene with the paper city three times. ",
    "To run it, start the executable. It needs a graphics card that supports OpenGL 3.0 and a "
    "working sound device. Press Escape to leave at any time. ",
    "Greetings fly out to all the groups at the party, to the organisers, and to the people "
    "who stayed up until the morning to watch the competition. ",
};

std::string fill_placeholders(const char* snippet, std::mt19937& rng) {
    std::string out;
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (const char* c = snippet; *c; ++c) {
        if (*c != '$' || c[1] == '\0') {
            out += *c;
            continue;
        }
        char buffer[32];
        switch (*++c) {
            case 'f':
                std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(1 + pick(3)),
                              std::uniform_real_distribution<double>(0.0, 8.0)(rng));
                out += buffer;
                break;
            case 'i':
                out += std::to_string(1 + pick(8));
                break;
            case 'n':
                out += kIdentifiers[pick(std::size(kIdentifiers))];
                break;
            case 's':
                out += kSwizzles[pick(std::size(kSwizzles))];
                break;
            default:
                out += '$';
                out += *c;
                break;
        }
    }
    return out;
}

// About half shader sources and half prose, in seeded random order, cut to `size` bytes.
std::vector<uint8_t> make_text_corpus(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    std::string text;
    text.reserve(size + 4096);
    while (text.size() < size) {
        if (pick(2) == 0) {
            const size_t count = 1 + pick(6);
            for (size_t k = 0; k < count; ++k) {
                text += fill_placeholders(kShaderSnippets[pick(std::size(kShaderSnippets))], rng);
            }
        } else if (pick(4) == 0) {
            text += kParagraphs[pick(std::size(kParagraphs))];
            text += "\n\n";
        } else {
            const size_t sentences = 2 + pick(6);
            for (size_t k = 0; k < sentences; ++k) {
                text += kSubjects[pick(std::size(kSubjects))];
                text += ' ';
                text += kVerbs[pick(std::size(kVerbs))];
                text += ' ';
                text += kObjects[pick(std::size(kObjects))];
                text += kEndings[pick(std::size(kEndings))];
                text += ' ';
            }
            text += "\n\n";
        }
    }
    text.resize(size);
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> make_random_corpus(size_t size, uint32_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<uint8_t> out(size);
    for (size_t k = 0; k < size; k += 8) {
        const uint64_t v = rng();
        std::memcpy(out.data() + k, &v, std::min<size_t>(8, size - k));
    }
    return out;
}

// The first `size` bytes of a file, or nothing when it cannot be read.
std::vector<uint8_t> file_prefix(const std::string& path, size_t size) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes(size);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(file ? size : static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

// The package inside a packed player (found through its trailer), or nothing.
std::vector<uint8_t> package_of(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
    demo::PackageLocation location;
    if (bytes.size() < demo::kTrailerSize ||
        demo::parse_trailer(bytes.data() + bytes.size() - demo::kTrailerSize, demo::kTrailerSize,
                            bytes.size(), location) != demo::TrailerStatus::Found) {
        return {};
    }
    return std::vector<uint8_t>(
        bytes.begin() + static_cast<std::ptrdiff_t>(location.offset),
        bytes.begin() + static_cast<std::ptrdiff_t>(location.offset + location.size));
}

// Strings of 20 to 200 bytes cut from the text corpus at seeded random places.
std::vector<std::string> make_short_strings(const std::vector<uint8_t>& text, size_t count) {
    std::mt19937 rng(4242);
    std::vector<std::string> out;
    for (size_t k = 0; k < count; ++k) {
        const size_t length = std::uniform_int_distribution<size_t>(20, 200)(rng);
        const size_t from = std::uniform_int_distribution<size_t>(0, text.size() - length)(rng);
        out.emplace_back(text.begin() + from, text.begin() + from + length);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Benchmarks
// ---------------------------------------------------------------------------------------------

// One block of `data` as stored strings are compressed.
std::vector<uint8_t> compress(const std::vector<uint8_t>& data) {
    return demo::compress_block(data.data(), data.size(), demo::kStringChainDepth,
                                demo::kStringBucketCount);
}

// Rate per uncompressed byte, and the compressed size as a share when there is one.
void finish(benchmark::State& state, size_t bytes, size_t compressed = 0) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    if (compressed != 0)
        state.counters["size"] = static_cast<double>(compressed) / static_cast<double>(bytes);
}

// The baseline: copying the bytes into a second buffer.
void bm_memcpy(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::vector<uint8_t> target(data->size());
    for (auto _ : state) {
        std::memcpy(target.data(), data->data(), data->size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    finish(state, data->size());
}

// Scrambling in place, as stored strings and buffers are read.
void bm_scramble(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::vector<uint8_t> bytes = *data;
    for (auto _ : state) {
        demo::scramble(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    finish(state, data->size());
}

// The compressor as write_string uses it: kept from one block to the next.
void bm_compress_demo(benchmark::State& state, const std::vector<uint8_t>* data) {
    demo::BlockCompressor compressor;
    size_t compressed = 0;
    for (auto _ : state) {
        const std::span<uint8_t> block = compressor.compress(data->data(), data->size());
        compressed = block.size();
        benchmark::DoNotOptimize(block.data());
    }
    finish(state, data->size(), compressed);
}

// The peers, at their default settings.
void bm_compress_snappy(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::string block;
    for (auto _ : state) {
        snappy::Compress(reinterpret_cast<const char*>(data->data()), data->size(), &block);
        benchmark::DoNotOptimize(block.data());
    }
    finish(state, data->size(), block.size());
}

void bm_compress_lz4(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::vector<char> block(LZ4_compressBound(static_cast<int>(data->size())));
    int compressed = 0;
    for (auto _ : state) {
        compressed =
            LZ4_compress_default(reinterpret_cast<const char*>(data->data()), block.data(),
                                 static_cast<int>(data->size()), static_cast<int>(block.size()));
        benchmark::DoNotOptimize(block.data());
    }
    finish(state, data->size(), static_cast<size_t>(compressed));
}

// The incremental decoder, given the whole block as one piece.
void bm_decode_incremental(benchmark::State& state, const std::vector<uint8_t>* data) {
    const std::vector<uint8_t> block = compress(*data);
    demo::BlockDecoder decoder;
    for (auto _ : state) {
        const bool done = decoder.decompress_block(block.data(), block.size());
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(decoder.output().data());
    }
    if (decoder.output() != *data)
        state.SkipWithError("decoded block differs from the input");
    finish(state, data->size());
}

// The whole-block decoder that reads stored strings, into a string kept between rounds.
void bm_decode_demo(benchmark::State& state, const std::vector<uint8_t>* data) {
    const std::vector<uint8_t> block = compress(*data);
    std::string output;
    for (auto _ : state) {
        const bool done = demo::decode_whole_block(block.data(), block.size(), 0, output);
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(output.data());
    }
    if (output != std::string(data->begin(), data->end()))
        state.SkipWithError("decoded block differs from the input");
    finish(state, data->size());
}

// Snappy and LZ4 decode into a buffer allocated once, as ours does.
void bm_decode_snappy(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::string block;
    snappy::Compress(reinterpret_cast<const char*>(data->data()), data->size(), &block);
    std::vector<uint8_t> output(data->size());
    for (auto _ : state) {
        const bool ok = snappy::RawUncompress(block.data(), block.size(),
                                              reinterpret_cast<char*>(output.data()));
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(output.data());
    }
    if (output != *data)
        state.SkipWithError("decoded block differs from the input");
    finish(state, data->size());
}

void bm_decode_lz4(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::vector<char> block(LZ4_compressBound(static_cast<int>(data->size())));
    block.resize(LZ4_compress_default(reinterpret_cast<const char*>(data->data()), block.data(),
                                      static_cast<int>(data->size()),
                                      static_cast<int>(block.size())));
    std::vector<uint8_t> output(data->size());
    for (auto _ : state) {
        const int n =
            LZ4_decompress_safe(block.data(), reinterpret_cast<char*>(output.data()),
                                static_cast<int>(block.size()), static_cast<int>(output.size()));
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(output.data());
    }
    if (output != *data)
        state.SkipWithError("decoded block differs from the input");
    finish(state, data->size());
}

// Writing many short strings: names, keys and texts are mostly like these.
void bm_write_strings(benchmark::State& state, const std::vector<std::string>* strings) {
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        bytes.clear();
        demo::OutputStream out(bytes);
        for (const std::string& s : *strings)
            demo::write_string(s, out);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * strings->size()));
}

// Reads the whole demo from memory, without creating GPU or audio objects.
void bm_read_package(benchmark::State& state, const std::vector<uint8_t>* package) {
    for (auto _ : state) {
        demo::InputStream in(package->data(), package->size());
        demo::Demo loaded;
        loaded.read_binary(in);
        benchmark::DoNotOptimize(loaded.events.data());
    }
    finish(state, package->size());
}

// ---------------------------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------------------------

// The console table, then the medians per corpus and the ratios between codecs.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string& name = run.run_name.function_name;
            for (const char* counter : {"bytes_per_second", "items_per_second", "size"}) {
                const auto it = run.counters.find(counter);
                if (it != run.counters.end())
                    values_[name + "#" + counter].push_back(it->second.value);
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        char line[200];
        auto print = [&](const char* format, auto... args) {
            std::snprintf(line, sizeof line, format, args...);
            out << line;
        };
        size_t rounds = 0;
        for (const auto& [key, v] : values_)
            rounds = std::max(rounds, v.size());
        out << "\nMedians of " << rounds << " rounds, MB/s of uncompressed data\n";

        const double copy16 = rate("memcpy/16MiB");
        const double scrambled = rate("scramble/16MiB");
        if (copy16 > 0 && scrambled > 0) {
            print("scramble, 16 MiB: %.1f MB/s = %.3fx memcpy (%.1f MB/s)\n", scrambled / 1e6,
                  scrambled / copy16, copy16 / 1e6);
        }
        const double strings = median("write_string/10000#items_per_second");
        if (strings > 0)
            print("write_string, 10,000 strings of 20-200 bytes: %.2f us per string\n",
                  1e6 / strings);
        const double package = rate("read_package/example");
        if (package > 0)
            print("read the example package (%.1f MB): %.2f ms\n", package_bytes_ / 1e6,
                  1e3 * package_bytes_ / package);

        print("\n%-8s %-12s %14s %14s %8s\n", "corpus", "codec", "compress MB/s", "decode MB/s",
              "size");
        // A figure that was not measured (filtered out, or not a codec's) shows as "-".
        auto figure = [](double value, double scale, const char* format) {
            char text[32] = "-";
            if (value > 0)
                std::snprintf(text, sizeof text, format, value * scale);
            return std::string(text);
        };
        for (const char* corpus : {"text", "random", "exe"}) {
            const std::string c = corpus;
            for (const char* codec : {"memcpy", "demo", "incremental", "snappy", "lz4"}) {
                const std::string k =
                    std::string(codec) == "memcpy" ? "" : std::string(codec) + "/";
                const double comp = rate("compress/" + k + c);
                const double dec = rate(k.empty() ? "memcpy/" + c : "decode/" + k + c);
                if (comp <= 0 && dec <= 0)
                    continue;
                print("%-8s %-12s %14s %14s %8s\n", corpus, codec,
                      figure(comp, 1e-6, "%.1f").c_str(), figure(dec, 1e-6, "%.1f").c_str(),
                      figure(median("compress/" + k + c + "#size"), 100, "%.1f%%").c_str());
            }
            // Our decoder is the whole-block one when it is measured, else the incremental one.
            double ours = rate("decode/demo/" + c);
            if (ours <= 0)
                ours = rate("decode/incremental/" + c);
            auto ratio = [&](const char* what, double a, double b) {
                if (a > 0 && b > 0)
                    print("%-8s %s %.3fx\n", corpus, what, a / b);
            };
            ratio("decode / Snappy decode", ours, rate("decode/snappy/" + c));
            ratio("decode / LZ4 decode   ", ours, rate("decode/lz4/" + c));
            ratio("decode / memcpy       ", ours, rate("memcpy/" + c));
            ratio("compress / Snappy     ", rate("compress/demo/" + c),
                  rate("compress/snappy/" + c));
            ratio("compress / LZ4        ", rate("compress/demo/" + c), rate("compress/lz4/" + c));
        }
        out.flush();
    }

    void set_package_bytes(size_t bytes) { package_bytes_ = static_cast<double>(bytes); }

private:
    double median(const std::string& key) {
        std::vector<double>& v = values_[key];
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    double rate(const std::string& name) { return median(name + "#bytes_per_second"); }

    std::map<std::string, std::vector<double>> values_;
    double package_bytes_ = 0;
};

// Takes `--name=value` out of the arguments, so that the benchmark library does not see it.
std::string take_option(int& argc, char** argv, const std::string& name, std::string fallback) {
    const std::string prefix = "--" + name + "=";
    for (int k = 1; k < argc; ++k) {
        if (std::string(argv[k]).rfind(prefix, 0) == 0) {
            fallback = argv[k] + prefix.size();
            std::copy(argv + k + 1, argv + argc, argv + k);
            --argc;
            break;
        }
    }
    return fallback;
}

std::string beside_executable(const char* name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(name) : (self.parent_path() / name).string();
}

using Bench = void (*)(benchmark::State&, const std::vector<uint8_t>*);

}  // namespace

int main(int argc, char** argv) {
    const std::string exe_path = take_option(argc, argv, "corpus_exe", "/proc/self/exe");
    const std::string package_path =
        take_option(argc, argv, "package", beside_executable("example_demo"));

    static const std::vector<uint8_t> text = make_text_corpus(kCorpusSize, 20240611);
    static const std::vector<uint8_t> random = make_random_corpus(kCorpusSize, 97);
    static const std::vector<uint8_t> exe = file_prefix(exe_path, kCorpusSize);
    static const std::vector<uint8_t> big = make_random_corpus(size_t{16} << 20, 5);
    static const std::vector<std::string> strings = make_short_strings(text, 10000);
    static const std::vector<uint8_t> package = package_of(package_path);

    benchmark::RegisterBenchmark("memcpy/16MiB", bm_memcpy, &big)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("scramble/16MiB", bm_scramble, &big)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("write_string/10000", bm_write_strings, &strings)
        ->Unit(benchmark::kMillisecond);
    if (!package.empty()) {
        benchmark::RegisterBenchmark("read_package/example", bm_read_package, &package)
            ->Unit(benchmark::kMillisecond);
    }

    const std::pair<const char*, Bench> benches[] = {
        {"memcpy/", bm_memcpy},
        {"compress/demo/", bm_compress_demo},
        {"compress/snappy/", bm_compress_snappy},
        {"compress/lz4/", bm_compress_lz4},
        {"decode/demo/", bm_decode_demo},
        {"decode/incremental/", bm_decode_incremental},
        {"decode/snappy/", bm_decode_snappy},
        {"decode/lz4/", bm_decode_lz4},
    };
    for (const auto& [corpus, data] :
         {std::pair<const char*, const std::vector<uint8_t>*>{"text", &text},
          {"random", &random},
          {"exe", &exe}}) {
        if (data->empty())
            continue;
        for (const auto& [prefix, bench] : benches) {
            benchmark::RegisterBenchmark((std::string(prefix) + corpus).c_str(), bench, data)
                ->Unit(benchmark::kMicrosecond);
        }
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Colours only on a terminal, so that redirected output stays plain text.
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    reporter.set_package_bytes(package.size());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
