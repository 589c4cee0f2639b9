// Test support: a console over bytes in memory, code page 932 through iconv (on
// Windows the system's conversion: either way a path independent of the program's
// own tables), and whole conversations run in-process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "console/random.h"
#include "console/utf8_port.h"

// Input from a string, output into a string. `chunk` caps the bytes of one read,
// so that lines and key waits are tested across read boundaries too.
class memory_port : public console_port {
public:
    explicit memory_port(std::string input, std::size_t chunk = SIZE_MAX) : input_(std::move(input)), chunk_(chunk) {}
    std::size_t read_some(char* into, std::size_t size) override;
    void before_read(read_purpose purpose, std::size_t line_capacity) override
    {
        read_purposes += purpose == read_purpose::key ? 'K' : 'L';
        line_capacities.push_back(line_capacity);
    }
    write_outcome write_all(const char* bytes, std::size_t size) override;
    int last_error() const override { return error; }

    std::string output;
    std::string read_purposes;  // what each read was told it is for: L a line, K a key wait
    std::vector<std::size_t> line_capacities;  // and the capacity of the line it was told
    std::size_t reads = 0;
    std::size_t writes = 0;
    write_outcome outcome = write_outcome::written;  // what every write reports
    int error = 0;  // what last_error() reports: the input ends with this read error

private:
    std::string input_;
    std::size_t at_ = 0;
    std::size_t chunk_;
};

// How the streams of a console in memory behave: the kind of streams, and which
// directions are converted as at a UTF-8 terminal (through a utf8_port).
struct test_streams {
    console_mode mode{};
    bool utf8_input = false;
    bool utf8_output = false;
};

// A console over memory, for calling one operation at a time.
struct test_console {
    explicit test_console(std::string input = "", std::size_t chunk = SIZE_MAX, test_streams streams = {});
    std::string flushed();  // everything printed so far
    memory_port port;
    std::unique_ptr<utf8_port> converting;
    std::unique_ptr<console> con;
};

// The first seed from 0 up for which `wanted` (given a freshly seeded source) is true.
template <class Predicate>
std::uint32_t seed_where(Predicate wanted)
{
    for (std::uint32_t seed = 0;; ++seed) {
        random_source rng;
        random_seed(rng, seed);
        if (wanted(rng)) return seed;
    }
}

// How many values `rng` has drawn since it was seeded with `seed` (at most 10 are looked for).
int draws_since(std::uint32_t seed, const random_source& rng);

// UTF-8 text as code page 932 bytes, by iconv (or Windows). Throws if it cannot be converted.
std::string sjis(std::string_view utf8);

// Code page 932 text as UTF-8, by iconv (or Windows). Throws if it cannot be converted.
std::string utf8(std::string_view cp932);

// Whether the system's own code page 932 says that `b` begins a double-byte
// character (Windows); nothing where the system has no such test.
std::optional<bool> system_says_lead_byte(unsigned char b);

// Code page 932 bytes shown as UTF-8 for failure messages; bytes that do not
// decode are shown as \xNN.
std::string readable(std::string_view cp932);

// The output of a whole conversation with a fixed seed and the given input bytes,
// on a console whose streams behave as `streams` says.
std::string converse(std::uint32_t seed, std::string_view input, std::size_t chunk = SIZE_MAX,
                     test_streams streams = {});

// Pieces of every transcript, as code page 932.
std::string opening();                       // title, instructions, name request
std::string prompt(std::string_view name);   // "\n" name "＞" (name given in UTF-8)
std::string end_banner();

// Compares byte strings and shows both readably when they differ.
testing::AssertionResult bytes_equal(const char* expected_expr, const char* actual_expr, const std::string& expected,
                                     const std::string& actual);
#define EXPECT_BYTES(expected, actual) EXPECT_PRED_FORMAT2(bytes_equal, expected, actual)
