#include "minihost/obj_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace minihost
{

namespace
{

const corner *corner_of(const obj_face &face, int point)
{
    for (const corner &c : face.corners)
        if (c.point == point)
            return &c;
    return nullptr;
}

std::string corner_text(const corner &c)
{
    std::string text = std::to_string(c.point + 1);
    if (c.texcoord >= 0 || c.normal >= 0)
        text += "/" + (c.texcoord >= 0 ? std::to_string(c.texcoord + 1) : "");
    if (c.normal >= 0)
        text += "/" + std::to_string(c.normal + 1);
    return text;
}

// the `f` line of an added polygon, without its line end
std::string face_line(const polygon &added, const obj_face *own, const obj_face *partner)
{
    std::string line = "f";
    for (uint32_t id : added.points)
    {
        int point = int(id) - 1;
        const corner *mine = own ? corner_of(*own, point) : nullptr;
        const corner *other = partner ? corner_of(*partner, point) : nullptr;
        corner c = mine ? *mine : other ? *other : corner{point, -1, -1};
        line += " " + corner_text(c);
    }
    return line;
}

[[noreturn]] void failed(const std::string &path, const std::string &temp, int fd)
{
    std::string why = std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
    ::unlink(temp.c_str());
    throw output_error(path + ": cannot write: " + why);
}

} // namespace

void edit_trace::removed(uint32_t polygon)
{
    replaced.push_back({polygon, 0, 0});
    size_t n = replaced.size();
    if (n % 2 == 0)
    {
        replaced[n - 2].partner = replaced[n - 1].removed;
        replaced[n - 1].partner = replaced[n - 2].removed;
    }
}

void edit_trace::added(uint32_t polygon)
{
    if (!replaced.empty() && replaced.back().added == 0)
        replaced.back().added = polygon;
    else
        unplaced.push_back(polygon);
}

rewritten rewrite_obj(const obj_file &input, const mesh &result, const edit_trace &edits)
{
    rewritten out;
    auto face = [&](uint32_t number) -> const obj_face *
    { return number >= 1 && number <= input.faces.size() ? &input.faces[number - 1] : nullptr; };

    // (line, its new text or null for a dropped line), in line order
    std::vector<std::pair<size_t, std::string>> changed;
    std::vector<size_t> dropped;
    for (const edit_trace::replacement &r : edits.replaced)
    {
        const obj_face *own = face(r.removed);
        if (!own)
            continue;
        const polygon *added = r.added ? result.find(r.added) : nullptr;
        if (added)
            changed.emplace_back(own->line, face_line(*added, own, face(r.partner)));
        else
            dropped.push_back(own->line);
    }
    std::sort(changed.begin(), changed.end());
    std::sort(dropped.begin(), dropped.end());

    out.text.reserve(input.text.size() + input.text.size() / 8);
    auto next_change = changed.begin();
    auto next_drop = dropped.begin();
    for (size_t line = 0; line < input.lines.size(); ++line)
    {
        if (next_drop != dropped.end() && *next_drop == line)
        {
            ++next_drop;
            continue;
        }
        if (next_change != changed.end() && next_change->first == line)
        {
            out.text += next_change->second;
            out.text += input.line_end(line);
            ++next_change;
            continue;
        }
        const text_line &l = input.lines[line];
        out.text.append(input.text, l.begin, l.next - l.begin);
    }

    for (uint32_t id : edits.unplaced)
        if (const polygon *added = result.find(id))
        {
            if (!out.text.empty() && out.text.back() != '\n' && out.text.back() != '\r')
                out.text += '\n';
            out.text += face_line(*added, nullptr, nullptr) + "\n";
        }
    return out;
}

void write_file_atomically(const std::string &path, std::string_view text)
{
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw output_error(path + ": cannot write: " + std::strerror(errno));

    // the mode a file created the ordinary way would get, not mkstemp's 0600
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        failed(path, temp, fd);

    for (size_t done = 0; done < text.size();)
    {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed(path, temp, fd);
        done += size_t(n);
    }
    if (::fsync(fd) != 0)
        failed(path, temp, fd);
    if (::close(fd) != 0)
        failed(path, temp, -1);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        failed(path, temp, -1);
}

} // namespace minihost
