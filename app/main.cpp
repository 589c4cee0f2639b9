// onigawara: a console chat partner who plays a short-tempered warlord.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "console/platform.h"
#include "engine/conversation.h"

namespace {

// In static storage, so that its buffers stay off the stack; all zero until main
// attaches it, so that it costs no start-up work and no space in the file.
constinit console con;

// Says on standard error why the program could not go on, as GNU programs do, and
// gives the exit status 1: "onigawara: write error: No space left on device".
int report_failure(const char* what, int error)
{
    std::fprintf(stderr, "onigawara: %s error: %s\n", what, std::strerror(error));
    return 1;
}

// Prints `pieces` on standard output. When they cannot all be written (a full disk,
// a closed stream), says why: a help text that never arrived is no success.
template <std::size_t count>
int print_answer(const std::array<const char*, count>& pieces)
{
    int failure = 0;
    for (const char* piece : pieces) {
        if (std::fputs(piece, stdout) == EOF) {
            failure = errno != 0 ? errno : EIO;
            break;
        }
    }
    if (failure == 0 && std::fflush(stdout) == EOF) failure = errno != 0 ? errno : EIO;
    return failure == 0 ? 0 : report_failure("write", failure);
}

// Help and version on standard output; a wrong command line on standard error
// and nothing on standard output. The exit status follows GNU usage: 2 for bad usage.
int answer_without_playing(const command_line& args)
{
    switch (args.what) {
    case command_line::action::help:
        return print_answer(command_line_help());
    case command_line::action::version:
        return print_answer(std::array{command_line_version});
    default:
        std::fprintf(stderr, "onigawara: %s\nTry 'onigawara --help' for more information.\n", args.problem);
        return 2;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const command_line args = parse_command_line(argc - 1, argv + 1, platform_takes_slash_help());
    if (args.what != command_line::action::play) return answer_without_playing(args);

    console_mode mode;
    console_port& port = platform_open_console(args.charset, mode);
    console_attach(con, port, mode);
    random_source rng;
    run_conversation(con, rng, args.seed_given ? args.seed : platform_clock_seed());
    console_finish(con);
    platform_close_console();
    // A game that could not read its player or be seen ended at once; a reader that
    // left (a closed pipe) ends it quietly, and so does the end of input.
    switch (con.failure.what) {
    case console_failure::kind::read: return report_failure("read", con.failure.error);
    case console_failure::kind::write: return report_failure("write", con.failure.error);
    case console_failure::kind::none: break;
    }
    return 0;
}
