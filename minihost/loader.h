// Loads a plug-in file the way the modelling host does: the platform
// loader, the exported module record, its constants and its server list.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "host/host.h"

namespace minihost
{

// What went wrong loading or reading a plug-in, in words a user can act on.
struct plugin_error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class plugin
{
  public:
    // Loads the file and checks its module record; throws plugin_error.
    explicit plugin(const std::string &path);
    // Calls shutdown when the module was started, then unloads the file.
    ~plugin();
    plugin(const plugin &) = delete;
    plugin &operator=(const plugin &) = delete;

    const module_record &record() const { return *module; }
    const std::string &path() const { return file; }

    // The activation function of a server; starts the module before the
    // first one is handed out. Throws plugin_error when there is none or
    // when startup fails (returns null).
    activate_fn server(std::string_view class_name, std::string_view server_name);

    // the value startup returned, once started
    void *started() const { return startup_result; }

  private:
    std::string file;
    void *library = nullptr;
    const module_record *module = nullptr;
    bool running = false;
    void *startup_result = nullptr;
};

} // namespace minihost
