#include "timeline/timeline_check.h"

#include <algorithm>
#include <set>

#include "demo/demo.h"  // checks the whole demo's events and groups

namespace demo {

namespace {

// Follows group events depth first; reports a path back to a group event already on it.
void find_cycles(const Event& event, std::vector<const Event*>& path,
                 std::set<const Event*>& reported, std::vector<std::string>& lines) {
    if (event.type != kGroupEvent || event.group.object == nullptr)
        return;
    auto on_path = std::find(path.begin(), path.end(), &event);
    if (on_path != path.end()) {
        if (reported.insert(&event).second) {
            std::string cycle;
            for (auto it = on_path; it != path.end(); ++it) {
                cycle += "'" + (*it)->name + "' -> ";
            }
            lines.push_back("group event cycle: " + cycle + "'" + event.name +
                            "'; the repeated group event is skipped");
        }
        return;
    }
    path.push_back(&event);
    for (const auto& member : event.group.object->events) {
        if (member.object != nullptr)
            find_cycles(*member.object, path, reported, lines);
    }
    path.pop_back();
}

// "effect event 'comets'", as the frame walk knows it.
std::string event_label(const Event& event) {
    const char* kind = event.type == kEffectEvent        ? "effect event"
                       : event.type == kAudioSampleEvent ? "audio-sample event"
                                                         : "group event";
    return std::string(kind) + " '" + event.name + "'";
}

// ": effect 'cometview' names nothing" for a name a project gave, ": has no effect" otherwise.
std::string unresolved(const char* what, const std::string& key) {
    return key.empty() ? std::string(" has no ") + what
                       : std::string(": ") + what + " '" + key + "' names nothing";
}

}  // namespace

std::vector<std::string> find_timeline_problems(const Demo& demo) {
    std::vector<std::string> lines;
    for (const auto& event : demo.events) {
        const std::string label = event_label(*event);
        // An effect without a program says so itself, once for all its events.
        if (event->type == kEffectEvent && event->effect.object == nullptr) {
            lines.push_back(label + unresolved("effect", event->effect.key) +
                            ", so the event is skipped");
        } else if (event->type == kGroupEvent && event->group.object == nullptr) {
            lines.push_back(label + unresolved("group", event->group.key) +
                            ", so the event is skipped");
        } else if (event->type == kAudioSampleEvent && event->audio_sample.object == nullptr) {
            lines.push_back(label + unresolved("audio sample", event->audio_sample.key) +
                            ", so nothing sounds");
        }
    }
    for (const auto& group : demo.event_groups) {
        for (const auto& member : group->events) {
            if (member.object == nullptr) {
                lines.push_back(
                    "event group '" + group->name + "': " +
                    (member.key.empty() ? std::string("a member") : "member '" + member.key + "'") +
                    " names no event and is skipped");
            }
        }
    }
    std::set<const Event*> reported;
    for (const auto& event : demo.events) {
        std::vector<const Event*> path;
        find_cycles(*event, path, reported, lines);
    }
    return lines;
}

}  // namespace demo
