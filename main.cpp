// onigawara: a console chat partner who plays a short-tempered warlord.
#include <csignal>

#include "console/terminal.h"
#include "engine/conversation.h"

namespace {

standard_streams streams;
// In static storage, so that its buffers stay off the stack; all zero until main
// attaches it, so that it costs no start-up work and no space in the file.
constinit console con;

} // namespace

int main()
{
    // A reader that leaves shows up as a failed write, which ends the conversation quietly.
    std::signal(SIGPIPE, SIG_IGN);
    con.port = &streams;
    con.mode = detect_console_mode();
    random_source rng;
    run_conversation(con, rng, clock_seed());
    console_flush(con);
    return 0;
}
