// The plug-in file of this build, loaded once per test program.
#pragma once

#include "minihost/loader.h"

namespace testing_support
{

#ifndef PLUGIN_PATH
#error "PLUGIN_PATH names the plug-in file under test"
#endif

inline const char *plugin_path()
{
    return PLUGIN_PATH;
}

inline minihost::plugin &loaded_plugin()
{
    static minihost::plugin module(PLUGIN_PATH);
    return module;
}

inline activate_fn loaded_command()
{
    return loaded_plugin().server("CommandSequence", "Dudi_Daz_Adevi");
}

} // namespace testing_support
