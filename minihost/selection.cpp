#include "minihost/selection.h"

#include <algorithm>
#include <charconv>

namespace minihost
{

namespace
{

bool face_number(std::string_view text, size_t &value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

std::pair<size_t, size_t> face_range(std::string_view item, std::string_view whole)
{
    size_t dash = item.find('-');
    size_t first = 0, last = 0;
    bool ok = dash == std::string_view::npos ? face_number(item, first) && face_number(item, last)
                                             : face_number(item.substr(0, dash), first) &&
                                                   face_number(item.substr(dash + 1), last) && first <= last;
    if (!ok)
        throw usage_error("--select " + std::string(whole) + ": \"" + std::string(item) +
                          "\" is not a face number or a rising range (as in faces:1,4,7-9)");
    return {first, last};
}

// the names a selector of this kind could have named, for the message
std::string known_names(const obj_file &file, selector::kind what)
{
    std::vector<std::string> names;
    for (const obj_face &face : file.faces)
    {
        const std::string &name = what == selector::kind::group ? face.group : face.material;
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : ", ") + (name.empty() ? "(none)" : name);
    return text;
}

bool matches(const selector &s, const obj_face &face, size_t number)
{
    switch (s.what)
    {
    case selector::kind::all:
        return true;
    case selector::kind::group:
        return face.group == s.name;
    case selector::kind::material:
        return face.material == s.name;
    case selector::kind::faces:
        return std::any_of(s.ranges.begin(), s.ranges.end(),
                           [&](const auto &range) { return range.first <= number && number <= range.second; });
    }
    return false;
}

} // namespace

selector parse_selector(std::string_view text)
{
    selector s;
    s.text = text;
    size_t colon = text.find(':');
    std::string_view kind = text.substr(0, colon);
    std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);

    if (text == "all")
        return s;
    if ((kind == "group" || kind == "material") && colon != std::string_view::npos && !rest.empty())
    {
        s.what = kind == "group" ? selector::kind::group : selector::kind::material;
        s.name = rest;
        return s;
    }
    if (kind == "faces" && !rest.empty())
    {
        s.what = selector::kind::faces;
        for (size_t start = 0; start <= rest.size();)
        {
            size_t comma = std::min(rest.find(',', start), rest.size());
            s.ranges.push_back(face_range(rest.substr(start, comma - start), text));
            start = comma + 1;
        }
        return s;
    }
    throw usage_error("--select " + std::string(text) +
                      ": expected all, group:NAME, material:NAME or faces:LIST (as in faces:1,4,7-9)");
}

size_t apply_selection(obj_file &file, const std::vector<selector> &selectors)
{
    static const std::vector<selector> everything(1);
    const std::vector<selector> &used = selectors.empty() ? everything : selectors;

    std::vector<bool> chosen(file.faces.size());
    for (const selector &s : used)
    {
        for (const auto &range : s.ranges)
            if (range.second > file.faces.size())
                throw usage_error("--select " + s.text + ": face " + std::to_string(range.second) +
                                  " is beyond the last face of " + file.name + " (" +
                                  std::to_string(file.faces.size()) + ")");
        size_t found = 0;
        for (size_t i = 0; i < file.faces.size(); ++i)
            if (matches(s, file.faces[i], i + 1))
                chosen[i] = true, ++found;
        if (found > 0)
            continue;
        std::string why = s.what == selector::kind::group      ? "; the groups are " + known_names(file, s.what)
                          : s.what == selector::kind::material ? "; the materials are " + known_names(file, s.what)
                                                               : "";
        throw usage_error("--select " + s.text + " matches no face of " + file.name + why);
    }

    size_t selected = 0;
    for (size_t i = 0; i < file.faces.size(); ++i)
    {
        file.model.find(uint32_t(i + 1))->flags = chosen[i] ? POLYFLAG_SELECTED : 0;
        selected += chosen[i];
    }
    return selected;
}

} // namespace minihost
