// The summary as JSON: the fields and their order are documented in the README.
#include <nlohmann/json.hpp>

#include "minihost/summary.h"

namespace minihost
{

namespace
{

using json = nlohmann::ordered_json;

json pair_numbers(const uint32_t (&faces)[2])
{
    return json::array({faces[0], faces[1]});
}

template <typename T, typename F> json numbers(const std::vector<T> &items, F &&number_of)
{
    json list = json::array();
    for (const T &item : items)
        list.push_back(number_of(item));
    return list;
}

// a count, its hint and the faces behind it, in both numberings
template <typename T, typename In, typename Out>
json reason(const std::vector<T> &items, const char *hint, In &&input, Out &&output)
{
    return {
        {"count", items.size()}, {"hint", hint}, {"input", numbers(items, input)}, {"output", numbers(items, output)}};
}

json text_or_null(const std::string &text)
{
    return text.empty() ? json(nullptr) : json(text);
}

const char *outcome_name(run_outcome outcome)
{
    switch (outcome)
    {
    case run_outcome::done:
        return "done";
    case run_outcome::command_failed:
        return "command_failed";
    case run_outcome::aborted:
        return "aborted";
    }
    return "command_failed";
}

json reasons_json(const reasons &why)
{
    json out = json::object();
    std::vector<unpaired_triangle> taken;
    for (const unpaired_triangle &t : why.unpaired)
        if (t.neighbour_taken)
            taken.push_back(t);
    out[taken_hint.key] = reason(
        taken, taken_hint.hint, [](const unpaired_triangle &t) { return t.face; },
        [](const unpaired_triangle &t) { return t.output; });

    for (const pair_reason &r : pair_reasons)
    {
        std::vector<spun_pair> pairs;
        for (const spun_pair &p : why.pairs)
            if (p.*r.flag)
                pairs.push_back(p);
        out[r.key] = reason(
            pairs, r.hint, [](const spun_pair &p) { return pair_numbers(p.faces); },
            [](const spun_pair &p) { return pair_numbers(p.output); });
    }

    json seams = reason(
        why.seams, seam_hint.hint, [](const seam_corner &c) { return c.face; },
        [](const seam_corner &c) { return c.output; });
    seams["points"] = numbers(why.seams, [](const seam_corner &c) { return c.point; });
    out[seam_hint.key] = std::move(seams);
    return out;
}

json spun_json(const run_summary &s)
{
    json pairs = json::array();
    if (s.outcome == run_outcome::done)
        for (const spun_pair &p : s.why.pairs)
        {
            json tags = json::array();
            for (const pair_reason &r : pair_reasons)
                if (p.*r.flag)
                    tags.push_back(r.key);
            pairs.push_back({{"input", pair_numbers(p.faces)},
                             {"output", pair_numbers(p.output)},
                             {"old_edge", pair_numbers(p.old_diagonal)},
                             {"new_edge", pair_numbers(p.new_diagonal)},
                             {"reasons", std::move(tags)}});
        }
    return {{"count", s.pairs}, {"pairs", std::move(pairs)}};
}

} // namespace

std::string json_summary(const run_summary &s, const std::vector<std::string> *log)
{
    bool done = s.outcome == run_outcome::done;
    json out = {
        {"input", {{"file", s.input}, {"points", s.points}, {"faces", s.faces}}},
        {"selected", {{"faces", s.selected}, {"triangles", s.selected_triangles}, {"ignored", s.ignored}}},
        {"outcome", outcome_name(s.outcome)},
        {"spun", spun_json(s)},
    };
    if (done)
        out["unpaired"] = reason(
            s.why.unpaired, "selected triangles the command took and left as they were",
            [](const unpaired_triangle &t) { return t.face; }, [](const unpaired_triangle &t) { return t.output; });
    else
        out["unpaired"] = nullptr;
    out["reasons"] = done ? reasons_json(s.why) : json(nullptr);
    out["output"] = text_or_null(s.output);
    out["not_written"] = text_or_null(s.not_written);
    out["picture"] = text_or_null(s.picture);
    out["time_ms"] = {{"read", s.read_ms}, {"command", s.command_ms}, {"write", s.write_ms}};
    if (log)
        out["log"] = *log;
    // one line: a million triangles' report stays a file of tens of MB, and jq
    // or any JSON viewer indents it
    return out.dump() + "\n";
}

} // namespace minihost
