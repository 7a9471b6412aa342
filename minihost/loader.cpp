#include "minihost/loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <sys/stat.h>

namespace minihost
{

namespace
{

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

void expect(const std::string &file, const char *field, uint32_t value, uint32_t wanted, int digits = 1)
{
    if (value != wanted)
        throw plugin_error(file + ": module record field " + field + " is " + hex(value, digits) + ", expected " +
                           hex(wanted, digits));
}

} // namespace

plugin::plugin(const std::string &path) : file(path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        throw plugin_error(path + ": no such plug-in file");

    // a bare file name would send dlopen through the library search path,
    // away from the file just found
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    library = ::dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char *why = ::dlerror();
        throw plugin_error(path + ": not a loadable library (" + (why ? why : "unknown reason") + ")");
    }

    module = static_cast<const module_record *>(::dlsym(library, "_mod_descrip"));
    if (!module)
    {
        ::dlclose(library);
        throw plugin_error(path + ": exports no _mod_descrip module record");
    }

    try
    {
        expect(path, "magic", module->magic, MODULE_MAGIC, 8);
        expect(path, "version", module->version, MODULE_VERSION);
        expect(path, "machine", module->machine, MODULE_MACHINE);
        if (!module->startup)
            throw plugin_error(path + ": module record has no startup function");
        if (!module->shutdown)
            throw plugin_error(path + ": module record has no shutdown function");
        if (!module->servers)
            throw plugin_error(path + ": module record has no server list");
    }
    catch (...)
    {
        ::dlclose(library);
        throw;
    }
}

plugin::~plugin()
{
    if (running)
        module->shutdown();
    ::dlclose(library);
}

activate_fn plugin::server(std::string_view class_name, std::string_view server_name)
{
    for (const server_entry *entry = module->servers;
         entry->class_name || entry->server_name || entry->activate || entry->tags; ++entry)
    {
        if (!entry->class_name || !entry->server_name || !entry->activate)
            continue;
        if (class_name == entry->class_name && server_name == entry->server_name)
        {
            if (!running)
            {
                // null is the module's way of saying it cannot run
                startup_result = module->startup();
                if (!startup_result)
                    throw plugin_error(file + ": module startup failed (returned null)");
                running = true;
            }
            return entry->activate;
        }
    }
    throw plugin_error(file + ": no server \"" + std::string(server_name) + "\" of class \"" + std::string(class_name) +
                       "\"");
}

} // namespace minihost
