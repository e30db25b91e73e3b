// A reusable block of events that group events place on the timeline at their own start.
#pragma once

#include <string>
#include <vector>

#include "serialization/id_registry.h"
#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"

namespace demo {

class EventGroup : public ISerializable {
public:
    std::string name;
    std::vector<ObjectRef<Event>> events;  // members, in stored order

    EventGroup() = default;
    explicit EventGroup(InputStream& in) { read_binary(in); }
    explicit EventGroup(const Json& value) { from_json(value); }

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    void resolve_references(const IdRegistry& registry);
    void resolve_references(const JsonKeyMaps& keys);

    // Smallest start beat among the members that exist; the group's local time starts there.
    // False for a group without members.
    bool earliest_member_start(float& start) const;
};

}  // namespace demo
