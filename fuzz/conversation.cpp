// Fuzz target: a whole conversation, from the title to its ending or to the end
// of input.
//
// Input: four seed bytes, a read-size byte, a mode byte (see fuzz_console; bits
// 3 to 7 also choose what every write reports: written, failed or reader gone), then
// the bytes of standard input. Checked: no sanitizer report, the run returns
// (a turn that repeated for ever shows up as a libFuzzer timeout), end of input
// is asked for once, nothing is read or written after the reader has gone, a
// converted output is written in whole UTF-8 characters, the title comes first,
// and the run stops only at an ending (the end banner is the last thing written),
// at the end of input or when the reader has gone.
#include <cstdint>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/cp932.h"
#include "console/random.h"
#include "engine/conversation.h"
#include "fuzz/fuzz_input.h"

namespace {

// "\n\n", 22 ideographic spaces, "－　完　－　", as code page 932 and as UTF-8.
std::string end_banner(bool utf8)
{
    const std::string space = utf8 ? "\xE3\x80\x80" : "\x81\x40";
    const std::string dash = utf8 ? "\xEF\xBC\x8D" : "\x81\x7C";
    const std::string kan = utf8 ? "\xE5\xAE\x8C" : "\x8A\xAE";
    std::string banner = "\n\n";
    for (int i = 0; i < 22; ++i) banner += space;
    return banner + dash + space + kan + space + dash + space;
}

// The first line the program prints, as code page 932 and as UTF-8 (this file is UTF-8).
std::string title(bool utf8) { return utf8 ? "\n「鬼瓦の雷鳴」version.3" : "\n「鬼瓦の雷鳴」version.3"_sj; }

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input in(data, size);
    const std::uint32_t seed = in.word();
    const std::size_t chunk = chunk_from(in.byte());
    const std::uint8_t mode_bits = in.byte();

    const auto outcome = static_cast<console_port::write_outcome>((mode_bits >> 3) % 3);

    fuzz_console f(in.rest(), chunk, mode_bits, outcome);
    random_source rng;
    run_conversation(*f.con, rng, seed);
    const bool input_ended = f.con->input_ended || f.con->last_read_ended;
    console_finish(*f.con);

    FUZZ_CHECK(f.port.written.starts_with(title(f.utf8_output)));
    FUZZ_CHECK(input_ended || f.con->halted || ends_with(f.port.written, end_banner(f.utf8_output)));
    return 0;
}
