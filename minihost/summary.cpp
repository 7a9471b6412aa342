#include "minihost/summary.h"

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
    {
        std::fprintf(out, "unpaired   %zu selected %s left as %s\n", s.unpaired,
                     plural(s.unpaired, "triangle", "triangles"), plural(s.unpaired, "it was", "they were"));
        std::fprintf(out, "seams      %zu new %s where the old pair disagreed on texture coordinate or normal\n",
                     s.seams, plural(s.seams, "corner", "corners"));
    }
    if (!s.output.empty())
        std::fprintf(out, "written    %s\n", s.output.c_str());
    else
        std::fprintf(out, "written    nothing: %s\n", s.not_written.c_str());
    std::fprintf(out, "time       read %.1f ms, command %.1f ms, write %.1f ms\n", s.read_ms, s.command_ms, s.write_ms);

    for (size_t i = 0; i < s.spun.size() && i < pairs_listed; ++i)
    {
        const spun_pair &p = s.spun[i];
        std::fprintf(out, "  faces %u+%u: edge %u-%u -> %u-%u\n", p.faces[0], p.faces[1], p.old_diagonal[0],
                     p.old_diagonal[1], p.new_diagonal[0], p.new_diagonal[1]);
    }
    if (s.spun.size() > pairs_listed)
        std::fprintf(out, "  ... and %zu more\n", s.spun.size() - pairs_listed);
}

} // namespace minihost
