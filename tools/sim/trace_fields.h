#pragma once
// A record's traced fields as JSON members, in the order of its field list (state_fields.h),
// for zindle-sim's trace line. Works on the game's objects as on their records.
#include "json.h"
#include "match/state_fields.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zindle::sim {

class TraceFields {
public:
    void operator()(const Field& f, double v) {
        std::string text;
        appendNumber(text, v);
        add(f, std::move(text));
    }
    void operator()(const Field& f, int v) { add(f, std::to_string(v)); }
    void operator()(const Field& f, std::int64_t v) { add(f, std::to_string(v)); }
    void operator()(const Field& f, bool v) { add(f, v ? "true" : "false"); }
    void operator()(const Field& f, const std::string& v) {
        std::string text;
        appendString(text, v);
        add(f, std::move(text));
    }
    void operator()(const Field& f, const std::vector<int>& v) {
        std::string text = "[";
        for (const int k : v)
            text += (text.size() > 1 ? "," : "") + std::to_string(k);
        add(f, text + "]");
    }
    // A link is an index in a record and a pointer in the game: the trace leaves it out.
    template <class T> void operator()(const Link&, const T&) {}
    template <class B, class S> void operator()(Base<B>, const S& s) {
        StateFields<B>::visit(*this, s);
    }

    void into(JsonObject& json) const {
        for (const auto& [name, value] : members_)
            json.raw(name, value);
    }

private:
    void add(const Field& f, std::string value) {
        if (!f.traced)
            return;
        auto at = members_.end();
        if (f.tracedAfter) {
            const auto before = std::find_if(members_.begin(), members_.end(), [&](const auto& m) {
                return m.first == f.tracedAfter;
            });
            if (before != members_.end())
                at = before + 1;
        }
        members_.emplace(at, f.name, std::move(value));
    }

    std::vector<std::pair<std::string_view, std::string>> members_;
};

// The traced fields of object by the list of record type S, as one JSON object.
template <class S, class Object> std::string traceJson(const Object& object) {
    TraceFields fields;
    StateFields<S>::visit(fields, object);
    JsonObject json;
    fields.into(json);
    return json.str();
}

} // namespace zindle::sim
