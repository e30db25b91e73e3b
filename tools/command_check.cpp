// demotool check: loads the demo as the player would and reports everything that would make
// it play other than authored. What a demo maker runs before handing a demo in.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "offscreen_player.h"
#include "package_file.h"
#include "render/shader_compiler.h"
#include "scene/model.h"
#include "scene/scene.h"
#include "timeline/timeline_check.h"

namespace demo {

namespace {

constexpr const char* kCheckHelp =
    "usage: demotool check INPUT\n"
    "\n"
    "Loads the demo of a project document, a packed player or a bare package as the player\n"
    "would (needs an OpenGL context, e.g. under xvfb-run) and reports every shader compile or\n"
    "link message of the loaded demo, uniform definitions the shader does not declare, event\n"
    "tracks that drive nothing, images, sounds and fonts that do not decode, references that\n"
    "name nothing, and glTF models and scenes that will not draw or move as authored. Exits\n"
    "with status 1 when anything is wrong.\n";

// Tracks every effect event may carry besides uniforms and texts: camera, light, animation.
const std::set<std::string> kBuiltinTracks = {"camera_position_x",
                                              "camera_position_y",
                                              "camera_position_z",
                                              "camera_direction_x",
                                              "camera_direction_y",
                                              "camera_direction_z",
                                              "camera_up_x",
                                              "camera_up_y",
                                              "camera_up_z",
                                              "ldD",
                                              "ldX",
                                              "ldY",
                                              "ldZ",
                                              "animation_index",
                                              "animation_position",
                                              "animation_divider",
                                              "animation_start",
                                              "animation_end"};

// True when a track of that name on an event of `effect` drives something.
bool track_drives_something(const Effect& effect, const std::string& track) {
    if (kBuiltinTracks.count(track) != 0)
        return true;
    if (effect.program.object != nullptr) {
        for (const auto& def : effect.program.object->uniform_defs) {
            if (def->name == track)
                return true;
        }
    }
    for (const auto& text : effect.font_textures) {
        if (text.object != nullptr && text.object->name == track)
            return true;
    }
    return false;
}

std::string program_name(const ShaderProgram& program) {
    return "'" + program.fragment_shader_filename + "'";
}

// What would keep the demo's 3D scenes from showing as authored.
void check_scenes(const Demo& demo, std::vector<std::string>& problems) {
    for (const auto& model : demo.models) {
        for (const std::string& line : model->problems())
            problems.push_back(line);
    }
    for (const auto& scene : demo.scenes) {
        for (const std::string& line : scene->problems())
            problems.push_back(line);
    }
    for (const auto& effect : demo.effects) {
        const ShaderProgram* program = effect->program.object;
        if (effect->scene.object != nullptr && program != nullptr &&
            program->locations.model_view_proj_matrix == -1) {
            problems.push_back("effect '" + effect->name + "': draws scene '" +
                               effect->scene.object->name + "' with program " +
                               program_name(*program) +
                               ", which does not use uModelViewProjMatrix");
        }
    }
    for (const auto& event : demo.events) {
        const Effect* effect = event->type == kEffectEvent ? event->effect.object : nullptr;
        const Scene* scene = effect != nullptr ? effect->scene.object : nullptr;
        const Model* model =
            scene != nullptr && scene->root_node ? scene->root_node->model.object : nullptr;
        // Only a skinless model is animated by mask; a skin that cannot move says why itself.
        if (model != nullptr && model->has_animations && !model->skeleton &&
            event->find_track("animation_index") == nullptr) {
            problems.push_back("event '" + event->name + "': model '" + model->filename +
                               "' is animated per node, but without an 'animation_index' "
                               "track the mask is 0 and nothing moves");
        }
    }
}

}  // namespace

int run_check(const Arguments& args) {
    const ParsedArguments parsed = parse_arguments(args, {}, {});
    if (parsed.help) {
        std::fputs(kCheckHelp, stdout);
        return 0;
    }
    if (parsed.positional.size() != 1)
        throw UsageError{"expects one INPUT"};

    const PackageBytes package = load_package_file(parsed.positional[0]);
    OffscreenPlayer player(320, 180);
    Demo& demo = player.load(package);

    std::vector<std::string> problems;
    for (const auto& program : demo.shaders) {
        for (const std::string& message : shader_diagnostics(*program)) {
            problems.push_back("program " + program_name(*program) + ": " + message);
        }
        for (const auto& def : program->uniform_defs) {
            if (def->location == -1) {
                problems.push_back("program " + program_name(*program) + ": uniform '" + def->name +
                                   "' is not declared (or not used) by the shader");
            }
        }
    }
    for (const auto& texture : demo.textures) {
        if (texture->texture_id == 0) {
            problems.push_back("texture '" + texture->name + "': the image does not decode");
        }
    }
    for (const auto& sample : demo.audio_samples) {
        if (sample->chunk == nullptr) {
            problems.push_back("audio sample '" + sample->name + "': the sound does not decode");
        }
    }
    for (const auto& font : demo.fonts) {
        if (font->ttf_font == nullptr)
            problems.push_back("font '" + font->name + "': does not open");
    }
    for (const auto& texture : demo.font_textures) {
        if (texture->font.object == nullptr) {
            problems.push_back("font texture '" + texture->name + "' names no font");
        }
    }
    for (const auto& effect : demo.effects) {
        for (const std::string& line : effect->dangling_references())
            problems.push_back(line);
    }
    for (const auto& event : demo.events) {
        if (event->type == kAudioSampleEvent && event->audio_sample.object == nullptr) {
            problems.push_back("audio-sample event '" + event->name + "' names no audio sample");
        }
        if (event->type == kEffectEvent && event->effect.object != nullptr) {
            for (const auto& [track, points] : event->control_points) {
                if (!track_drives_something(*event->effect.object, track)) {
                    problems.push_back("event '" + event->name + "': track '" + track +
                                       "' matches no uniform, font texture or built-in track");
                }
            }
        }
        if (event->type == kGroupEvent && event->group.object != nullptr) {
            // Group tracks are "<member>.<target>".
            for (const auto& [track, points] : event->control_points) {
                bool drives = false;
                for (const auto& member : event->group.object->events) {
                    const Event* m = member.object;
                    if (m == nullptr || m->type != kEffectEvent || m->effect.object == nullptr)
                        continue;
                    const std::string prefix = m->name + ".";
                    if (track.compare(0, prefix.size(), prefix) == 0 &&
                        track_drives_something(*m->effect.object, track.substr(prefix.size()))) {
                        drives = true;
                    }
                }
                if (!drives) {
                    problems.push_back("group event '" + event->name + "': track '" + track +
                                       "' matches no member's uniform or font texture");
                }
            }
        }
    }
    check_scenes(demo, problems);
    for (const std::string& line : find_timeline_problems(demo))
        problems.push_back(line);

    for (const std::string& line : problems)
        std::printf("%s\n", line.c_str());
    if (problems.empty()) {
        std::printf("%s: no problems found\n", parsed.positional[0].c_str());
        return 0;
    }
    std::printf("%s: %zu problem%s\n", parsed.positional[0].c_str(), problems.size(),
                problems.size() == 1 ? "" : "s");
    return 1;
}

}  // namespace demo
