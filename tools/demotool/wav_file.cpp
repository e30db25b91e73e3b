#include "wav_file.h"

#include "demo/offline_mix.h"
#include "serialization/file_io.h"

namespace demo {

void write_wav(const std::string& path, const std::vector<int16_t>& samples) {
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF");
    put32(36 + data_bytes);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(OfflineMix::kFrequency);
    put32(OfflineMix::kFrequency * 4);
    put16(4);
    put16(16);
    tag("data");
    put32(data_bytes);
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
    out.insert(out.end(), bytes, bytes + data_bytes);
    write_file(path, out.data(), out.size());
}

}  // namespace demo
