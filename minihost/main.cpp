// minihost: runs the plug-in's command once on a mesh and shows what changed.
#include <cstdio>
#include <exception>

#include "minihost/builtin.h"
#include "minihost/loader.h"
#include "minihost/minihost.h"

#ifndef PLUGIN_PATH
#define PLUGIN_PATH "build/pluginServer.p"
#endif

namespace
{

std::string describe(const minihost::mesh &m, const minihost::polygon &p)
{
    std::string text = std::to_string(p.id) + " " + minihost::type_name(p.type) + " (";
    for (size_t i = 0; i < p.points.size(); ++i)
        text += (i ? " " : "") + std::to_string(p.points[i]);
    return text + ") " + m.surfaces()[p.surface];
}

} // namespace

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : PLUGIN_PATH;
    try
    {
        minihost::plugin module(path);
        activate_fn activate = module.server("CommandSequence", "Dudi_Daz_Adevi");

        minihost::mesh before = minihost::builtin_mesh();
        minihost::host host(before);
        host.on_message = [](const minihost::message &m) {
            std::fprintf(stderr, "%s%s %s\n", m.kind == "error" ? "error: " : "", m.line1.c_str(), m.line2.c_str());
        };
        int32_t result = host.run(activate);

        const minihost::mesh &after = host.current();
        std::printf("built-in mesh: %zu points, %zu triangles, all selected\n", before.point_count(),
                    before.polygon_count());
        before.each_polygon([&](const minihost::polygon &p) {
            if (!after.find(p.id))
                std::printf("  removed %s\n", describe(before, p).c_str());
        });
        after.each_polygon([&](const minihost::polygon &p) {
            if (!before.find(p.id))
                std::printf("  added   %s\n", describe(after, p).c_str());
        });
        std::printf("activation result %d, end_edit code %d\n", result, host.end_code().value_or(-1));
        return result == 0 ? 0 : 1;
    }
    catch (const std::exception &e)
    {
        std::fprintf(stderr, "minihost: %s\n", e.what());
        return 2;
    }
}
