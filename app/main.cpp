// onigawara: a console chat partner who plays a short-tempered warlord.
#include <cstdio>

#include "app/command_line.h"
#include "console/platform.h"
#include "engine/conversation.h"

namespace {

// In static storage, so that its buffers stay off the stack; all zero until main
// attaches it, so that it costs no start-up work and no space in the file.
constinit console con;

// Help and version on standard output; a wrong command line on standard error
// and nothing on standard output. The exit status follows GNU usage: 2 for bad usage.
int answer_without_playing(const command_line& args)
{
    switch (args.what) {
    case command_line::action::help:
        std::fputs(command_line_help, stdout);
        return 0;
    case command_line::action::version:
        std::fputs(command_line_version, stdout);
        return 0;
    default:
        std::fprintf(stderr, "onigawara: %s\nTry 'onigawara --help'.\n", args.problem);
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
    return 0;
}
