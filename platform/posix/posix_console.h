// The program's console on a POSIX system: standard input and output, a terminal
// or not, and how its locale says text is written there.
#pragma once

#include "console/console.h"

// Reads file descriptor 0 and writes file descriptor 1, waiting (not failing)
// when either has been left non-blocking by another program.
class standard_streams : public console_port {
public:
    std::size_t read_some(char* into, std::size_t size) override;
    write_outcome write_all(const char* bytes, std::size_t size) override;
    int last_error() const override { return error_; }

protected:
    int error_ = 0;
};

// True for the names a C library gives UTF-8: "UTF-8", "utf8", "UTF8", ...
bool charset_is_utf8(const char* charset);

// True when a locale name such as "ja_JP.UTF-8" or "ja_JP.utf8@euro", or a
// charset alone ("UTF-8"), says UTF-8. Used when the named locale is not
// installed: the terminal behind it still speaks what its name says.
bool locale_name_is_utf8(const char* name);

// Whether a terminal in the locale that the environment names for LC_CTYPE
// speaks UTF-8. The C and POSIX locales count as UTF-8: they are what a bare
// container or an ssh session without a locale gets, in front of terminals that
// all speak UTF-8 today. A Shift_JIS (or any other) locale does not.
bool terminal_locale_is_utf8();
