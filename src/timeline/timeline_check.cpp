#include "timeline/timeline_check.h"

#include <algorithm>
#include <set>

#include "serialization/demo.h"

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

}  // namespace

std::vector<std::string> find_timeline_problems(const Demo& demo) {
    std::vector<std::string> lines;
    for (const auto& event : demo.events) {
        if (event->type == kEffectEvent) {
            if (event->effect.object == nullptr) {
                lines.push_back("effect event '" + event->name + "' has no effect and is skipped");
            } else if (event->effect.object->program.object == nullptr) {
                lines.push_back("effect event '" + event->name + "': effect '" +
                                event->effect.object->name + "' has no program; skipped");
            }
        } else if (event->type == kGroupEvent && event->group.object == nullptr) {
            lines.push_back("group event '" + event->name + "' has no group and is skipped");
        }
    }
    for (const auto& group : demo.event_groups) {
        for (const auto& member : group->events) {
            if (member.object == nullptr) {
                lines.push_back("event group '" + group->name +
                                "': a member names no event and is skipped");
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
