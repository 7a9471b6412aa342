// The minihost tool: reads an OBJ file, runs the plug-in's command once on
// the selected faces, reports, and writes the edited mesh.
#pragma once

#include <string>
#include <vector>

namespace minihost
{

// The tool's exit codes, as --help and the README give them.
enum exit_code
{
    exit_ok = 0,
    exit_command_error = 1, // the command showed an error or failed; nothing written
    exit_bad_input = 2,     // bad usage, or a file that cannot be read, used or written
    exit_aborted = 3,       // ESC or Ctrl-C; the edit discarded, nothing written
};

struct tool_options
{
    std::string input;  // empty: the built-in mesh
    std::string output; // empty: write nothing
    std::vector<std::string> select;
    bool dry_run = false;
    bool log = false;
    bool json = false;   // the summary as JSON on stdout
    std::string picture; // empty: draw no SVG
    std::string plugin;
};

// Runs the whole tool: messages and the progress bar on stderr, the call
// log and the summary on stdout. Returns an exit_code.
int run_tool(const tool_options &options);

} // namespace minihost
