// onigawara: a console chat partner who plays a short-tempered warlord.
#include <csignal>

#include "console/terminal.h"
#include "engine/conversation.h"

int main()
{
    // A reader that leaves shows up as a failed write, which ends the conversation quietly.
    std::signal(SIGPIPE, SIG_IGN);
    standard_streams streams;
    static console con(streams, detect_console_mode());  // static: its buffers stay off the stack
    random_source rng;
    run_conversation(con, rng, clock_seed());
    console_flush(con);
    return 0;
}
