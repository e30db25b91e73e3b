#include "timeline/track_evaluation.h"

#include <cmath>
#include <cstdio>

#include "serialization/text_encoding.h"

namespace demo {

int32_t truncate_to_int(float value) {
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {

std::string format_float(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    return text;
}

void replace_first(std::string& text, const std::string& placeholder, const std::string& by) {
    const size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), by);
}

// Catmull-Rom through p1..p2, with p0 and p3 the outer neighbours.
float catmull_rom(float p0, float p1, float p2, float p3, float u) {
    const float u2 = u * u;
    const float u3 = u2 * u;
    return 0.5f * (2.0f * p1 + (p2 - p0) * u + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * u2 +
                   (-p0 + 3.0f * p1 - 3.0f * p2 + p3) * u3);
}

}  // namespace

float evaluate_track(const ControlTrack& track, float t) {
    const std::vector<ControlPoint>& p = track.points;
    const int64_t n = static_cast<int64_t>(p.size());
    if (n == 0)
        return 0.0f;

    int64_t cur = -1;
    int64_t next = -1;
    for (int64_t i = 0; i < n; ++i) {
        if (t >= p[i].beat) {
            cur = i;
        } else if (cur >= 0) {
            next = i;
            break;
        }
    }
    if (cur < 0)
        return 0.0f;
    if (next < 0) {
        next = cur + 1;
        if (next == n)
            next = track.repeat ? 0 : n - 1;
    }
    int64_t after = next + 1;
    if (after == n)
        after = track.repeat ? 0 : n - 1;
    const int64_t prev = cur == 0 ? (track.repeat ? n - 1 : 0) : cur - 1;

    switch (track.mode) {
        case kModeLastValue:
            return p[cur].value;
        case kModeLinear: {
            const float d = p[next].beat - p[cur].beat;
            if (d == 0.0f)
                return p[cur].value;
            const float u = (t - p[cur].beat) / d;
            return (1.0f - u) * p[cur].value + u * p[next].value;
        }
        case kModeSmooth: {
            const float d = p[next].beat - p[cur].beat;
            if (d == 0.0f)
                return p[cur].value;
            const float u = (t - p[cur].beat) / d;
            const float p1 = p[cur].value;
            const float p2 = p[next].value;
            // Neighbours closer than 0.05 beats would make the curve overshoot; they are
            // replaced by the segment's own end values.
            const float after_gap = p[after].beat - p[next].beat;
            const float prev_gap = p[cur].beat - p[prev].beat;
            const float p3 = static_cast<double>(after_gap) > 0.05 ? p[after].value : p2;
            const float p0 = static_cast<double>(prev_gap) > 0.05 ? p[prev].value : p1;
            return catmull_rom(p0, p1, p2, p3, u);
        }
        default:
            return 0.0f;
    }
}

int64_t current_text_point(const ControlTrack& track, float t) {
    int64_t cur = -1;
    for (size_t i = 0; i < track.points.size(); ++i) {
        if (track.points[i].beat <= t)
            cur = static_cast<int64_t>(i);
    }
    return cur;
}

std::string replace_placeholders(std::string text, float global_beat, float point_beat,
                                 float event_start) {
    const float absolute = point_beat + event_start;
    replace_first(text, "<BEAT>", format_float(global_beat));
    replace_first(text, "<IBEAT>", std::to_string(truncate_to_int(global_beat)));
    replace_first(text, "<CP>", format_float(point_beat));
    replace_first(text, "<ICP>", std::to_string(truncate_to_int(point_beat)));
    replace_first(text, "<ACP>", format_float(absolute));
    replace_first(text, "<IACP>", std::to_string(truncate_to_int(absolute)));
    return text;
}

std::string type_on(const std::string& text, float t, float point_beat, float next_beat,
                    int32_t chars_per_beat) {
    const float u = (t - point_beat) / (next_beat - point_beat);
    const int64_t length = static_cast<int64_t>(text.size());
    const float typed =
        std::floor(u * static_cast<float>(length) * static_cast<float>(chars_per_beat));
    int64_t k = static_cast<int64_t>(truncate_to_int(typed)) + 1;
    if (length == 0 || k < 0 || k >= length)
        return text;
    // UTF-8 text types on whole characters: half a character would turn the cut text into
    // bytes that render as Latin-1.
    if (is_valid_utf8(text))
        k = static_cast<int64_t>(utf8_cut_point(text, static_cast<size_t>(k)));
    return text.substr(0, static_cast<size_t>(k));
}

}  // namespace demo
