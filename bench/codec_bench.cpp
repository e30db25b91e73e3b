// Throughput of the block codec as used for stored strings (chain depth 12, 4096 buckets):
// compress_block and BlockDecoder on shader-and-prose text and on incompressible noise, each
// next to a plain memcpy of the same bytes. After the usual table it prints a summary in MB/s
// (10^6 bytes per second of uncompressed data) with each codec figure as a share of memcpy.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "serialization/block_compressor.h"
#include "serialization/block_decoder.h"

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

// ---------------------------------------------------------------------------------------------
// Benchmarks
// ---------------------------------------------------------------------------------------------

std::vector<uint8_t> compress(const std::vector<uint8_t>& data) {
    return demo::compress_block(data.data(), data.size(), demo::kStringChainDepth,
                                demo::kStringBucketCount);
}

void bm_memcpy(benchmark::State& state, const std::vector<uint8_t>* data) {
    std::vector<uint8_t> target(data->size());
    for (auto _ : state) {
        std::memcpy(target.data(), data->data(), data->size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data->size()));
}

void bm_compress(benchmark::State& state, const std::vector<uint8_t>* data) {
    size_t compressed = 0;
    for (auto _ : state) {
        std::vector<uint8_t> block = compress(*data);
        compressed = block.size();
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data->size()));
    state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(data->size());
}

void bm_decode(benchmark::State& state, const std::vector<uint8_t>* data) {
    const std::vector<uint8_t> block = compress(*data);
    demo::BlockDecoder decoder;
    for (auto _ : state) {
        const bool done = decoder.decompress_block(block.data(), block.size());
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(decoder.output().data());
    }
    if (decoder.output() != *data)
        state.SkipWithError("decoded block differs from the input");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data->size()));
}

// The console table, then MB/s per corpus with each codec figure relative to memcpy.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                continue;
            rates_[run.run_name.function_name].push_back(it->second.value);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        char line[160];
        std::snprintf(line, sizeof line, "\n%-8s %12s %14s %10s %14s %10s\n", "corpus",
                      "memcpy MB/s", "compress MB/s", "of memcpy", "decode MB/s", "of memcpy");
        out << line;
        for (const char* corpus : {"text", "random"}) {
            const double copy = median("memcpy/" + std::string(corpus));
            const double comp = median("compress/" + std::string(corpus));
            const double dec = median("decode/" + std::string(corpus));
            if (copy <= 0.0 || comp <= 0.0 || dec <= 0.0)
                continue;  // filtered out
            std::snprintf(line, sizeof line, "%-8s %12.1f %14.1f %9.2f%% %14.1f %9.2f%%\n", corpus,
                          copy / 1e6, comp / 1e6, 100.0 * comp / copy, dec / 1e6,
                          100.0 * dec / copy);
            out << line;
        }
        out.flush();
    }

private:
    double median(const std::string& name) {
        std::vector<double>& v = rates_[name];
        if (v.empty())
            return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

    std::map<std::string, std::vector<double>> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    static const std::vector<uint8_t> text = make_text_corpus(kCorpusSize, 20240611);
    static const std::vector<uint8_t> random = make_random_corpus(kCorpusSize, 97);

    for (const auto& [name, data] :
         {std::pair<const char*, const std::vector<uint8_t>*>{"text", &text},
          {"random", &random}}) {
        benchmark::RegisterBenchmark((std::string("memcpy/") + name).c_str(), bm_memcpy, data)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string("compress/") + name).c_str(), bm_compress, data)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("decode/") + name).c_str(), bm_decode, data)
            ->Unit(benchmark::kMicrosecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Colours only on a terminal, so that redirected output stays plain text.
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
