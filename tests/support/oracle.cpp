#include "oracle.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>

namespace testing_support
{

namespace
{

using lines = std::vector<std::string>;
using tri = std::array<uint32_t, 3>;
using minihost::mesh;
using minihost::polygon;

constexpr size_t none = std::numeric_limits<size_t>::max();

const std::string abort_info = "info \"DaviVere :\" \"Operation aborted at user request\"";

std::string error_line(const std::string &text)
{
    return "error \"" + text + "\" \"\"";
}

std::string out_of_memory(const char *array)
{
    return std::string("Out of memory (malloc failed for ") + array + ")";
}

bool from_shim(const std::string &line)
{
    return line.starts_with("malloc ") || line.starts_with("calloc ") || line.starts_with("realloc ") ||
           line.starts_with("free ");
}

std::string add_line(const mesh &m, const polygon &from, const tri &points)
{
    return "add_polygon " + minihost::type_name(from.type) + " 0 " + m.surfaces()[from.surface] + " 3 " +
           std::to_string(points[0]) + " " + std::to_string(points[1]) + " " + std::to_string(points[2]);
}

bool lists(const tri &t, uint32_t id)
{
    return t[0] == id || t[1] == id || t[2] == id;
}

// tris_adjacent's counting rule: each entry of the second triangle counts
// once, and one entry of the first may match several of them
bool adjacent(const tri &first, const tri &second)
{
    std::array<bool, 3> used{};
    int matches = 0;
    for (uint32_t id : first)
        for (size_t j = 0; j < 3; ++j)
            if (!used[j] && second[j] == id)
                used[j] = true, ++matches;
    return matches == 2;
}

struct pair_of
{
    uint32_t a, b; // first and second member
};

// The plain scan of pairing: its pairs and every record it reads, in order;
// the read numbered null_read (from 1) answers null and fails its test.
struct scan_outcome
{
    std::vector<pair_of> pairs;
    std::vector<uint32_t> reads;
};

scan_outcome scan_pairs(std::span<const uint32_t> order, std::span<const tri> points, size_t null_read)
{
    scan_outcome out;
    std::vector<bool> taken(order.size());
    for (size_t o = 0; o + 1 < order.size(); ++o)
    {
        if (taken[o])
            continue;
        for (size_t i = o + 1; i < order.size(); ++i)
        {
            if (taken[i])
                continue;
            out.reads.push_back(order[i]);
            if (out.reads.size() == null_read)
                continue;
            out.reads.push_back(order[o]);
            if (out.reads.size() == null_read)
                continue;
            if (adjacent(points[i], points[o]))
            {
                out.pairs.push_back({order[o], order[i]});
                taken[i] = true;
                break;
            }
        }
    }
    return out;
}

// The pairs an index forms: the same greedy choice, each triangle read once
// in order; a triangle whose read answered null is adjacent to nothing.
std::vector<pair_of> index_pairs(std::span<const uint32_t> order, std::span<const tri> points, uint32_t excluded)
{
    std::vector<pair_of> pairs;
    std::vector<bool> taken(order.size());
    for (size_t o = 0; o + 1 < order.size(); ++o)
    {
        if (taken[o] || order[o] == excluded)
            continue;
        for (size_t i = o + 1; i < order.size(); ++i)
            if (!taken[i] && order[i] != excluded && adjacent(points[i], points[o]))
            {
                pairs.push_back({order[o], order[i]});
                taken[i] = true;
                break;
            }
    }
    return pairs;
}

struct replacement
{
    uint32_t a, b;
    tri list_a, list_b;
};

// The edge spin's host calls and changes for one pair list.
struct spin_plan
{
    lines calls;
    std::vector<replacement> replaced;
    bool aborted = false;
    size_t null_call = none; // index in calls of the read answered null
};

spin_plan plan_spin(const mesh &original, std::span<const pair_of> pairs, size_t positive_count, bool monitored,
                    uint64_t steps_before, uint64_t abort_at, uint32_t null_read)
{
    spin_plan plan;
    auto points = [&](uint32_t id)
    {
        const std::vector<uint32_t> &p = original.find(id)->points;
        return tri{p[0], p[1], p[2]};
    };
    auto read = [&](uint32_t id)
    {
        plan.calls.push_back("polygon_info " + std::to_string(id));
        if (id != null_read)
            return true;
        plan.null_call = plan.calls.size() - 1;
        return false;
    };

    for (size_t k = 0; k < pairs.size(); ++k)
    {
        if (monitored)
        {
            plan.calls.push_back("step 2");
            if (steps_before + k + 1 == abort_at)
            {
                plan.aborted = true;
                break;
            }
        }
        auto [a, b] = pairs[k];
        if (!read(a) || !read(b))
            continue;
        tri pa = points(a), pb = points(b);

        size_t i = 0;
        while (i < 3 && lists(pb, pa[i]))
            ++i;
        size_t j = 0;
        while (j < 3 && lists(pa, pb[j]))
            ++j;
        if (i == 3 || j == 3)
            continue; // no apex: the pair stays as it is
        uint32_t p = pa[i], u = pa[(i + 1) % 3], v = pa[(i + 2) % 3], q = pb[j];

        bool front = 2 * k < positive_count;
        replacement r{a, b, front ? tri{q, v, p} : tri{q, p, u}, front ? tri{p, u, q} : tri{p, q, v}};
        plan.calls.push_back("remove_polygon " + std::to_string(b));
        plan.calls.push_back(add_line(original, *original.find(b), r.list_b));
        plan.calls.push_back("remove_polygon " + std::to_string(a));
        plan.calls.push_back(add_line(original, *original.find(a), r.list_a));
        plan.replaced.push_back(r);
    }
    return plan;
}

std::string where_differ(std::span<const std::string> got, std::span<const std::string> want, size_t offset)
{
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
    std::string g = i < got.size() ? "'" + got[i] + "'" : "the end";
    std::string w = i < want.size() ? "'" + want[i] + "'" : "the end";
    return "host call " + std::to_string(offset + i) + ": got " + g + ", expected " + w;
}

class judge
{
  public:
    judge(const mesh &before, const minihost::host &after, const run_facts &told)
        : original(before), host(after), f(after.fault), facts(told)
    {
        for (const std::string &line : host.log())
        {
            if (!from_shim(line))
                calls.push_back(line);
            else if (line == "free ?")
                problems.push_back("freed a block it did not allocate");
            else if (!line.starts_with("free "))
                allocations.push_back({line.starts_with("realloc "), line.ends_with("-> null")});
        }
        if (facts.live_blocks && *facts.live_blocks != 0)
            problems.push_back(std::to_string(*facts.live_blocks) + " blocks left allocated");
    }

    std::vector<std::string> verdict()
    {
        run();
        return std::move(problems);
    }

  private:
    struct allocation
    {
        bool resize, failed;
    };

    void run()
    {
        want.push_back("begin_edit 0 0 1");
        int32_t result = !f.begin_edit_null && f.no_monitor_service ? 2 : 0;
        if (facts.result != result)
            problems.push_back("activation result " + std::to_string(facts.result) + ", expected " +
                               std::to_string(result));
        if (f.begin_edit_null)
        {
            compare(calls, want);
            if (host.end_code())
                problems.push_back("an edit that never opened was ended");
            if (!(host.current() == original))
                problems.push_back("the mesh changed without an edit");
            return;
        }

        want.push_back("lookup \"Info Messages\" 1");
        want.push_back("lookup \"QDX: Dynamic Monitor\" 0");
        if (f.no_monitor_service)
        {
            if (!allocations.empty())
                problems.push_back("allocated without a monitor service");
            return finish(0);
        }

        if (next_allocation_failed())
            return finish(0, out_of_memory("dat.polygons"));
        want.push_back("scan_polygons 1");

        // the scan visits the polygons in mesh order, a failing one the
        // first so many of them
        std::vector<polygon> all = original.polygon_list();
        size_t visited = f.scan_fails ? std::min(all.size(), f.scan_fail_after) : all.size();
        int32_t scan_code = f.scan_fails ? f.scan_result : 0;
        std::vector<const polygon *> collected;
        bool growth_failed = false;
        for (size_t i = 0; i < visited && !growth_failed; ++i)
        {
            const polygon &p = all[i];
            if ((p.flags & POLYFLAG_SELECTED) && p.points.size() == 3 &&
                (p.type == POLYTYPE_FACE || p.type == POLYTYPE_PTCH))
            {
                growth_failed = next_allocation_failed(true);
                if (!growth_failed)
                    collected.push_back(&p);
            }
        }
        if (scan_code != 0)
            return finish(scan_code);
        if (growth_failed)
            return finish(0, out_of_memory("dat.polygons"));
        size_t n = collected.size();
        if (n < 2)
            return finish(0, "Select 2 or more adjacent Triangles to spin their shared edges");

        if (n > 512)
        {
            want.push_back("create \"DaviVere\" \"ESC to abort\"");
            monitored = !f.create_null;
            if (monitored)
                want.push_back("init " + std::to_string(2 * n));
        }
        for (const char *array : {"sortpolys", "sortflag"})
            if (next_allocation_failed())
                return finish(0, out_of_memory(array));

        // side ordering: the sign of the centroid's x, from the coordinates;
        // a null record leaves the triangle on the other side
        uint64_t polygon_reads = 0, point_reads = 0;
        std::vector<uint32_t> positive, rest;
        for (const polygon *t : collected)
        {
            want.push_back("polygon_info " + std::to_string(t->id));
            bool whole = ++polygon_reads != f.polygon_info_null_at;
            double x[3] = {};
            for (size_t k = 0; k < 3 && whole; ++k)
            {
                want.push_back("point_info " + std::to_string(t->points[k]));
                const minihost::vec3 *point = original.point(t->points[k]);
                whole = ++point_reads != f.point_info_null_at && point;
                if (whole)
                    x[k] = point->x;
            }
            double s = x[0] + x[1];
            double sum = s + x[2];
            (whole && sum > 0.0 ? positive : rest).push_back(t->id);
        }
        size_t positive_count = positive.size();
        std::vector<uint32_t> order = positive;
        order.insert(order.end(), rest.begin(), rest.end());

        for (const char *array : {"sharepolys", "shareflag"})
            if (next_allocation_failed())
                return finish(0, out_of_memory(array));

        if (!compare(std::span(calls).first(std::min(calls.size(), want.size())), want))
            return;
        null_call = nth_read(f.polygon_info_null_at);
        std::span<const std::string> after(calls.begin() + std::ptrdiff_t(want.size()), calls.end());

        uint64_t steps = monitored ? n - 1 : 0;
        if (monitored && f.abort_at_step >= 1 && f.abort_at_step <= steps)
            return judge_pairing_abort(after);

        std::vector<tri> points;
        for (uint32_t id : order)
        {
            const std::vector<uint32_t> &p = original.find(id)->points;
            points.push_back({p[0], p[1], p[2]});
        }

        // Pairing may read through an index (each triangle once, in order)
        // and fall back to the plain scan at any point of it; each way it
        // could have gone is tried, and the edge spin must follow one.
        std::vector<size_t> at;
        std::vector<uint32_t> ids;
        size_t null_index = none;
        for (size_t i = 0; i < after.size(); ++i)
            if (after[i].starts_with("polygon_info "))
            {
                if (want.size() + i == null_call)
                    null_index = ids.size();
                at.push_back(i);
                ids.push_back(read_id(after[i]));
            }
        auto ends_after = [&](size_t reads)
        {
            size_t end = reads == 0 ? 0 : at[reads - 1] + 1;
            while (end < after.size() && after[end] == "step 1")
                ++end;
            return end;
        };

        std::vector<std::string> first_objection;
        auto judge_option = [&](const std::vector<pair_of> &pairs, size_t end)
        {
            std::vector<std::string> objection = judge_spin(after, end, pairs, positive_count, steps);
            if (first_objection.empty())
                first_objection = objection;
            return objection.empty();
        };
        for (size_t c = 0; c <= std::min(n, ids.size()); ++c)
        {
            if (c > 0 && ids[c - 1] != order[c - 1])
                break;
            if (c == n && judge_option(index_pairs(order, points, null_index < n ? ids[null_index] : 0), ends_after(n)))
                return;
            if (c < ids.size() && ids[c] == order[1])
            {
                scan_outcome scan =
                    scan_pairs(order, points, null_index != none && null_index >= c ? null_index - c + 1 : 0);
                if (c + scan.reads.size() <= ids.size() &&
                    std::equal(scan.reads.begin(), scan.reads.end(), ids.begin() + std::ptrdiff_t(c)) &&
                    judge_option(scan.pairs, ends_after(c + scan.reads.size())))
                    return;
            }
        }
        if (first_objection.empty())
            first_objection.push_back("pairing read neither through an index nor by the plain scan");
        problems.insert(problems.end(), first_objection.begin(), first_objection.end());
    }

    // pairing's lines up to `end`, then the edge spin of its pairs and the closing
    std::vector<std::string> judge_spin(std::span<const std::string> after, size_t end,
                                        const std::vector<pair_of> &pairs, size_t positive_count, uint64_t steps)
    {
        size_t spin_begins = want.size() + end;
        uint32_t null_read = null_call != none && null_call >= spin_begins ? read_id(calls[null_call]) : 0;
        spin_plan plan = plan_spin(original, pairs, positive_count, monitored, steps, f.abort_at_step, null_read);
        int32_t code = plan.aborted ? 4 : 0;
        lines tail = plan.calls;
        append_closing(tail, code, plan.aborted);

        std::vector<std::string> objection = pairing_objection(after.first(end), steps, false);
        if (!std::equal(tail.begin(), tail.end(), after.begin() + std::ptrdiff_t(end), after.end()))
            objection.push_back("edge spin: " + where_differ(after.subspan(end), tail, spin_begins));
        else if (null_read != 0 && null_call != spin_begins + plan.null_call)
            objection.push_back("the edge spin read on after the null read of " + std::to_string(null_read));

        mesh expected = original;
        for (const replacement &r : plan.replaced)
        {
            const polygon a = *original.find(r.a), b = *original.find(r.b);
            expected.remove_polygon(r.b);
            expected.add_polygon(r.list_b, b.type, original.surfaces()[b.surface]);
            expected.remove_polygon(r.a);
            expected.add_polygon(r.list_a, a.type, original.surfaces()[a.surface]);
        }
        kept_objection(objection, code, expected);
        return objection;
    }

    // an abort at a step of pairing: nothing of the mesh touched
    void judge_pairing_abort(std::span<const std::string> after)
    {
        lines closing;
        append_closing(closing, 4, true);
        if (after.size() < closing.size() ||
            !std::equal(closing.begin(), closing.end(), after.end() - std::ptrdiff_t(closing.size())))
        {
            problems.push_back("abort in pairing: " +
                               where_differ(after.last(std::min(after.size(), closing.size())), closing, 0));
            return;
        }
        std::span<const std::string> pairing = after.first(after.size() - closing.size());
        std::vector<std::string> objection = pairing_objection(pairing, f.abort_at_step, true);
        kept_objection(objection, 4, original);
        problems.insert(problems.end(), objection.begin(), objection.end());
    }

    // pairing reads records and steps by 1; nothing else
    std::vector<std::string> pairing_objection(std::span<const std::string> pairing, uint64_t steps,
                                               bool ends_with_step)
    {
        std::vector<std::string> objection;
        uint64_t seen = 0;
        for (const std::string &line : pairing)
        {
            if (line == "step 1")
                ++seen;
            else if (!line.starts_with("polygon_info "))
                objection.push_back("pairing made the call '" + line + "'");
        }
        if (seen != steps)
            objection.push_back("pairing stepped " + std::to_string(seen) + " times, expected " +
                                std::to_string(steps));
        if (ends_with_step && (pairing.empty() || pairing.back() != "step 1"))
            objection.push_back("calls after the aborting step");
        return objection;
    }

    // an exit before the edge spin: the expected calls to the end, nothing changed
    void finish(int32_t code, const std::string &message = {})
    {
        if (!message.empty() && !f.no_message_service)
            want.push_back(error_line(message));
        append_closing(want, code, false);
        compare(calls, want);
        std::vector<std::string> objection;
        kept_objection(objection, code, original);
        problems.insert(problems.end(), objection.begin(), objection.end());
    }

    void append_closing(lines &out, int32_t code, bool aborted) const
    {
        if (aborted && !f.no_message_service)
            out.push_back(abort_info);
        if (monitored)
        {
            out.push_back("done");
            out.push_back("destroy");
        }
        out.push_back("lookup \"Info Messages\" 2");
        out.push_back("end_edit " + std::to_string(code) + " 2");
    }

    void kept_objection(std::vector<std::string> &objection, int32_t code, const mesh &expected) const
    {
        if (host.end_code() != code)
            objection.push_back("end_edit code " +
                                (host.end_code() ? std::to_string(*host.end_code()) : std::string("missing")) +
                                ", expected " + std::to_string(code));
        if (!host.edit_result() || !(*host.edit_result() == expected))
            objection.push_back("the edit result differs from the original by other than the pairs owed");
        if (!(host.current() == (code == 0 ? expected : original)))
            objection.push_back("the host kept other than " +
                                std::string(code == 0 ? "the edit result" : "the original"));
    }

    bool compare(std::span<const std::string> got, std::span<const std::string> expected)
    {
        if (std::equal(got.begin(), got.end(), expected.begin(), expected.end()))
            return true;
        problems.push_back(where_differ(got, expected, 0));
        return false;
    }

    // the next allocation, as the shim logged it; false when not counted
    bool next_allocation_failed(bool resize = false)
    {
        if (!facts.allocations_logged)
            return false;
        if (next_allocation >= allocations.size() || allocations[next_allocation].resize != resize)
        {
            problems.push_back(std::string("missing ") + (resize ? "growth" : "allocation") + " #" +
                               std::to_string(next_allocation + 1));
            next_allocation = allocations.size();
            return false;
        }
        return allocations[next_allocation++].failed;
    }

    static uint32_t read_id(const std::string &line)
    {
        return uint32_t(std::stoul(line.substr(sizeof "polygon_info")));
    }

    // the index in calls of the k-th polygon_info, counted from 1
    size_t nth_read(uint64_t k) const
    {
        for (size_t i = 0; i < calls.size() && k != 0; ++i)
            if (calls[i].starts_with("polygon_info ") && --k == 0)
                return i;
        return none;
    }

    const mesh &original;
    const minihost::host &host;
    const minihost::faults &f;
    const run_facts &facts;
    lines calls;
    std::vector<allocation> allocations;
    size_t next_allocation = 0;
    lines want;
    bool monitored = false;
    size_t null_call = none; // the read answered null, as an index in calls
    std::vector<std::string> problems;
};

} // namespace

std::vector<std::string> oracle(const mesh &original, const minihost::host &host, const run_facts &facts)
{
    return judge(original, host, facts).verdict();
}

} // namespace testing_support
