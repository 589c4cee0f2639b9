// The console runtime: random source, formatted output, line input and key wait.
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "console/console.h"
#include "console/cp932.h"
#include "console/random.h"
#include "console/text.h"
#include "tests/support.h"

namespace {

// ---- Random source --------------------------------------------------------------

TEST(RandomSource, KnownAnswers)
{
    struct case_ {
        std::uint32_t seed;
        std::vector<int> first;
    };
    for (const case_& c : {case_{1, {41, 18467, 6334, 26500, 19169}}, case_{0, {38, 7719, 21238, 2437, 8855}},
                           case_{0xFFFFFFFFu, {35, 29739, 3374, 11141, 31308}}}) {
        random_source rng;
        random_seed(rng, c.seed);
        std::vector<int> got;
        for (std::size_t i = 0; i < c.first.size(); ++i) got.push_back(random_next(rng));
        EXPECT_EQ(c.first, got) << "seed " << c.seed;
    }
}

TEST(RandomSource, UnseededStartsFromOne)
{
    random_source unseeded;
    random_source seeded;
    random_seed(seeded, 1);
    EXPECT_EQ(random_next(seeded), random_next(unseeded));
}

// ---- Output ------------------------------------------------------------------------

TEST(ConsolePrint, ReplacesConversionsAndNothingElse)
{
    test_console f("");
    console_print(*f.con, "%s＞%sが%d、%d、%d"_sj, "鬼瓦"_sj, "a%sb%d%n%x%%", 100, -42, 0);
    console_print(*f.con, "%d|%d"_sj, 2147483647, -2147483647 - 1);
    EXPECT_BYTES(sjis("鬼瓦＞a%sb%d%n%x%%が100、-42、0") + "2147483647|-2147483648", f.flushed());
}

TEST(ConsolePrint, CollectsPrintsAndWritesThemBeforeWaitingForInput)
{
    test_console f("x\ny\n");
    char line[10];
    console_print(*f.con, "a"_sj);
    console_print(*f.con, "b"_sj);
    EXPECT_EQ(0u, f.port.writes);
    ASSERT_TRUE(console_get_line(*f.con, line));  // has to read: "ab" goes out first
    EXPECT_EQ("ab", f.port.output);
    console_print(*f.con, "c"_sj);
    ASSERT_TRUE(console_get_line(*f.con, line));  // "y" is already buffered: no write
    EXPECT_EQ(1u, f.port.writes);
    EXPECT_EQ("abc", f.flushed());
}

TEST(ConsolePrint, AReaderThatLeftEndsTheInput)
{
    test_console f("a\nb\n", 2);
    f.port.outcome = console_port::write_outcome::reader_gone;
    char line[10] = "old";
    console_print(*f.con, "prompt"_sj);
    EXPECT_FALSE(console_get_line(*f.con, line));
    EXPECT_STREQ("old", line);
}

TEST(ConsolePrint, AFailedReadOrWriteStopsTheConversationAndSaysWhy)
{
    // Nothing more is written or read; a port that knows no reason gives EIO.
    struct case_ {
        const char* what;
        console_port::write_outcome outcome;
        int error;
        console_failure::kind failed;
        int reported;
    };
    const case_ cases[] = {
        {"a write fails", console_port::write_outcome::failed, ENOSPC, console_failure::kind::write, ENOSPC},
        {"a write fails, reason unknown", console_port::write_outcome::failed, 0, console_failure::kind::write, EIO},
        {"a read fails", console_port::write_outcome::written, EISDIR, console_failure::kind::read, EISDIR},
        {"the reader left", console_port::write_outcome::reader_gone, 0, console_failure::kind::none, 0},
    };
    for (const case_& c : cases) {
        SCOPED_TRACE(c.what);
        test_console f(c.failed == console_failure::kind::read ? "" : "a\nb\n", 2);
        f.port.outcome = c.outcome;
        f.port.error = c.error;
        char line[10] = "old";
        console_print(*f.con, "prompt"_sj);
        EXPECT_FALSE(console_get_line(*f.con, line));
        EXPECT_STREQ("old", line);
        console_wait_key(*f.con);
        console_print(*f.con, "more"_sj);
        console_finish(*f.con);
        EXPECT_EQ(0u, f.port.reads - (c.failed == console_failure::kind::read ? 1 : 0));
        EXPECT_EQ(c.failed == console_failure::kind::read ? "prompt" : "", f.port.output);
        EXPECT_EQ(c.failed, f.con->failure.what);
        EXPECT_EQ(c.reported, f.con->failure.error);
    }
}

// ---- Line input ----------------------------------------------------------------------

// Every line that a capacity-sized buffer receives, until end of input.
std::vector<std::string> lines_of(std::string input, std::size_t capacity, std::size_t chunk)
{
    test_console f(std::move(input), chunk);
    std::vector<std::string> lines;
    std::vector<char> buffer(capacity + 1, '#');  // one guard byte past the capacity
    while (console_get_line(*f.con, buffer.data(), capacity)) {
        EXPECT_EQ('#', buffer[capacity]) << "wrote past the buffer";
        lines.emplace_back(buffer.data(), std::strlen(buffer.data()));
    }
    return lines;
}

TEST(ConsoleGetLine, TextModeLines)
{
    struct case_ {
        const char* what;
        std::string input;
        std::size_t capacity;
        std::vector<std::string> lines;
    };
    const std::string a = sjis("あ");  // 0x82 0xA0
    const std::string mo = sjis("申");  // 0x90 0x5C: a trail byte in the ASCII range
    const case_ cases[] = {
        {"plain lines", "abc\n\nd\n", 100, {"abc", "", "d"}},
        {"last line without newline", "abc\nde", 100, {"abc", "de"}},
        {"no input", "", 100, {}},
        {"CR LF is a newline", "ab\r\ncd\r\n", 100, {"ab", "cd"}},
        {"a lone CR stays", "a\rb\n\r", 100, {"a\rb", "\r"}},
        {"CR CR LF keeps one CR", "a\r\r\n", 100, {"a\r"}},
        {"NUL bytes are stored", std::string("a\0b\n", 4), 100, {"a"}},
        {"0x1A ends the data for good", "ab\ncd\x1A" "ef\ngh\n", 100, {"ab", "cd"}},
        {"0x1A first", "\x1A" "ab\n", 100, {}},
        {"cut at capacity, rest dropped", "abcdefgh\nxy\n", 5, {"abcd", "xy"}},
        {"cut before a double-byte char", "abc" + a + "d\nxy\n", 5, {"abc", "xy"}},
        {"double-byte char that fits", "ab" + a + "d\n", 5, {"ab" + a}},
        {"trail byte 0x5C is not a lead", mo + mo + mo + "\n", 5, {mo + mo}},
        {"a cut line ending at end of input", "abcdefgh", 5, {"abcd"}},
        {"exactly the capacity", "abcd\n", 5, {"abcd"}},
    };
    for (const case_& c : cases) {
        for (std::size_t chunk : {SIZE_MAX, std::size_t{1}, std::size_t{3}})
            EXPECT_EQ(c.lines, lines_of(c.input, c.capacity, chunk)) << c.what << ", chunk " << chunk;
    }
}

TEST(ConsoleGetLine, EndOfInputLeavesTheBufferAsItWas)
{
    test_console f("abc");
    char line[10] = "xyz";
    ASSERT_TRUE(console_get_line(*f.con, line));
    EXPECT_STREQ("abc", line);
    EXPECT_FALSE(console_get_line(*f.con, line));
    EXPECT_STREQ("abc", line);
    EXPECT_FALSE(console_get_line(*f.con, line));  // and stays ended
}

TEST(ConsoleGetLine, EndOfInputIsRememberedAndNotAskedAgain)
{
    test_console f("a\n");
    char line[10];
    ASSERT_TRUE(console_get_line(*f.con, line));
    EXPECT_FALSE(console_get_line(*f.con, line));
    std::size_t reads = f.port.reads;
    console_wait_key(*f.con);
    EXPECT_FALSE(console_get_line(*f.con, line));
    EXPECT_EQ(reads, f.port.reads);
}

TEST(ConsoleGetLine, ABufferOfNoBytesTakesTheWholeLineAndStoresNothing)
{
    // A NUL byte in the line does not end it there: the newline does.
    test_console f(std::string("a\0b\nc\n", 6));
    char line[10] = "old";
    EXPECT_TRUE(console_get_line(*f.con, line, 0));
    EXPECT_STREQ("old", line);
    ASSERT_TRUE(console_get_line(*f.con, line));
    EXPECT_STREQ("c", line);
}

TEST(ConsoleGetLine, ALongLineIsOneLine)
{
    std::string input(10 * 1024 * 1024, 'x');
    input += "\nnext\n";
    EXPECT_EQ((std::vector<std::string>{std::string(99, 'x'), "next"}), lines_of(input, 100, SIZE_MAX));
}

TEST(ConsoleGetLine, AtATerminal0x1AEndsTheDataOfItsReadOnly)
{
    // Every call until the input ends for good; "<end>" where a call met end of input.
    struct case_ {
        const char* what;
        std::string input;
        std::size_t chunk;
        std::vector<std::string> calls;
    };
    const case_ cases[] = {
        {"the rest of the read is dropped, the next read goes on", "ab\x1A" "cd\n" "ef\n", 6, {"abef", "<end>"}},
        // Reads "ab\n", "\x1Acd", "\nef", "\n".
        {"first in a read: that read is end of input, the next goes on", "ab\n" "\x1A" "cd\n" "ef\n", 3,
         {"ab", "<end>", "", "ef", "<end>"}},
    };
    for (const case_& c : cases) {
        test_console f(c.input, c.chunk, {{true, false}});
        std::vector<std::string> calls;
        char line[20];
        for (int call = 0; call < 10 && !f.con->input_ended; ++call)
            calls.emplace_back(console_get_line(*f.con, line) ? line : "<end>");
        EXPECT_EQ(c.calls, calls) << c.what;
    }
}

// ---- Key wait -------------------------------------------------------------------------

TEST(ConsoleWaitKey, TakesOneByteOfTheSameStream)
{
    struct case_ {
        const char* what;
        std::string input;
        std::string next_line;
    };
    const std::string a = sjis("あ");
    const case_ cases[] = {
        {"Enter alone", "\nabc\n", "abc"},
        {"first byte of a typed line", "xyz\n", "yz"},
        {"first byte of a double-byte character", a + "\n", a.substr(1)},
        {"CR LF is one newline", "\r\nabc\n", "abc"},
    };
    for (const case_& c : cases) {
        test_console f(c.input, 1);
        char line[10];
        console_wait_key(*f.con);
        ASSERT_TRUE(console_get_line(*f.con, line)) << c.what;
        EXPECT_EQ(c.next_line, line) << c.what;
    }
}

TEST(ConsoleWaitKey, AtEndOfInputReturnsAndTheInputStaysEnded)
{
    test_console f("x");
    console_wait_key(*f.con);  // takes the x
    console_wait_key(*f.con);  // meets the end of input
    console_wait_key(*f.con);  // returns at once, without asking again
    EXPECT_EQ(2u, f.port.reads);
    char line[10] = "old";
    EXPECT_FALSE(console_get_line(*f.con, line));
    EXPECT_STREQ("old", line);
}

// The port hears what each read is for (the page shows a sign at a key wait), at a
// UTF-8 edge too; a key wait that finds its byte already read asks nothing.
TEST(ConsoleWaitKey, TellsThePortWhichReadsAreForAKey)
{
    struct case_ {
        const char* what;
        std::string input;
        std::size_t chunk;
        std::string purposes;
    };
    const case_ cases[] = {
        {"a byte per read", "ab\n\ncd\n", 1, "LLLKLLL"},
        {"CR LF at a key wait, a byte per read", "a\n\r\nb\n", 1, "LLKKLL"},
        {"all at once: the key's byte is already there", "ab\n\ncd\n", SIZE_MAX, "L"},
        {"the key wait meets the end of input", "ab\n", SIZE_MAX, "LK"},
    };
    for (bool utf8_input : {false, true}) {
        for (const case_& c : cases) {
            test_console f(c.input, c.chunk, {.utf8_input = utf8_input});
            char line[10];
            console_get_line(*f.con, line);
            console_wait_key(*f.con);
            console_get_line(*f.con, line);
            EXPECT_EQ(c.purposes, f.port.read_purposes) << c.what << (utf8_input ? ", converted" : "");
        }
    }
}

// ---- What the port is told before each read ------------------------------------------------

// A port that edits lines itself keeps each to what the console keeps of it: the
// capacity of the line read, and at a key wait, of the line read before it.
TEST(ConsoleInput, TellsThePortTheCapacityOfTheLineRead)
{
    memory_port port("ab\nc\nd\n", 3);  // reads "ab\n", "c\nd", "\n"
    console con(port, {});
    char name[20];
    char line[100];
    ASSERT_TRUE(console_get_line(con, name));
    console_wait_key(con);
    ASSERT_TRUE(console_get_line(con, line));  // "" after the c that the wait took: no read
    ASSERT_TRUE(console_get_line(con, line));
    EXPECT_EQ((std::vector<std::size_t>{20, 20, 100}), port.line_capacities);
    EXPECT_EQ("LKL", port.read_purposes);
}

TEST(ConsoleKeptSize, IsWhatALineKeepsOfTheTypedLine)
{
    const std::string a = sjis("あ");
    const std::string mo = sjis("申");  // a trail byte in the ASCII range
    struct case_ {
        std::string typed;
        std::size_t capacity;
        std::size_t kept;
    };
    const case_ cases[] = {
        {"abc", 4, 3},   {"abcd", 4, 3},       {"ab" + a, 4, 2}, {"a" + a, 4, 3},
        {mo + mo, 4, 2}, {a + a + a, 100, 6},  {"abc", 0, 0},    {"", 4, 0},
    };
    for (const case_& c : cases) {
        EXPECT_EQ(c.kept, console_kept_size(c.typed.data(), c.typed.size(), c.capacity)) << readable(c.typed);
        if (c.capacity > 0) {  // and it is what console_get_line keeps
            test_console f(c.typed + "\n");
            std::vector<char> buffer(c.capacity);
            ASSERT_TRUE(console_get_line(*f.con, buffer.data(), c.capacity));
            EXPECT_EQ(c.kept, std::strlen(buffer.data())) << readable(c.typed);
        }
    }
}

// ---- Exact comparison ------------------------------------------------------------------

TEST(TextEquals, WholeStringsByteForByte)
{
    EXPECT_TRUE(text_equals("", ""));
    EXPECT_TRUE(text_equals("本能寺"_sj, "本能寺"_sj));
    EXPECT_FALSE(text_equals("本能寺 "_sj, "本能寺"_sj));
    EXPECT_FALSE(text_equals("", " "));
    EXPECT_FALSE(text_equals("ａ"_sj, "a"));
}

} // namespace
