#include "minihost/summary.h"

#include <algorithm>
#include <iterator>

namespace minihost
{

namespace
{

// long lists of pairs help nobody on a terminal
const size_t pairs_listed = 10;

const char *plural(size_t n, const char *one, const char *many)
{
    return n == 1 ? one : many;
}

// ": faces 3, 7, 9" or ": faces 3+10, 4+9", cut short like the pair list
template <typename T, typename F> std::string face_list(const std::vector<T> &items, F &&text_of)
{
    std::string text;
    size_t n = 0;
    for (const T &item : items)
    {
        if (n++ == pairs_listed)
            return text + ", ... and " + std::to_string(items.size() - pairs_listed) + " more";
        text += (text.empty() ? ": faces " : ", ") + text_of(item);
    }
    return text;
}

std::string pair_text(const spun_pair &p)
{
    return std::to_string(p.faces[0]) + "+" + std::to_string(p.faces[1]);
}

// a count, what it counts, the faces behind it and, when there are any, what it means
void count_line(std::FILE *out, const char *label, size_t n, const std::string &what, const std::string &faces,
                const char *hint)
{
    std::fprintf(out, "%-10s %zu %s%s\n", label, n, what.c_str(), faces.c_str());
    if (n > 0)
        std::fprintf(out, "%-10s %s\n", "", hint);
}

void print_reasons(std::FILE *out, const reasons &why)
{
    for (const pair_reason &r : pair_reasons)
    {
        std::vector<spun_pair> pairs;
        std::copy_if(why.pairs.begin(), why.pairs.end(), std::back_inserter(pairs),
                     [&](const spun_pair &p) { return p.*r.flag; });
        count_line(out, r.label, pairs.size(), std::string(plural(pairs.size(), "pair ", "pairs ")) + r.what,
                   face_list(pairs, pair_text), r.hint);
    }
    size_t seams = why.seams.size();
    count_line(out, seam_hint.label, seams, std::string(plural(seams, "new corner ", "new corners ")) + seam_hint.what,
               face_list(why.seams, [](const seam_corner &c) { return std::to_string(c.face); }), seam_hint.hint);

    size_t n = why.unpaired.size();
    std::fprintf(out, "unpaired   %zu selected %s left as %s%s\n", n, plural(n, "triangle", "triangles"),
                 plural(n, "it was", "they were"),
                 face_list(why.unpaired, [](const unpaired_triangle &t) { return std::to_string(t.face); }).c_str());
    std::vector<unpaired_triangle> taken;
    std::copy_if(why.unpaired.begin(), why.unpaired.end(), std::back_inserter(taken),
                 [](const unpaired_triangle &t) { return t.neighbour_taken; });
    count_line(out, "  taken", taken.size(), taken_hint.what,
               face_list(taken, [](const unpaired_triangle &t) { return std::to_string(t.face); }), taken_hint.hint);
}

std::string reason_tags(const spun_pair &p)
{
    std::string tags;
    for (const pair_reason &r : pair_reasons)
        if (p.*r.flag)
            tags += (tags.empty() ? "  (" : ", ") + std::string(r.label);
    return tags.empty() ? tags : tags + ")";
}

} // namespace

void print_summary(std::FILE *out, const run_summary &s)
{
    std::fprintf(out, "input      %s: %zu %s, %zu %s\n", s.input.c_str(), s.points, plural(s.points, "point", "points"),
                 s.faces, plural(s.faces, "face", "faces"));
    std::fprintf(out, "selected   %zu %s: %zu %s, %zu other %s ignored\n", s.selected,
                 plural(s.selected, "face", "faces"), s.selected_triangles,
                 plural(s.selected_triangles, "triangle", "triangles"), s.ignored,
                 plural(s.ignored, "polygon", "polygons"));

    const char *pairs_note = s.outcome == run_outcome::aborted          ? " before the abort, all discarded"
                             : s.outcome == run_outcome::command_failed ? ", all discarded"
                                                                        : "";
    std::fprintf(out, "spun       %zu %s%s\n", s.pairs, plural(s.pairs, "pair", "pairs"), pairs_note);
    if (s.outcome == run_outcome::done)
        print_reasons(out, s.why);
    if (!s.output.empty())
        std::fprintf(out, "written    %s\n", s.output.c_str());
    else
        std::fprintf(out, "written    nothing: %s\n", s.not_written.c_str());
    if (!s.picture.empty())
        std::fprintf(out, "picture    %s\n", s.picture.c_str());
    std::fprintf(out, "time       read %.1f ms, command %.1f ms, write %.1f ms\n", s.read_ms, s.command_ms, s.write_ms);

    const std::vector<spun_pair> &spun = s.why.pairs;
    for (size_t i = 0; i < spun.size() && i < pairs_listed; ++i)
    {
        const spun_pair &p = spun[i];
        std::fprintf(out, "  faces %u+%u: edge %u-%u -> %u-%u%s\n", p.faces[0], p.faces[1], p.old_diagonal[0],
                     p.old_diagonal[1], p.new_diagonal[0], p.new_diagonal[1], reason_tags(p).c_str());
    }
    if (spun.size() > pairs_listed)
        std::fprintf(out, "  ... and %zu more\n", spun.size() - pairs_listed);
}

} // namespace minihost
