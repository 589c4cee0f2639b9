#include "tests/support.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "console/random.h"
#include "engine/conversation.h"

std::size_t memory_port::read_some(char* into, std::size_t size)
{
    ++reads;
    std::size_t n = std::min({size, chunk_, input_.size() - at_});
    std::memcpy(into, input_.data() + at_, n);
    at_ += n;
    return n;
}

console_port::write_outcome memory_port::write_all(const char* bytes, std::size_t size)
{
    ++writes;
    if (outcome == write_outcome::written) output.append(bytes, size);
    return outcome;
}

test_console::test_console(std::string input, std::size_t chunk, test_streams streams)
    : port(std::move(input), chunk)
{
    console_port* edge = &port;
    if (streams.utf8_input || streams.utf8_output) {
        converting = std::make_unique<utf8_port>(port);
        converting->convert(streams.utf8_input, streams.utf8_output);
        edge = converting.get();
    }
    con = std::make_unique<console>(*edge, streams.mode);
}

std::string test_console::flushed()
{
    console_flush(*con);
    return port.output;
}

int draws_since(std::uint32_t seed, const random_source& rng)
{
    random_source counter;
    random_seed(counter, seed);
    int draws = 0;
    while (counter.state != rng.state && draws < 10) {
        random_next(counter);
        ++draws;
    }
    return draws;
}

std::string converse(std::uint32_t seed, std::string_view input, std::size_t chunk, test_streams streams)
{
    test_console t{std::string(input), chunk, streams};
    random_source rng;
    run_conversation(*t.con, rng, seed);
    console_finish(*t.con);
    return t.port.output;
}

std::string opening()
{
    return sjis("\n「鬼瓦の雷鳴」version.3"
                "\n\nまずは [Alt] + [半角/全角] で入力を日本語に切り替えてくだされ"
                "\n\nそしてそなたの名を入力してくだされ → ");
}

std::string prompt(std::string_view name) { return "\n" + sjis(name) + sjis("＞"); }

std::string end_banner() { return sjis("\n\n" "　　　　　　　　　　　　　　　　　　　　　　" "－　完　－　"); }

testing::AssertionResult bytes_equal(const char* expected_expr, const char* actual_expr, const std::string& expected,
                                     const std::string& actual)
{
    if (expected == actual) return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return testing::AssertionFailure() << actual_expr << " differs from " << expected_expr << " at byte " << at
                                       << "\nexpected:\n" << readable(expected) << "\nactual:\n" << readable(actual);
}
