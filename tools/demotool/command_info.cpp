// demotool info: what a demo maker wants to know about a package before a show.
#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/audio_device.h"
#include "audio/sample_playback.h"
#include "base/player_state.h"
#include "command_line.h"
#include "commands.h"
#include "common/package_file.h"
#include "reference_check.h"
#include "timeline/beat_timing.h"

namespace demo {

namespace {

constexpr const char* kInfoHelp =
    "usage: demotool info INPUT\n"
    "\n"
    "Describes the demo of a project document, a packed player or a bare package (told apart\n"
    "by content): its collections and their names, the bytes of its contents, its timing and\n"
    "length, and every reference that resolves to nothing.\n";

std::string human_bytes(uint64_t bytes) {
    char text[64];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB (%llu bytes)", bytes / 1024.0,
                      static_cast<unsigned long long>(bytes));
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB (%llu bytes)", bytes / (1024.0 * 1024.0),
                      static_cast<unsigned long long>(bytes));
    }
    return text;
}

// "1 track", "2 tracks": a count with its noun in the singular or the plural.
std::string counted(size_t count, const char* noun, const char* plural = nullptr) {
    return std::to_string(count) + " " +
           (count == 1          ? noun
            : plural != nullptr ? plural
                                : std::string(noun) + "s");
}

std::string describe(const Event& event) {
    static const char* const kTypes[] = {"unknown", "effect", "audio sample", "group"};
    const char* type = event.type <= kGroupEvent ? kTypes[event.type] : kTypes[0];
    char text[160];
    std::snprintf(text, sizeof text, " (%s event, beats %g to %g%s, %s)", type, event.start_beat,
                  event.end_beat, event.visible ? "" : ", hidden",
                  counted(event.control_points.size(), "track").c_str());
    return "'" + event.name + "'" + text;
}

std::string describe(const AudioSample& sample) {
    std::string text = "'" + sample.name + "' (" + human_bytes(sample.encoded_size());
    if (sample.chunk != nullptr) {
        char length[64];
        std::snprintf(length, sizeof length, ", %.2f s", sample.duration_ms / 1000.0);
        text += length;
    } else {
        text += ", does not decode";
    }
    return text + ")";
}

std::string describe(const Data& data) {
    return "'" + data.name + "' (" + human_bytes(data.buffer ? data.buffer->size() : 0) + ")";
}

std::string describe(const Effect& effect) {
    std::string text =
        "'" + effect.name + "' (program " +
        (effect.program.object ? "'" + effect.program.object->fragment_shader_filename + "'"
                               : std::string("none"));
    text += ", " + counted(effect.textures.size(), "image") + ", " +
            counted(effect.font_textures.size(), "text") + ", " +
            counted(effect.effects.size(), "input effect");
    if (effect.feedback)
        text += ", feedback";
    if (effect.screen_texture)
        text += ", screen copy";
    return text + ")";
}

std::string describe(const ShaderProgram& program) {
    return "'" + program.fragment_shader_filename + "' (vertex '" + program.vertex_shader_filename +
           "', " + counted(program.uniform_defs.size(), "uniform") + ")";
}

std::string describe(const Texture& texture) {
    return "'" + texture.name + "' (" +
           human_bytes(texture.image_buffer ? texture.image_buffer->size() : 0) + ")";
}

std::string describe(const EventGroup& group) {
    return "'" + group.name + "' (" + counted(group.events.size(), "member") + ")";
}

std::string describe(const Font& font) {
    return "'" + font.name + "' (" + font.filename + ", " + std::to_string(font.ptsize) + " pt, " +
           human_bytes(font.font_buffer ? font.font_buffer->size() : 0) + ")";
}

std::string describe(const FontTexture& texture) {
    return "'" + texture.name + "' (" + std::to_string(texture.width) + " x " +
           std::to_string(texture.height) + ", font " +
           (texture.font.object ? "'" + texture.font.object->name + "'" : std::string("none")) +
           ")";
}

std::string describe(const Model& model) {
    size_t primitives = 0;
    for (const auto& mesh : model.gltf.meshes)
        primitives += mesh.primitives.size();
    std::string line =
        "'" + model.filename + "' (" + human_bytes(model.buffer ? model.buffer->size() : 0) + ", " +
        counted(model.gltf.meshes.size(), "mesh", "meshes") + ", " +
        counted(primitives, "primitive") + ", " + counted(model.gltf.images.size(), "image");
    if (!model.parsed)
        line += ", does not parse";
    if (model.skeleton) {
        line += ", skin '" + model.skeleton->name + "' with " +
                counted(model.skeleton->joints.size(), "joint");
    } else {
        line += ", no skin";
    }
    line += ")";
    if (model.animations) {
        char text[160];
        for (const auto& animation : model.animations->list) {
            std::snprintf(text, sizeof text, " (keys %g to %g s)", animation->start_time,
                          animation->end_time);
            line += "\n      animation '" + animation->name + "'" + text;
        }
    }
    return line;
}

std::string describe(const Scene& scene) {
    std::string text = "'" + scene.name + "' (";
    if (scene.camera) {
        char at[96];
        std::snprintf(at, sizeof at, "camera at (%g, %g, %g)", scene.camera->position.x,
                      scene.camera->position.y, scene.camera->position.z);
        text += at;
    } else {
        text += "no camera";
    }
    const Model* model = scene.root_node ? scene.root_node->model.object : nullptr;
    text += model != nullptr ? ", model '" + model->filename + "'" : std::string(", no model");
    if (scene.camera_scene.object != nullptr) {
        text += std::string(", borrows ") +
                (scene.camera_scene_only_direction ? "the camera direction" : "the camera") +
                " of '" + scene.camera_scene.object->name + "'";
    }
    return text + ")";
}

// Decodes the samples with SDL's dummy audio driver, to tell their lengths without a sound
// card. Returns false when the mixer cannot be opened even so.
bool open_audio_for_decoding() {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    return SDL_Init(SDL_INIT_AUDIO) == 0 && open_audio_device();
}

}  // namespace

int run_info(const Arguments& args) {
    const ParsedArguments parsed = parse_command(args, kInfoHelp, "INPUT", {}, {});
    if (parsed.help)
        return 0;

    const PackageBytes package = load_package_file(parsed.positional[0]);
    std::unique_ptr<Demo> demo = read_demo(package);
    if (!demo->audio_samples.empty() && open_audio_for_decoding()) {
        for (const auto& sample : demo->audio_samples)
            decode_audio_sample(*sample);
    }

    std::printf("%s: %s of %s\n", parsed.positional[0].c_str(),
                package.project  ? "project document"
                : package.packed ? "packed player with a package"
                                 : "bare package",
                human_bytes(package.size).c_str());
    std::printf("\nCollections (%llu objects):\n",
                static_cast<unsigned long long>(demo->total_objects));
    demo->visit_collections([&](size_t which, const auto& elements) {
        std::printf("  %-14s %llu\n", std::string(kCollectionNames[which]).c_str(),
                    static_cast<unsigned long long>(elements.size()));
        for (const auto& element : elements)
            std::printf("    %s\n", describe(*element).c_str());
    });

    const auto bytes = [](const std::unique_ptr<ByteBuffer>& buffer) -> uint64_t {
        return buffer ? buffer->size() : 0;
    };
    uint64_t data_bytes = 0, sound_bytes = 0, image_bytes = 0, model_bytes = 0, font_bytes = 0;
    for (const auto& data : demo->datas)
        data_bytes += bytes(data->buffer);
    for (const auto& sample : demo->audio_samples)
        sound_bytes += sample->encoded_size();
    for (const auto& texture : demo->textures)
        image_bytes += bytes(texture->image_buffer);
    for (const auto& model : demo->models)
        model_bytes += bytes(model->buffer);
    for (const auto& font : demo->fonts)
        font_bytes += bytes(font->font_buffer);
    std::printf("\nContents:\n");
    std::printf("  images         %s\n", human_bytes(image_bytes).c_str());
    std::printf("  fonts          %s\n", human_bytes(font_bytes).c_str());
    std::printf("  sounds         %s\n", human_bytes(sound_bytes).c_str());
    std::printf("  models         %s\n", human_bytes(model_bytes).c_str());
    std::printf("  data blobs     %s\n", human_bytes(data_bytes).c_str());
    std::printf("  music          %s\n", human_bytes(bytes(demo->music)).c_str());

    std::printf("\nTiming:\n");
    std::printf("  tempo          %g bpm\n", demo->bpm);
    std::printf("  beat offset    %g beats\n", demo->beat_offset);
    std::printf("  end beat       %g\n", demo->end_beat);
    if (demo->bpm > 0.0f) {
        std::printf("  length         %.2f s\n",
                    music_seconds_at(demo->end_beat, demo->bpm, demo->beat_offset));
    } else {
        std::printf("  length         never ends (the tempo is not positive)\n");
    }

    const std::vector<std::string> dangling = find_reference_problems(*demo);
    if (dangling.empty()) {
        std::printf("\nReferences: all resolve\n");
    } else {
        std::printf("\nReferences that resolve to nothing (%zu):\n", dangling.size());
        for (const std::string& line : dangling)
            std::printf("  %s\n", line.c_str());
    }
    return 0;
}

}  // namespace demo
