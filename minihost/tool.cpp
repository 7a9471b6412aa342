#include "minihost/tool.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "minihost/loader.h"
#include "minihost/minihost.h"
#include "minihost/obj_read.h"
#include "minihost/obj_write.h"
#include "minihost/picture.h"
#include "minihost/reasons.h"
#include "minihost/selection.h"
#include "minihost/summary.h"
#include "minihost/terminal.h"

namespace minihost
{

namespace
{

using clock = std::chrono::steady_clock;

double ms_since(clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(clock::now() - start).count();
}

void count_selection(const mesh &m, run_summary &s)
{
    m.each_polygon(
        [&](const polygon &p)
        {
            if (!(p.flags & POLYFLAG_SELECTED))
                return;
            ++s.selected;
            bool taken = p.points.size() == 3 && (p.type == POLYTYPE_FACE || p.type == POLYTYPE_PTCH);
            ++(taken ? s.selected_triangles : s.ignored);
        });
}

void show_message(const message &m, terminal_monitor &monitor)
{
    monitor.clear_bar();
    std::string text = m.line1 + (m.line2.empty() ? "" : " " + m.line2);
    std::fprintf(stderr, "%s%s\n", m.kind == "error" ? "error: " : "", text.c_str());
}

obj_file load(const tool_options &options, run_summary &summary)
{
    std::vector<selector> selectors;
    for (const std::string &text : options.select)
        selectors.push_back(parse_selector(text));

    clock::time_point start = clock::now();
    obj_file file = options.input.empty() ? parse_obj(builtin_obj(), "(built-in mesh)") : read_obj(options.input);
    for (const std::string &warning : file.warnings)
        std::fprintf(stderr, "minihost: %s: warning: %s\n", file.name.c_str(), warning.c_str());
    apply_selection(file, selectors);
    summary.read_ms = ms_since(start);

    summary.input = file.name;
    summary.points = file.model.point_count();
    summary.faces = file.faces.size();
    count_selection(file.model, summary);
    return file;
}

run_outcome run_command(host &h, activate_fn activate, terminal_monitor &monitor, edit_trace &trace,
                        run_summary &summary)
{
    bool error_shown = false;
    h.on_message = [&](const message &m)
    {
        error_shown |= m.kind == "error";
        show_message(m, monitor);
    };
    h.on_step = [&](uint32_t done, uint32_t total)
    { return monitor.step(h.progress().title, h.progress().caption, done, total); };
    h.on_edit = [&](uint32_t polygon, bool added) { added ? trace.added(polygon) : trace.removed(polygon); };

    clock::time_point start = clock::now();
    int32_t result = h.run(activate);
    summary.command_ms = ms_since(start);
    monitor.finish();

    summary.pairs = trace.pairs();
    if (monitor.aborted() || monitor.interrupted())
        return run_outcome::aborted;
    if (result != 0 || h.end_code() != 0 || error_shown)
        return run_outcome::command_failed;
    return run_outcome::done;
}

// the report, and the edited copy written unless the user said otherwise
void save(const tool_options &options, const obj_file &file, const mesh &result, const edit_trace &trace,
          const terminal_monitor &monitor, run_summary &summary)
{
    summary.why = find_reasons(file, result, trace);

    clock::time_point start = clock::now();
    rewritten edited = rewrite_obj(file, result, trace);
    if (options.output.empty())
        summary.not_written = "no -o OUT.obj given";
    else if (options.dry_run)
        summary.not_written = "--dry-run";
    else if (monitor.interrupted())
        summary.outcome = run_outcome::aborted;
    else
    {
        write_file_atomically(options.output, edited.text);
        summary.output = options.output;
    }
    // the picture is a report: it is drawn on a dry run too
    if (!options.picture.empty() && summary.outcome == run_outcome::done)
    {
        write_file_atomically(options.picture, svg_picture(file, result, trace, summary.why));
        summary.picture = options.picture;
    }
    summary.write_ms = ms_since(start);
}

} // namespace

int run_tool(const tool_options &options)
{
    run_summary summary;
    try
    {
        obj_file file = load(options, summary);
        plugin module(options.plugin);
        activate_fn activate = module.server("CommandSequence", "Dudi_Daz_Adevi");

        // Ctrl-C ends the tool at once until here, with nothing written yet;
        // from here it answers "abort", so that the terminal is restored and
        // no file is left half written
        terminal_monitor monitor(::isatty(STDERR_FILENO));
        host h(std::move(file.model));
        h.keep_log = options.log;
        h.keep_messages = false;
        edit_trace trace;
        summary.outcome = run_command(h, activate, monitor, trace, summary);
        // after code 0 the mesh the host keeps is the command's result
        if (summary.outcome == run_outcome::done)
            save(options, file, std::as_const(h).current(), trace, monitor, summary);
        if (summary.outcome == run_outcome::aborted)
            summary.not_written = "aborted, the edit discarded";
        if (summary.outcome == run_outcome::command_failed)
            summary.not_written = "the command failed";

        if (options.json)
            std::fputs(json_summary(summary, options.log ? &h.log() : nullptr).c_str(), stdout);
        else
        {
            if (options.log)
            {
                for (const std::string &line : h.log())
                    std::printf("%s\n", line.c_str());
                std::printf("\n");
            }
            print_summary(stdout, summary);
        }
        std::fflush(stdout);
    }
    catch (const std::runtime_error &e)
    {
        std::fprintf(stderr, "minihost: %s\n", e.what());
        return exit_bad_input;
    }

    switch (summary.outcome)
    {
    case run_outcome::done:
        return exit_ok;
    case run_outcome::command_failed:
        return exit_command_error;
    case run_outcome::aborted:
        return exit_aborted;
    }
    return exit_command_error;
}

} // namespace minihost
