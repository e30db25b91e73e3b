#include "timeline/event_group.h"

#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"
#include "timeline/event.h"

namespace demo {

Json EventGroup::to_json(bool /*export_files*/) const {
    Json members = Json::array();
    for (const auto& member : events) {
        members.push_back(member.object != nullptr ? member.object->name : member.key);
    }
    Json value = Json::object();
    value["name"] = name;
    value["events"] = std::move(members);
    return value;
}

void EventGroup::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_u64(out, events.size());
    for (const auto& member : events)
        write_u64(out, out.id_of(member.object));
}

void EventGroup::from_json(const Json& value) {
    name = json_string(value, "name");
    events.clear();
    for (const Json& element : json_array(value, "events")) {
        ObjectRef<Event> member;
        member.key = element.is_string() ? element.get<std::string>() : std::string();
        events.push_back(std::move(member));
    }
}

void EventGroup::read_binary(InputStream& in) {
    name = read_string(in, "an event group name");
    const uint64_t count = read_count(in, 8, "an event group's member count");
    events.assign(count, ObjectRef<Event>{});
    for (auto& member : events)
        member.id = read_u64(in, "an event group member");
}

void EventGroup::resolve_references(const IdRegistry& registry) {
    for (auto& member : events)
        member.resolve(registry);
}

void EventGroup::resolve_references(const JsonKeyMaps& keys) {
    for (auto& member : events)
        member.resolve(keys.events);
}

bool EventGroup::earliest_member_start(float& start) const {
    bool found = false;
    for (const auto& member : events) {
        if (member.object == nullptr)
            continue;
        if (!found || member.object->start_beat < start)
            start = member.object->start_beat;
        found = true;
    }
    return found;
}

}  // namespace demo
