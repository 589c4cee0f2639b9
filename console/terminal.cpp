#include "console/terminal.h"

#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>

std::size_t standard_streams::read_some(char* into, std::size_t size)
{
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;  // a read error counts as end of input
    }
}

console_port::write_outcome standard_streams::write_all(const char* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t put = ::write(STDOUT_FILENO, bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno == EPIPE) return write_outcome::reader_gone;
        if (put <= 0) return write_outcome::failed;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return write_outcome::written;
}

console_mode detect_console_mode()
{
    bool input_terminal = ::isatty(STDIN_FILENO) == 1;
    bool output_terminal = ::isatty(STDOUT_FILENO) == 1;
    bool utf8 = false;
    if (input_terminal || output_terminal) {
        std::setlocale(LC_CTYPE, "");
        utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    }
    return {input_terminal, input_terminal && utf8, output_terminal && utf8};
}

unsigned clock_seed() { return static_cast<unsigned>(std::time(nullptr)); }
