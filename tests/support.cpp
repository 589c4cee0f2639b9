#include "tests/support.h"

#include <iconv.h>

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

namespace {

std::string convert(const char* to, const char* from, std::string_view text, bool strict)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::unique_ptr<void, int (*)(iconv_t)> closer(cd, iconv_close);
    std::string out;
    std::string in(text);
    char* in_ptr = in.data();
    size_t in_left = in.size();
    while (in_left > 0) {
        char buffer[256];
        char* out_ptr = buffer;
        size_t out_left = sizeof buffer;
        size_t result = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            if (strict) throw std::runtime_error("iconv cannot convert: " + std::string(text));
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(*in_ptr));
            out += escaped;
            ++in_ptr;
            --in_left;
        }
    }
    return out;
}

} // namespace

std::string sjis(std::string_view utf8) { return convert("CP932", "UTF-8", utf8, true); }

std::string utf8(std::string_view cp932) { return convert("UTF-8", "CP932", cp932, true); }

std::string readable(std::string_view cp932) { return convert("UTF-8", "CP932", cp932, false); }

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
