// The console at a UTF-8 terminal: text is converted at the edge and nowhere else,
// so a conversation there is the code page 932 conversation, converted.
#include <memory>
#include <vector>

#include "console/console.h"
#include "console/cp932.h"
#include "tests/support.h"

namespace {

// The conversions alone: what a terminal adds of its own is tested apart.
constexpr test_streams utf8_both{{true, false}, true, true};
constexpr test_streams utf8_input_only{{true, false}, true, false};   // output into a pipe
constexpr test_streams utf8_output_only{{false, false}, false, true};  // input from a pipe

const std::string replacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

TEST(Utf8Terminal, ConversationIsTheShiftJisOneConvertedAtTheEdge)
{
    struct case_ {
        const char* what;
        std::string typed;   // UTF-8, as the terminal sends it
        std::string stored;  // what the engine must get instead: code page 932
    };
    const case_ cases[] = {
        {"silence and a temple word", "太郎\n\n本能寺\nx\n", sjis("太郎\n\n本能寺\nx\n")},
        {"the Microsoft tilde and minus", "～－\n本能寺\n\n", sjis("～－\n本能寺\n\n")},
        // 30 bytes of UTF-8 are 20 of code page 932: the name is cut at 19 bytes of those.
        {"capacity counts code page 932 bytes", "あいうえおかきくけこ\n\n", sjis("あいうえおかきくけこ\n\n")},
        {"an emoji is one question mark", "太郎\xF0\x9F\x98\x80x\n\n", sjis("太郎?x\n\n")},
        {"malformed UTF-8", "太\xE3\x81郎\x80\n\n", sjis("太?郎?\n\n")},
        {"CR LF", "太郎\r\n\r\n", sjis("太郎\r\n\r\n")},
        {"input ends inside a character", "太郎\n\xE3\x81", sjis("太郎\n?")},
    };
    for (const case_& c : cases) {
        const std::string raw = converse(1, c.stored);
        // Chunks of 1 and 2 bytes cut every character between two reads.
        for (std::size_t chunk : {SIZE_MAX, std::size_t{1}, std::size_t{2}, std::size_t{5}}) {
            SCOPED_TRACE(testing::Message() << c.what << ", chunk " << chunk);
            EXPECT_EQ(utf8(raw), converse(1, c.typed, chunk, utf8_both));
            EXPECT_BYTES(raw, converse(1, c.typed, chunk, utf8_input_only));
            EXPECT_EQ(utf8(raw), converse(1, c.stored, chunk, utf8_output_only));
        }
    }
}

// A console over a scripted sequence of reads.
class scripted_port : public console_port {
public:
    explicit scripted_port(std::vector<std::string> reads) : reads_(std::move(reads)) {}
    std::size_t read_some(char* into, std::size_t size) override
    {
        if (next_ == reads_.size()) return 0;
        const std::string& r = reads_[next_++];
        EXPECT_LE(r.size(), size);
        r.copy(into, size);
        return std::min(size, r.size());
    }
    write_outcome write_all(const char* bytes, std::size_t size) override
    {
        output.append(bytes, size);
        return write_outcome::written;
    }
    std::string output;

private:
    std::vector<std::string> reads_;
    std::size_t next_ = 0;
};

TEST(Utf8Terminal, ZeroOneAEndsTheDataOfItsReadOnly)
{
    struct case_ {
        const char* what;
        test_streams streams;
        std::vector<std::string> reads;
        std::vector<std::string> lines;
    };
    const case_ cases[] = {
        {"the rest of the read is dropped", {{true, false}}, {"ab\x1A" "cd\n", "ef\n"}, {"abef"}},
        {"a character cut off after it too", utf8_both, {"ab\x1A" "\xE3\x81", "\x82" "c\n"}, {"ab?c"}},
    };
    for (const case_& c : cases) {
        scripted_port port(c.reads);
        utf8_port converting(port);
        converting.convert(c.streams.utf8_input, c.streams.utf8_output);
        auto con = std::make_unique<console>(converting, c.streams.mode);
        std::vector<std::string> lines;
        char line[100];
        while (console_get_line(*con, line)) lines.emplace_back(line);
        EXPECT_EQ(c.lines, lines) << c.what;
    }
}

TEST(Utf8Terminal, BytesWithNoCounterpartPrintAsReplacementAndTheRestFollows)
{
    // Typing あいう at a key wait: the wait takes the first byte of あ and leaves
    // its trail byte 0xA0, which no code page 932 character begins with.
    test_console t(std::string("あいう\n") + "太郎" + "\n", 1, utf8_both);
    console_wait_key(*t.con);
    char line[100];
    ASSERT_TRUE(console_get_line(*t.con, line));
    EXPECT_BYTES("\xA0" + sjis("いう"), line);
    console_print(*t.con, "\n%s＞%s。"_sj, line, "ab\x82");  // a lead byte at the end of an argument
    // Unassigned pairs (one whose second byte is ASCII keeps that byte), unused single bytes.
    console_print(*t.con, "%s"_sj, "\x85\x40" "\x85\x9F" "c\x80\xFD");
    EXPECT_EQ("\n" + replacement + "いう＞ab" + replacement + "。" + replacement + "@" + replacement + "c" + replacement +
                  replacement,
              t.flushed());
}

} // namespace
