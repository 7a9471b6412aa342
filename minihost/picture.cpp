#include "minihost/picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace minihost
{

namespace
{

const int margin = 20;
const int panel = 560;
const int panel_top = 60;
const int legend_top = panel_top + panel + 30;

// what a face is drawn as; the order is the order of drawing and of the legend
enum face_class
{
    not_selected,
    selected_other, // selected, but not a triangle the command takes
    spun_fine,
    duplicate_edge,
    non_convex,
    opposite_winding,
    mixed_surfaces,
    unpaired_taken,
    unpaired_free,
    class_count,
};

const char *const fills[class_count] = {"#f0f0f0", "#dce8f5", "#c8e6c9", "#f06292", "#ef5350",
                                        "#ffa726", "#7986cb", "#ffee58", "#fff9c4"};
const char *const diagonal_colour = "#1b5e20";
const char *const seam_colour = "#6a1b9a";

struct point2
{
    double x = 0, y = 0;
};

struct box
{
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0;
    double x1 = -x0, y1 = -x0;

    void add(point2 p)
    {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    bool empty() const { return x0 > x1; }
    bool meets(const box &o) const
    {
        return !empty() && !o.empty() && x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1;
    }
    bool holds(point2 p) const { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; }
};

// Looking along one axis from its positive side, with the other two as a
// right-handed picture: along z x goes right and y up, along y x goes right
// and z down, along x y goes right and z up.
struct view
{
    char axis = 'z';

    point2 operator()(const vec3 &p) const
    {
        switch (axis)
        {
        case 'x':
            return {p.y, p.z};
        case 'y':
            return {p.x, -p.z};
        default:
            return {p.x, p.y};
        }
    }
};

view flattest(const std::vector<const vec3 *> &points)
{
    vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const vec3 *p : points)
    {
        lo = {std::min(lo.x, p->x), std::min(lo.y, p->y), std::min(lo.z, p->z)};
        hi = {std::max(hi.x, p->x), std::max(hi.y, p->y), std::max(hi.z, p->z)};
    }
    // ties go to z, then y: meshes are most often drawn in the x-y plane
    view v;
    double best = hi.z - lo.z;
    if (hi.y - lo.y < best)
        v.axis = 'y', best = hi.y - lo.y;
    if (hi.x - lo.x < best)
        v.axis = 'x';
    return v;
}

// Path data in tenths of a pixel, each figure after the first point in
// relative steps: short, and exact enough for any screen.
class path_data
{
  public:
    void move(point2 p)
    {
        long x = tenths(p.x), y = tenths(p.y);
        text += 'M';
        pair(x, y);
        at_x = x, at_y = y;
    }
    void line(point2 p)
    {
        long x = tenths(p.x), y = tenths(p.y);
        text += 'l';
        pair(x - at_x, y - at_y);
        at_x = x, at_y = y;
    }
    void close() { text += 'z'; }
    // a circle of radius r around p
    void circle(point2 p, double r)
    {
        move({p.x - r, p.y});
        std::string d = number(tenths(2 * r)), rr = number(tenths(r));
        text += "a" + rr + " " + rr + " 0 1 0 " + d + " 0a" + rr + " " + rr + " 0 1 0-" + d + " 0";
    }
    bool empty() const { return text.empty(); }
    const std::string &str() const { return text; }

  private:
    static long tenths(double v) { return std::lround(v * 10); }
    static std::string number(long t)
    {
        std::string s = t < 0 ? "-" : "";
        unsigned long a = t < 0 ? 0UL - static_cast<unsigned long>(t) : static_cast<unsigned long>(t);
        s += std::to_string(a / 10);
        if (a % 10)
            s += "." + std::to_string(a % 10);
        return s;
    }
    void pair(long x, long y)
    {
        text += number(x);
        if (y >= 0)
            text += ' ';
        text += number(y);
    }

    std::string text;
    long at_x = 0, at_y = 0;
};

std::string escaped(const std::string &text)
{
    std::string out;
    for (char c : text)
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    return out;
}

std::string fixed(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// A panel's drawing: one path per class of face, the diagonals, the seams.
struct panel_paths
{
    path_data faces[class_count];
    path_data diagonals, seams;
};

class picture
{
  public:
    picture(const obj_file &input_file, const mesh &result_mesh, const edit_trace &trace, const reasons &found)
        : input(input_file), result(result_mesh), edits(trace), why(found)
    {
        classify();
        choose_view();
        choose_window();
    }

    std::string svg();

  private:
    void classify();
    void choose_view();
    void choose_window();
    point2 focus() const;
    std::vector<uint32_t> corners(uint32_t face) const;
    box bounds(const std::vector<uint32_t> &points) const;
    point2 to_panel(point2 p) const
    {
        return {pad + (p.x - window.x0) * scale + offset.x, pad + (window.y1 - p.y) * scale + offset.y};
    }
    point2 at(uint32_t point) const
    {
        const vec3 *p = result.point(point);
        return to_panel(p ? looking(*p) : point2{});
    }
    void draw_face(path_data &path, const std::vector<uint32_t> &points) const;
    void draw_edge(path_data &path, const uint32_t (&edge)[2]) const;
    panel_paths draw(bool after) const;
    std::string panel_svg(const panel_paths &paths, int left, const char *label) const;
    std::string legend() const;

    const obj_file &input;
    const mesh &result;
    const edit_trace &edits;
    const reasons &why;

    std::vector<uint8_t> kind;      // by face number
    std::vector<uint32_t> replaced; // by face number: the polygon in its place, 0 for none
    std::vector<uint32_t> selected_faces;
    std::vector<box> face_boxes; // by face number, as seen
    view looking;
    box window;
    bool whole = true; // the whole mesh is drawn
    double scale = 1, pad = 10, stroke = 0.5;
    point2 offset;
};

void picture::classify()
{
    size_t faces = input.faces.size();
    kind.assign(faces + 1, not_selected);
    replaced.assign(faces + 1, 0);
    for (const edit_trace::replacement &r : edits.replaced)
        if (r.removed >= 1 && r.removed <= faces)
            replaced[r.removed] = r.added;

    result.each_polygon(
        [&](const polygon &p)
        {
            if (p.id <= faces && (p.flags & POLYFLAG_SELECTED))
                kind[p.id] = selected_other;
        });
    for (const spun_pair &p : why.pairs)
    {
        face_class c = p.duplicate_edge     ? duplicate_edge
                       : p.non_convex       ? non_convex
                       : p.opposite_winding ? opposite_winding
                       : p.mixed_surfaces   ? mixed_surfaces
                                            : spun_fine;
        for (uint32_t f : p.faces)
            kind[f] = uint8_t(c), selected_faces.push_back(f);
    }
    for (const unpaired_triangle &t : why.unpaired)
        kind[t.face] = uint8_t(t.neighbour_taken ? unpaired_taken : unpaired_free), selected_faces.push_back(t.face);
}

std::vector<uint32_t> picture::corners(uint32_t face) const
{
    std::vector<uint32_t> points;
    for (const corner &c : input.faces[face - 1].corners)
        points.push_back(uint32_t(c.point) + 1);
    return points;
}

box picture::bounds(const std::vector<uint32_t> &points) const
{
    box b;
    for (uint32_t id : points)
        if (const vec3 *p = result.point(id))
            b.add(looking(*p));
    return b;
}

void picture::choose_view()
{
    std::vector<const vec3 *> points;
    auto take = [&](uint32_t face)
    {
        for (uint32_t id : corners(face))
            if (const vec3 *p = result.point(id))
                points.push_back(p);
    };
    if (selected_faces.empty())
        for (uint32_t f = 1; f <= input.faces.size(); ++f)
            take(f);
    for (uint32_t f : selected_faces)
        take(f);
    looking = flattest(points);
}

// the middle of what most needs seeing: a pair gone wrong, then a triangle
// left unpaired, then any pair
point2 picture::focus() const
{
    auto middle = [&](uint32_t face)
    {
        box b = bounds(corners(face));
        return point2{(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2};
    };
    for (const spun_pair &p : why.pairs)
        if (kind[p.faces[0]] != spun_fine)
            return middle(p.faces[0]);
    for (const unpaired_triangle &t : why.unpaired)
        return middle(t.face);
    if (!why.pairs.empty())
        return middle(why.pairs.front().faces[0]);
    box all;
    for (uint32_t f = 1; f <= input.faces.size(); ++f)
    {
        box b = bounds(corners(f));
        all.add({b.x0, b.y0}), all.add({b.x1, b.y1});
    }
    return {(all.x0 + all.x1) / 2, (all.y0 + all.y1) / 2};
}

void picture::choose_window()
{
    size_t faces = input.faces.size();
    std::vector<point2> middles(faces + 1);
    box all, chosen;
    face_boxes.assign(faces + 1, box{});
    for (uint32_t f = 1; f <= faces; ++f)
    {
        const box &b = face_boxes[f] = bounds(corners(f));
        middles[f] = {(b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2};
        all.add({b.x0, b.y0}), all.add({b.x1, b.y1});
    }
    chosen = all;

    if (faces > picture_faces)
    {
        // the selection with a rim around it, if that is small enough
        box selection;
        for (uint32_t f : selected_faces)
        {
            const box &b = face_boxes[f];
            selection.add({b.x0, b.y0}), selection.add({b.x1, b.y1});
        }
        if (selection.empty())
            selection = all;
        double rim = 0.05 * std::hypot(selection.x1 - selection.x0, selection.y1 - selection.y0);
        chosen = {selection.x0 - rim, selection.y0 - rim, selection.x1 + rim, selection.y1 + rim};
        size_t inside =
            size_t(std::count_if(middles.begin() + 1, middles.end(), [&](point2 m) { return chosen.holds(m); }));
        if (inside > picture_faces)
        {
            // else a square around the focus, kept within the selection,
            // shrunk until it holds about the budget's faces
            point2 c = focus();
            std::vector<double> reach(faces);
            for (uint32_t f = 1; f <= faces; ++f)
                reach[f - 1] = std::max(std::abs(middles[f].x - c.x), std::abs(middles[f].y - c.y));
            std::nth_element(reach.begin(), reach.begin() + long(picture_faces), reach.end());
            double h = reach[picture_faces];
            for (int tries = 0; tries < 8; ++tries)
            {
                auto within = [](double centre, double lo, double hi, double half)
                { return hi - lo <= 2 * half ? (lo + hi) / 2 : std::clamp(centre, lo + half, hi - half); };
                point2 at{within(c.x, selection.x0, selection.x1, h), within(c.y, selection.y0, selection.y1, h)};
                chosen = {at.x - h, at.y - h, at.x + h, at.y + h};
                inside = size_t(
                    std::count_if(middles.begin() + 1, middles.end(), [&](point2 m) { return chosen.holds(m); }));
                if (inside <= picture_faces * 5 / 4)
                    break;
                h *= std::sqrt(double(picture_faces) / double(inside));
            }
        }
        whole = false;
    }

    window = chosen;
    double w = window.x1 - window.x0, h = window.y1 - window.y0;
    double room = panel - 2 * pad;
    double longest = std::max(w, h);
    scale = longest > 0 ? room / longest : 1;
    offset = {(room - w * scale) / 2, (room - h * scale) / 2};
}

void picture::draw_face(path_data &path, const std::vector<uint32_t> &points) const
{
    if (points.size() < 2)
        return;
    path.move(at(points[0]));
    for (size_t k = 1; k < points.size(); ++k)
        path.line(at(points[k]));
    path.close();
}

void picture::draw_edge(path_data &path, const uint32_t (&edge)[2]) const
{
    if (edge[0] == 0 || !window.meets(bounds({edge[0], edge[1]})))
        return;
    path.move(at(edge[0]));
    path.line(at(edge[1]));
}

panel_paths picture::draw(bool after) const
{
    panel_paths paths;
    for (uint32_t f = 1; f <= input.faces.size(); ++f)
    {
        const polygon *now = after && replaced[f] != 0 ? result.find(replaced[f]) : nullptr;
        if (after && replaced[f] != 0 && !now)
            continue;
        if (!whole && !window.meets(now ? bounds(now->points) : face_boxes[f]))
            continue;
        draw_face(paths.faces[kind[f]], now ? now->points : corners(f));
    }
    if (after)
        for (uint32_t id : edits.unplaced)
            if (const polygon *p = result.find(id); p && window.meets(bounds(p->points)))
                draw_face(paths.faces[spun_fine], p->points);

    for (const spun_pair &p : why.pairs)
        draw_edge(paths.diagonals, after ? p.new_diagonal : p.old_diagonal);
    if (after)
        for (const seam_corner &c : why.seams)
            if (const vec3 *p = result.point(c.point); p && window.holds(looking(*p)))
                paths.seams.circle(at(c.point), std::clamp(stroke * 5, 1.5, 4.0));
    return paths;
}

std::string picture::panel_svg(const panel_paths &paths, int left, const char *label) const
{
    std::string s =
        "<text x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(panel_top - 8) + "\">" + label + "</text>\n";
    s += "<g transform=\"translate(" + std::to_string(left) + " " + std::to_string(panel_top) +
         ")\" clip-path=\"url(#panel)\">\n";
    s += "<rect width=\"" + std::to_string(panel) + "\" height=\"" + std::to_string(panel) +
         "\" fill=\"white\" stroke=\"#888\"/>\n";
    s += "<g stroke=\"#555\" stroke-width=\"" + fixed(stroke) + "\" stroke-linejoin=\"round\">\n";
    for (int c = 0; c < class_count; ++c)
        if (!paths.faces[c].empty())
            s += "<path fill=\"" + std::string(fills[c]) + "\" d=\"" + paths.faces[c].str() + "\"/>\n";
    s += "</g>\n";
    if (!paths.diagonals.empty())
        s += "<path fill=\"none\" stroke=\"" + std::string(diagonal_colour) + "\" stroke-width=\"" +
             fixed(std::clamp(stroke * 2.5, 0.5, 2.5)) + "\" stroke-linecap=\"round\"" +
             (std::string(label) == "before" ? " stroke-dasharray=\"" + fixed(stroke * 6 + 1) + "\"" : "") + " d=\"" +
             paths.diagonals.str() + "\"/>\n";
    if (!paths.seams.empty())
        s += "<path fill=\"none\" stroke=\"" + std::string(seam_colour) + "\" stroke-width=\"" +
             fixed(std::clamp(stroke * 2, 0.5, 1.5)) + "\" d=\"" + paths.seams.str() + "\"/>\n";
    return s + "</g>\n";
}

std::string picture::legend() const
{
    size_t unpaired_taken_count = why.neighbour_taken();
    struct item
    {
        int swatch; // a face class, or -1 for the diagonal, -2 for a seam
        std::string text;
    };
    const item items[] = {
        {not_selected, "not selected"},
        {selected_other, "selected, not a triangle"},
        {spun_fine, "spun pair (" + std::to_string(why.pairs.size()) + ")"},
        {-1, "diagonal before and after the spin"},
        {duplicate_edge, "duplicate edge (" + std::to_string(why.count(&spun_pair::duplicate_edge)) + ")"},
        {non_convex, "not convex (" + std::to_string(why.count(&spun_pair::non_convex)) + ")"},
        {opposite_winding, "wound oppositely (" + std::to_string(why.count(&spun_pair::opposite_winding)) + ")"},
        {mixed_surfaces, "two materials (" + std::to_string(why.count(&spun_pair::mixed_surfaces)) + ")"},
        {unpaired_taken, "unpaired, neighbour taken (" + std::to_string(unpaired_taken_count) + ")"},
        {unpaired_free, "unpaired, no neighbour (" + std::to_string(why.unpaired.size() - unpaired_taken_count) + ")"},
        {-2, "seam corner (" + std::to_string(why.seams.size()) + ")"},
    };
    std::string s;
    const int column = (picture_width - 2 * margin) / 4;
    int n = 0;
    for (const item &i : items)
    {
        int x = margin + column * (n % 4), y = legend_top + 24 * (n / 4);
        ++n;
        std::string at = "x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"";
        if (i.swatch >= 0)
            s += "<rect " + at + " width=\"14\" height=\"14\" fill=\"" + fills[i.swatch] + "\" stroke=\"#555\"/>";
        else if (i.swatch == -1)
            s += "<path d=\"M" + std::to_string(x) + " " + std::to_string(y + 14) + "l14-14\" stroke=\"" +
                 diagonal_colour + "\" stroke-width=\"2\"/>";
        else
            s += "<circle cx=\"" + std::to_string(x + 7) + "\" cy=\"" + std::to_string(y + 7) +
                 "\" r=\"4\" fill=\"none\" stroke=\"" + seam_colour + "\" stroke-width=\"1.5\"/>";
        s += "<text x=\"" + std::to_string(x + 20) + "\" y=\"" + std::to_string(y + 12) + "\">" + escaped(i.text) +
             "</text>\n";
    }
    return s;
}

std::string picture::svg()
{
    // strokes thin as the triangles get small, so that dense meshes stay readable
    size_t drawn = whole ? input.faces.size()
                         : size_t(std::count_if(face_boxes.begin() + 1, face_boxes.end(),
                                                [&](const box &b) { return window.meets(b); }));
    double area = (window.x1 - window.x0) * (window.y1 - window.y0) * scale * scale;
    double edge = drawn ? std::sqrt(2 * std::max(area, 1.0) / double(drawn)) : double(panel);
    stroke = std::clamp(edge / 25, 0.1, 0.8);
    panel_paths before = draw(false);
    panel_paths after = draw(true);

    std::string title = escaped(input.name) + ": " + std::to_string(input.faces.size()) +
                        (input.faces.size() == 1 ? " face" : " faces") + ", seen along " + looking.axis;
    if (!whole)
        title += "; " + std::to_string(drawn) + " of them drawn, around the selection";

    std::string w = std::to_string(picture_width), h = std::to_string(picture_height);
    std::string s = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
                    "\" viewBox=\"0 0 " + w + " " + h + "\" font-family=\"sans-serif\" font-size=\"13\">\n";
    s += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"white\"/>\n";
    s += "<clipPath id=\"panel\"><rect width=\"" + std::to_string(panel) + "\" height=\"" + std::to_string(panel) +
         "\"/></clipPath>\n";
    s += "<text x=\"" + std::to_string(margin) + "\" y=\"26\" font-size=\"15\">" + title + "</text>\n";
    s += panel_svg(before, margin, "before");
    s += panel_svg(after, picture_width - margin - panel, "after");
    s += legend();
    return s + "</svg>\n";
}

} // namespace

std::string svg_picture(const obj_file &input, const mesh &result, const edit_trace &edits, const reasons &why)
{
    return picture(input, result, edits, why).svg();
}

} // namespace minihost
