#include "serialization/demo.h"

#include <string>

#include "serialization/package_error.h"
#include "serialization/primitives.h"

namespace demo {

// ---------------------------------------------------------------------------------------------
// Binary form
// ---------------------------------------------------------------------------------------------

Demo::Demo(InputStream& in) { read_binary(in); }

void Demo::read_binary(InputStream& in) {
    total_objects = read_u64(in, "the object total");
    for (std::string_view name : kCollectionNames) {
        const std::string what = "the count of " + std::string(name);
        const uint64_t start = in.offset();
        // Every element starts with its 8-byte identifier.
        const uint64_t count = read_count(in, 8, what.c_str());
        if (count != 0) {
            // The format has no per-object lengths, so an element this build cannot read
            // cannot be skipped either.
            throw PackageError("package holds " + std::to_string(count) + " " + std::string(name) +
                                   ", which this player cannot read",
                               start);
        }
    }
    music.read_binary(in);
    end_beat = read_f32(in, "the end beat");
    bpm = read_f32(in, "the tempo");
    beat_offset = read_f32(in, "the beat offset");
    load_progress(total_objects, total_objects);
}

void Demo::write_binary(OutputStream& out) const {
    write_u64(out, 0);
    for (size_t i = 0; i < kCollectionNames.size(); ++i) write_u64(out, 0);
    music.write_binary(out);
    write_f32(out, end_beat);
    write_f32(out, bpm);
    write_f32(out, beat_offset);
}

// ---------------------------------------------------------------------------------------------
// JSON form
// ---------------------------------------------------------------------------------------------

Json Demo::to_json(bool /*export_files*/) const {
    Json doc = Json::object();
    for (std::string_view name : kCollectionNames) doc[std::string(name)] = Json::array();
    doc["end_beat"] = end_beat;
    doc["bpm"] = bpm;
    doc["beat_offset"] = beat_offset;
    doc["music"] = music.to_json(false);
    return doc;
}

void Demo::from_json(const Json& /*value*/) {}

// ---------------------------------------------------------------------------------------------
// Loading hooks
// ---------------------------------------------------------------------------------------------

void Demo::load_progress(uint64_t /*objects_read*/, uint64_t /*total*/) {}

void Demo::prepare_after_load() {}

void Demo::prime_effects() {}

}  // namespace demo
