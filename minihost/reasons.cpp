#include "minihost/reasons.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace minihost
{

namespace
{

using triangle = std::array<uint32_t, 3>;

vec3 operator-(const vec3 &a, const vec3 &b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

vec3 operator+(const vec3 &a, const vec3 &b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

double dot(const vec3 &a, const vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

vec3 cross(const vec3 &a, const vec3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

uint64_t edge_key(uint32_t a, uint32_t b)
{
    return a < b ? uint64_t(a) << 32 | b : uint64_t(b) << 32 | a;
}

bool lists(const triangle &t, uint32_t point)
{
    return std::find(t.begin(), t.end(), point) != t.end();
}

triangle points_of(const obj_face &face)
{
    return {uint32_t(face.corners[0].point) + 1, uint32_t(face.corners[1].point) + 1,
            uint32_t(face.corners[2].point) + 1};
}

// twice the area, along the normal of the triangle's winding
vec3 normal(const mesh &m, uint32_t a, uint32_t b, uint32_t c)
{
    const vec3 *pa = m.point(a), *pb = m.point(b), *pc = m.point(c);
    if (!pa || !pb || !pc)
        return {};
    return cross(*pb - *pa, *pc - *pa);
}

const corner *corner_of(const obj_face &face, uint32_t point)
{
    for (const corner &c : face.corners)
        if (uint32_t(c.point) + 1 == point)
            return &c;
    return nullptr;
}

// Two triangles are adjacent as the command counts it: two of their point
// ids match, each counted once.
bool adjacent(const triangle &a, const triangle &b)
{
    bool used[3] = {false, false, false};
    int matches = 0;
    for (uint32_t p : a)
        for (int j = 0; j < 3; ++j)
            if (!used[j] && b[size_t(j)] == p)
                ++matches, used[j] = true;
    return matches == 2;
}

// A pair as the command replaced it: B went first, then A, each followed by
// the triangle that took its place.
struct replaced_pair
{
    const edit_trace::replacement *a, *b;
};

void judge_geometry(spun_pair &pair, const triangle &a, const triangle &b, const polygon *new_b, const polygon *new_a,
                    const mesh &result)
{
    // the apex of A, the shared edge U-V after it in A's order, the apex of B
    int i = 0;
    while (i < 3 && lists(b, a[size_t(i)]))
        ++i;
    auto q = std::find_if(b.begin(), b.end(), [&](uint32_t p) { return !lists(a, p); });
    if (i == 3 || q == b.end())
        return;
    uint32_t p = a[size_t(i)], u = a[size_t(i + 1) % 3], v = a[size_t(i + 2) % 3];
    pair.old_diagonal[0] = std::min(u, v), pair.old_diagonal[1] = std::max(u, v);
    pair.new_diagonal[0] = std::min(p, *q), pair.new_diagonal[1] = std::max(p, *q);

    // wound alike, B runs the shared edge from V to U
    size_t at_u = size_t(std::find(b.begin(), b.end(), u) - b.begin());
    pair.opposite_winding = at_u < 3 && b[(at_u + 1) % 3] == v;

    // The quadrilateral P, U, Q, V faces as A and B wound like A do together;
    // a new triangle facing against it (or flat) lies across a reflex corner.
    vec3 facing = normal(result, p, u, v) + normal(result, u, *q, v);
    if (dot(facing, facing) > 0)
        for (const polygon *added : {new_b, new_a})
            if (added && added->points.size() == 3 &&
                dot(normal(result, added->points[0], added->points[1], added->points[2]), facing) <= 0)
                pair.non_convex = true;
}

} // namespace

const pair_reason pair_reasons[4] = {
    {"duplicate_edge", "duplicate", &spun_pair::duplicate_edge, "whose new diagonal is an edge of another face too",
     "that edge now borders three faces or more: the mesh is no longer manifold there"},
    {"non_convex", "non-convex", &spun_pair::non_convex, "whose quadrilateral was not convex",
     "a new triangle faces the other way or is flat: the surface folds over itself there"},
    {"opposite_winding", "winding", &spun_pair::opposite_winding, "whose two faces were wound oppositely",
     "both new triangles face the way the first face did: the other one's side is turned over"},
    {"mixed_surfaces", "surfaces", &spun_pair::mixed_surfaces, "that mixed two materials",
     "each new triangle keeps one old face's material: the border between the two moves"},
};

const count_hint taken_hint = {"neighbour_taken", "taken", "next to a selected triangle that another pair took",
                               "pairing is greedy: select these again, with a free neighbour, to spin them"};

const count_hint seam_hint = {"seams", "seams", "where the old pair disagreed on texture coordinate or normal",
                              "each took its own face's value: texture or shading may jump across the new diagonal"};

size_t reasons::count(bool spun_pair::*flag) const
{
    return size_t(std::count_if(pairs.begin(), pairs.end(), [&](const spun_pair &p) { return p.*flag; }));
}

size_t reasons::neighbour_taken() const
{
    return size_t(
        std::count_if(unpaired.begin(), unpaired.end(), [](const unpaired_triangle &t) { return t.neighbour_taken; }));
}

std::vector<uint32_t> output_numbers(size_t faces, const mesh &result, const edit_trace &edits)
{
    std::vector<uint8_t> dropped(faces + 1, 0);
    for (const edit_trace::replacement &r : edits.replaced)
        if (r.removed >= 1 && r.removed <= faces && !(r.added && result.find(r.added)))
            dropped[r.removed] = 1;
    std::vector<uint32_t> numbers(faces + 1, 0);
    uint32_t next = 1;
    for (size_t face = 1; face <= faces; ++face)
        if (!dropped[face])
            numbers[face] = next++;
    return numbers;
}

reasons find_reasons(const obj_file &input, const mesh &result, const edit_trace &edits)
{
    reasons why;
    const size_t faces = input.faces.size();
    std::vector<uint32_t> number = output_numbers(faces, result, edits);
    auto face = [&](uint32_t n) -> const obj_face *
    { return n >= 1 && n <= faces && input.faces[n - 1].corners.size() == 3 ? &input.faces[n - 1] : nullptr; };

    std::vector<uint8_t> paired(faces + 1, 0);
    std::unordered_map<uint64_t, int> diagonals;
    for (size_t k = 0; k + 1 < edits.replaced.size(); k += 2)
    {
        const edit_trace::replacement &rb = edits.replaced[k], &ra = edits.replaced[k + 1];
        const obj_face *fa = face(ra.removed), *fb = face(rb.removed);
        if (!fa || !fb)
            continue;
        paired[ra.removed] = paired[rb.removed] = 1;
        const polygon *new_a = ra.added ? result.find(ra.added) : nullptr;
        const polygon *new_b = rb.added ? result.find(rb.added) : nullptr;

        spun_pair pair;
        pair.faces[0] = std::min(ra.removed, rb.removed), pair.faces[1] = std::max(ra.removed, rb.removed);
        pair.output[0] = number[pair.faces[0]], pair.output[1] = number[pair.faces[1]];
        judge_geometry(pair, points_of(*fa), points_of(*fb), new_b, new_a, result);
        pair.mixed_surfaces = fa->material != fb->material;
        if (pair.new_diagonal[0] != 0)
            diagonals.emplace(edge_key(pair.new_diagonal[0], pair.new_diagonal[1]), 0);
        why.pairs.push_back(pair);

        // each new corner on a point of both old faces takes its own face's
        // attributes: a seam where the two disagreed
        for (const edit_trace::replacement *r : {&rb, &ra})
        {
            const polygon *added = r->added ? result.find(r->added) : nullptr;
            if (!added)
                continue;
            for (uint32_t point : added->points)
            {
                const corner *in_a = corner_of(*fa, point), *in_b = corner_of(*fb, point);
                if (in_a && in_b && (in_a->texcoord != in_b->texcoord || in_a->normal != in_b->normal))
                    why.seams.push_back({r->removed, number[r->removed], point});
            }
        }
    }

    // a new diagonal met by a face other than its pair's two
    result.each_polygon(
        [&](const polygon &p)
        {
            for (size_t k = 0; k < p.points.size(); ++k)
            {
                auto it = diagonals.find(edge_key(p.points[k], p.points[(k + 1) % p.points.size()]));
                if (it != diagonals.end())
                    ++it->second;
            }
        });
    for (spun_pair &pair : why.pairs)
        if (pair.new_diagonal[0] != 0)
            pair.duplicate_edge = diagonals[edge_key(pair.new_diagonal[0], pair.new_diagonal[1])] > 2;

    // the triangles the command took and left: selected ones still in place
    std::unordered_map<uint64_t, std::vector<size_t>> unpaired_edges;
    result.each_polygon(
        [&](const polygon &p)
        {
            if (p.id > faces || !(p.flags & POLYFLAG_SELECTED) || p.points.size() != 3 ||
                (p.type != POLYTYPE_FACE && p.type != POLYTYPE_PTCH) || !face(p.id))
                return;
            for (size_t k = 0; k < 3; ++k)
                unpaired_edges[edge_key(p.points[k], p.points[(k + 1) % 3])].push_back(why.unpaired.size());
            why.unpaired.push_back({p.id, number[p.id], false});
        });
    if (!unpaired_edges.empty())
        for (uint32_t n = 1; n <= faces; ++n)
        {
            if (!paired[n])
                continue;
            triangle t = points_of(*face(n));
            for (size_t k = 0; k < 3; ++k)
            {
                auto it = unpaired_edges.find(edge_key(t[k], t[(k + 1) % 3]));
                if (it == unpaired_edges.end())
                    continue;
                for (size_t u : it->second)
                    if (adjacent(t, points_of(*face(why.unpaired[u].face))))
                        why.unpaired[u].neighbour_taken = true;
            }
        }

    std::sort(why.pairs.begin(), why.pairs.end(),
              [](const spun_pair &x, const spun_pair &y) { return x.faces[0] < y.faces[0]; });
    std::sort(why.unpaired.begin(), why.unpaired.end(),
              [](const unpaired_triangle &x, const unpaired_triangle &y) { return x.face < y.face; });
    std::stable_sort(why.seams.begin(), why.seams.end(),
                     [](const seam_corner &x, const seam_corner &y) { return x.face < y.face; });
    return why;
}

} // namespace minihost
