// The progress monitor on the terminal: a bar on stderr, and the user's two
// ways to stop a long run, ESC and Ctrl-C, each answering "abort" at the
// command's next step.
#pragma once

#include <cstdint>
#include <string_view>

#include <termios.h>

namespace minihost
{

class terminal_monitor
{
  public:
    // Catches Ctrl-C (and SIGTERM, SIGHUP) from here on; draws the bar only
    // when `draw` (stderr is a terminal).
    explicit terminal_monitor(bool draw);
    // Leaves raw mode, clears the bar and gives the signals back.
    ~terminal_monitor();
    terminal_monitor(const terminal_monitor &) = delete;
    terminal_monitor &operator=(const terminal_monitor &) = delete;

    // One step of the host's monitor: true when the user asked to abort. The
    // first step puts the terminal in raw mode to read ESC without Enter.
    bool step(std::string_view title, std::string_view caption, uint32_t done, uint32_t total);

    // Clears the bar so that a message can take its line; the next step
    // draws it again.
    void clear_bar();

    // The monitor closed: the terminal as it was, the bar gone.
    void finish();

    // Ctrl-C, SIGTERM or SIGHUP arrived since construction
    bool interrupted() const;
    // a step answered "abort"
    bool aborted() const { return abort_answered; }

  private:
    bool draw;
    bool raw = false;
    bool tried_raw = false;
    bool drawn = false;
    bool abort_answered = false;
    int last_percent = -1;
    struct termios saved
    {
    };
};

} // namespace minihost
