// demotool check: loads the demo as the player would and reports everything that would make
// it play other than authored. What a demo maker runs before handing a demo in.
#include <cstdio>
#include <string>
#include <vector>

#include "checked_project.h"
#include "command_line.h"
#include "commands.h"
#include "common/package_file.h"
#include "offscreen/offscreen_player.h"
#include "quiet_load.h"
#include "reference_check.h"
#include "render/shader_compiler.h"
#include "scene/model.h"
#include "scene/scene.h"
#include "timeline/scene_driver.h"

namespace demo {

namespace {

constexpr const char* kCheckHelp =
    "usage: demotool check INPUT\n"
    "\n"
    "Loads the demo of a project document, a packed player or a bare package as the player\n"
    "would (needs an OpenGL context, e.g. under xvfb-run) and reports every shader compile or\n"
    "link message of the loaded demo, uniform definitions the shader does not declare, event\n"
    "tracks that drive nothing, images, sounds and fonts that do not decode, references that\n"
    "name nothing, and glTF models and scenes that will not draw or move as authored.\n"
    "\n"
    "A project document is first checked as written, in one run: keys no reader takes (with\n"
    "the nearest known key), values of the wrong JSON type or out of range, and every side\n"
    "file that is not there. Compile messages name the file, line and column you edit.\n"
    "Exits with status 1 when anything is wrong.\n";

// True when a track of that name on an event of `effect` drives something.
bool track_drives_something(const Effect& effect, const std::string& track) {
    if (is_builtin_track(track))
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
void check_scenes(const Demo& demo, const DocumentFindings& findings,
                  std::vector<std::string>& problems) {
    for (size_t i = 0; i < demo.models.size(); ++i) {
        if (findings.is_missing("models", i))
            continue;  // a file of it is missing, which is said already
        for (const std::string& line : demo.models[i]->problems())
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

// Every compile and link message of the loaded demo's programs in the file and line the demo
// maker edits, each once; uniforms of a program that does not build are not looked at.
void check_programs(const Demo& demo, const DocumentFindings& findings,
                    std::vector<std::string>& problems) {
    for (size_t i = 0; i < demo.shaders.size(); ++i) {
        const ShaderProgram& program = *demo.shaders[i];
        if (findings.is_missing("shaders", i))
            continue;  // its file is missing, which is said already
        const std::vector<std::string> messages = build_messages(program);
        problems.insert(problems.end(), messages.begin(), messages.end());
        if (!messages.empty())
            continue;
        for (const std::string& line : uniform_type_problems(program))
            problems.push_back("program " + program_name(program) + ": " + line);
        for (const auto& def : program.uniform_defs) {
            if (def->location == -1) {
                problems.push_back("program " + program_name(program) + ": uniform '" + def->name +
                                   "' is not declared (or not used) by the shader");
            }
        }
    }
}

// What the loaded demo's images, sounds, fonts and tracks would do other than authored; what
// stands for a missing side file is not looked at.
void check_resources(const Demo& demo, const DocumentFindings& findings,
                     std::vector<std::string>& problems) {
    for (size_t i = 0; i < demo.textures.size(); ++i) {
        if (demo.textures[i]->texture_id == 0 && !findings.is_missing("textures", i)) {
            problems.push_back("texture '" + demo.textures[i]->name +
                               "': the image does not decode");
        }
    }
    for (size_t i = 0; i < demo.audio_samples.size(); ++i) {
        if (demo.audio_samples[i]->chunk == nullptr && !findings.is_missing("audio_samples", i)) {
            problems.push_back("audio sample '" + demo.audio_samples[i]->name +
                               "': the sound does not decode");
        }
    }
    for (size_t i = 0; i < demo.fonts.size(); ++i) {
        if (demo.fonts[i]->ttf_font == nullptr && !findings.is_missing("fonts", i))
            problems.push_back("font '" + demo.fonts[i]->name + "': does not open");
    }
    for (const auto& event : demo.events) {
        // Without its program an effect draws nothing, which is said already.
        if (event->type == kEffectEvent && event->effect.object != nullptr &&
            event->effect.object->program.object != nullptr) {
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
}

}  // namespace

int run_check(const Arguments& args) {
    const ParsedArguments parsed = parse_command(args, kCheckHelp, "INPUT", {}, {});
    if (parsed.help)
        return 0;

    const PackageBytes package = load_package_file(parsed.positional[0]);
    OffscreenPlayer player(320, 180);
    // A project is checked as written first; its demo then loads with what is missing read as
    // empty, so that everything else is found in the same run. What loading prints is said
    // below in check's own words, once.
    DocumentFindings findings;
    Demo* loaded = nullptr;
    if (package.project) {
        CheckedProject checked = read_checked_project(package, offscreen_media());
        findings = std::move(checked.findings);
        const QuietLoad quiet;
        loaded = &player.adopt(finish_loading(std::move(checked.demo)));
    } else {
        const QuietLoad quiet;
        loaded = &player.load(package);
    }
    const Demo& demo = *loaded;

    std::vector<std::string> problems = findings.problems;
    for (std::string& line : find_reference_problems(demo))
        problems.push_back(std::move(line));
    check_programs(demo, findings, problems);
    check_resources(demo, findings, problems);
    check_scenes(demo, findings, problems);

    for (std::string line : problems) {
        line.erase(line.find_last_not_of(" \t\n") +
                   1);  // driver and library texts end in a line break
        std::printf("%s\n", line.c_str());
    }
    if (problems.empty()) {
        std::printf("%s: no problems found\n", parsed.positional[0].c_str());
        return 0;
    }
    std::printf("%s: %zu problem%s\n", parsed.positional[0].c_str(), problems.size(),
                problems.size() == 1 ? "" : "s");
    return 1;
}

}  // namespace demo
