// The tool's road from an OBJ file to the edited one, under any bytes: read,
// select all, run the command, write. Either the reader refuses the file with
// a message that names it, or the written text reads back with as many faces
// as were read; the oracle judges the run in between.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "minihost/minihost.h"
#include "minihost/obj_read.h"
#include "minihost/obj_write.h"
#include "minihost/selection.h"
#include "oracle.h"

#ifndef MATERIAL_DIR
#error "MATERIAL_DIR is where the examples' material files lie"
#endif

namespace testing_support
{
int32_t linked_activate(int32_t, service_lookup_fn, command_record *);
}

namespace
{

[[noreturn]] void finding(const std::string &what)
{
    std::fprintf(stderr, "obj road: %s\n", what.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string name = "fuzz.obj";
    minihost::obj_file file;
    try
    {
        file = minihost::parse_obj(std::string(reinterpret_cast<const char *>(data), size), name, MATERIAL_DIR);
    }
    catch (const minihost::input_error &e)
    {
        if (!std::string(e.what()).starts_with(name + ":"))
            finding(std::string("a refusal that does not name the file: ") + e.what());
        return 0;
    }
    minihost::apply_selection(file, {});

    minihost::mesh original = file.model;
    minihost::host host(original);
    minihost::edit_trace trace;
    host.on_edit = [&](uint32_t polygon, bool added) { added ? trace.added(polygon) : trace.removed(polygon); };
    int32_t result = host.run(&testing_support::linked_activate);
    for (const std::string &problem : testing_support::oracle_loaded(original, host, result))
        finding("oracle: " + problem);
    if (host.end_code() != 0)
        return 0;

    minihost::rewritten edited = minihost::rewrite_obj(file, host.current(), trace);
    try
    {
        minihost::obj_file again = minihost::parse_obj(edited.text, "written.obj", MATERIAL_DIR);
        if (again.faces.size() != file.faces.size())
            finding("wrote " + std::to_string(again.faces.size()) + " faces of " + std::to_string(file.faces.size()));
    }
    catch (const minihost::input_error &e)
    {
        finding(std::string("the written file does not read back: ") + e.what());
    }
    return 0;
}
