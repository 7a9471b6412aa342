// What one run of the tool did, kept apart from how it is shown, so that
// other forms of the report can be added beside the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "minihost/reasons.h"

namespace minihost
{

enum class run_outcome
{
    done,           // the command ran to its end without an error
    command_failed, // it showed an error or ended its edit with a nonzero code
    aborted,        // the user stopped it; the edit was discarded
};

struct run_summary
{
    std::string input; // the file, or "(built-in mesh)"
    size_t points = 0, faces = 0;
    size_t selected = 0;           // faces selected
    size_t selected_triangles = 0; // of which triangles the command takes
    size_t ignored = 0;            // selected, but not a triangle of type FACE or PTCH
    size_t pairs = 0;              // spun
    reasons why;                   // what each selected triangle came to, once the command is done
    run_outcome outcome = run_outcome::done;
    std::string output;      // the file written; empty when none was
    std::string not_written; // why not, when there is no output
    std::string picture;     // the SVG written; empty when none was
    double read_ms = 0, command_ms = 0, write_ms = 0;
};

// The summary as a few aligned lines of text.
void print_summary(std::FILE *out, const run_summary &s);

// The summary as one JSON object, with every face number behind each count;
// the host call log goes in too when given.
std::string json_summary(const run_summary &s, const std::vector<std::string> *log = nullptr);

} // namespace minihost
