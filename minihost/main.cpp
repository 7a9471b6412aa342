// minihost: runs the plug-in's command on an OBJ mesh, as the modelling
// host would, and writes the edited mesh.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <new>

#include "minihost/tool.h"

#ifndef PLUGIN_PATH
#define PLUGIN_PATH "build/pluginServer.p"
#endif

int main(int argc, char **argv)
{
    minihost::tool_options options;
    options.plugin = PLUGIN_PATH;

    CLI::App app("Spins the shared edges of selected triangles in an OBJ mesh: the plug-in's command\n"
                 "\"Dudi_Daz_Adevi\", run once by a stand-in host. Without INPUT.obj it runs on a small\n"
                 "built-in mesh.",
                 "minihost");
    app.add_option("input", options.input,
                   "the mesh to edit; without it, a built-in mesh\n"
                   "e.g. minihost examples/strip.obj")
        ->type_name("INPUT.obj");
    app.add_option("-o,--output", options.output,
                   "write the edited mesh here, atomically; untouched lines stay byte for byte;\n"
                   "nothing is written when the command fails or is aborted\n"
                   "e.g. minihost examples/grid.obj -o build/grid-spun.obj")
        ->type_name("OUT.obj");
    app.add_option("-s,--select", options.select,
                   "the faces selected: all (the default), group:NAME, material:NAME or\n"
                   "faces:LIST (numbers from 1 in file order, and ranges); repeat to add more\n"
                   "e.g. --select material:red --select faces:1,4,7-9")
        ->type_name("WHICH")
        ->allow_extra_args(false);
    app.add_flag("-n,--dry-run", options.dry_run,
                 "run the command and report, then discard the edit and write nothing\n"
                 "e.g. minihost examples/fan.obj -o out.obj --dry-run");
    app.add_flag("--log", options.log,
                 "print every call the command made to the host, before the summary\n"
                 "e.g. minihost examples/strip.obj --log");
    app.add_flag("--json", options.json,
                 "print the summary as one JSON object instead, with the face numbers behind\n"
                 "each count (the README lists its fields); --log puts the call log in it\n"
                 "e.g. minihost examples/grid.obj --json");
    app.add_option("--svg", options.picture,
                   "draw the mesh before and after into an SVG picture, with the spun diagonals,\n"
                   "the pairs that went wrong and the triangles left unpaired; also on a dry run\n"
                   "e.g. minihost examples/grid.obj --svg build/grid-report.svg")
        ->type_name("OUT.svg");
    app.add_option("--plugin", options.plugin,
                   "the plug-in file to load\n"
                   "e.g. --plugin build/pluginServer.p")
        ->type_name("PATH")
        ->default_str(PLUGIN_PATH);
    app.footer("ESC or Ctrl-C during the progress bar aborts the command.\n\n"
               "Exit codes:\n"
               "  0  done (the summary tells what was spun)\n"
               "  1  the command showed an error or failed; nothing written\n"
               "  2  bad usage, or a file that cannot be read, used or written\n"
               "  3  aborted with ESC or Ctrl-C; the edit discarded, nothing written");

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::CallForHelp &)
    {
        std::fputs(app.help().c_str(), stdout);
        return minihost::exit_ok;
    }
    catch (const CLI::ParseError &e)
    {
        std::fprintf(stderr, "minihost: %s\nRun with --help for more information.\n", e.what());
        return minihost::exit_bad_input;
    }

    try
    {
        return minihost::run_tool(options);
    }
    catch (const std::bad_alloc &)
    {
        std::fprintf(stderr, "minihost: out of memory\n");
        return minihost::exit_bad_input;
    }
}
