#include "minihost/terminal.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

namespace minihost
{

namespace
{

// a signal handler may touch nothing else
volatile std::sig_atomic_t signalled = 0;

const int caught[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(caught)];

extern "C" void note_signal(int)
{
    signalled = 1;
}

const char escape = 0x1b;
const int bar_width = 30;

} // namespace

terminal_monitor::terminal_monitor(bool draw_bar) : draw(draw_bar)
{
    signalled = 0;
    struct sigaction action
    {
    };
    action.sa_handler = &note_signal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(caught); ++i)
        sigaction(caught[i], &action, &previous[i]);
}

terminal_monitor::~terminal_monitor()
{
    finish();
    for (size_t i = 0; i < std::size(caught); ++i)
        sigaction(caught[i], &previous[i], nullptr);
}

bool terminal_monitor::interrupted() const
{
    return signalled != 0;
}

bool terminal_monitor::step(std::string_view title, std::string_view caption, uint32_t done, uint32_t total)
{
    // raw mode only for a foreground job: a background one would be stopped
    if (!tried_raw)
    {
        tried_raw = true;
        if (::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp() &&
            ::tcgetattr(STDIN_FILENO, &saved) == 0)
        {
            struct termios keys = saved;
            keys.c_lflag &= tcflag_t(~(ICANON | ECHO));
            keys.c_cc[VMIN] = 0;
            keys.c_cc[VTIME] = 0;
            raw = ::tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
        }
    }

    int percent = total ? int(uint64_t(done) * 100 / total) : 0;
    if (draw && percent != last_percent)
    {
        int filled = std::min(percent, 100) * bar_width / 100;
        std::fprintf(stderr, "\r%.*s [%s%s] %3d%%  %.*s", int(title.size()), title.data(),
                     std::string(size_t(filled), '#').c_str(), std::string(size_t(bar_width - filled), '.').c_str(),
                     percent, int(caption.size()), caption.data());
        std::fflush(stderr);
        drawn = true;
        last_percent = percent;
    }

    // keys typed before the monitor opened count too: the user meant them
    char keys[64];
    ssize_t n;
    while (raw && (n = ::read(STDIN_FILENO, keys, sizeof keys)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (keys[i] == escape)
                abort_answered = true;
    if (signalled)
        abort_answered = true;
    return abort_answered;
}

void terminal_monitor::clear_bar()
{
    if (drawn)
    {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    drawn = false;
    last_percent = -1;
}

void terminal_monitor::finish()
{
    if (raw)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    raw = false;
    clear_bar();
}

} // namespace minihost
