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

std::string utf8_of(char32_t code_point)
{
    char out[4];
    if (code_point < 0x80) return std::string(1, static_cast<char>(code_point));
    if (code_point < 0x800)
        return {static_cast<char>(0xC0 | code_point >> 6), static_cast<char>(0x80 | (code_point & 0x3F))};
    if (code_point < 0x10000) {
        out[0] = static_cast<char>(0xE0 | code_point >> 12);
        out[1] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
        out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
        return std::string(out, 3);
    }
    out[0] = static_cast<char>(0xF0 | code_point >> 18);
    out[1] = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
    return std::string(out, 4);
}

TEST(Utf8Terminal, TypedCharactersReachTheEngineAsTheCodePageHoldsThem)
{
    // The bytes are the characters' places in code page 932, written out by hand.
    struct case_ {
        char32_t typed;
        const char* bytes;  // what the engine receives
        char32_t shown;     // how those bytes print back
    };
    const case_ cases[] = {
        // JIS forms that input methods type, read as the code page's own characters.
        {0x301C, "\x81\x60", 0xFF5E},  // 〜 WAVE DASH             ～
        {0x2212, "\x81\x7C", 0xFF0D},  // − MINUS SIGN            －
        {0x2016, "\x81\x61", 0x2225},  // ‖ DOUBLE VERTICAL LINE  ∥
        {0x00A2, "\x81\x91", 0xFFE0},  // ¢ CENT SIGN             ￠
        {0x00A3, "\x81\x92", 0xFFE1},  // £ POUND SIGN            ￡
        {0x00AC, "\x81\xCA", 0xFFE2},  // ¬ NOT SIGN              ￢
        {0x2014, "\x81\x5C", 0x2015},  // — EM DASH               ―
        {0x00A5, "\x5C", 0x5C},         // ¥ YEN SIGN              as JIS-Roman 0x5C
        {0x203E, "\x7E", 0x7E},         // ‾ OVERLINE              as JIS-Roman 0x7E
        // The code page's own forms of the same characters.
        {0xFF5E, "\x81\x60", 0xFF5E},
        {0xFF0D, "\x81\x7C", 0xFF0D},
        {0x2225, "\x81\x61", 0x2225},
        {0xFFE0, "\x81\x91", 0xFFE0},
        {0xFFE2, "\x81\xCA", 0xFFE2},
        {0x2015, "\x81\x5C", 0x2015},
        // Kana, kanji, half-width katakana, ASCII.
        {0x3042, "\x82\xA0", 0x3042},  // あ
        {0x7533, "\x90\x5C", 0x7533},  // 申: a trail byte in the ASCII range
        {0xFF71, "\xB1", 0xFF71},       // ｱ
        {0x5C, "\x5C", 0x5C},
        {0x7E, "\x7E", 0x7E},
        // Nothing in the code page: one question mark.
        {0x00E9, "?", '?'},    // é
        {0x1F600, "?", '?'},   // an emoji
    };
    for (const case_& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << static_cast<unsigned>(c.typed));
        test_console t(utf8_of(c.typed) + "\n", SIZE_MAX, utf8_both);
        char line[10];
        ASSERT_TRUE(console_get_line(*t.con, line));
        EXPECT_BYTES(c.bytes, line);
        console_print(*t.con, "%s"_sj, line);
        EXPECT_EQ(utf8_of(c.shown), t.flushed());
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

TEST(Utf8Terminal, AByteOrderMarkIsSkippedAtTheVeryStartOnly)
{
    const std::string mark = "\xEF\xBB\xBF";
    struct case_ {
        const char* what;
        std::vector<std::string> reads;
        std::vector<std::string> lines;  // in code page 932
    };
    const case_ cases[] = {
        {"before the first line",         {mark + "ab\n"},              {"ab"}},
        {"split between reads",           {"\xEF", "\xBB", "\xBF" "ab\n"}, {"ab"}},
        {"a line of its own",             {mark + "\n" "ab\n"},        {"", "ab"}},
        {"alone, then the end",           {mark},                      {}},
        {"alone in the first read",       {mark, "ab\n"},              {"ab"}},
        {"a second one is a character",   {mark + mark + "ab\n"},       {"?ab"}},
        {"later in the first read",       {"ab\n" + mark + "c\n"},      {"ab", "?c"}},
        {"at the start of a later read",  {"ab\n", mark + "c\n"},       {"ab", "?c"}},
        {"its beginning, then the end",   {"\xEF\xBB"},                 {"?"}},
        {"its beginning, then a letter",  {"\xEF\xBB", "c\n"},          {"?c"}},
    };
    for (const case_& c : cases) {
        scripted_port port(c.reads);
        utf8_port converting(port);
        converting.convert(true, true);
        auto con = std::make_unique<console>(converting, utf8_both.mode);
        std::vector<std::string> lines;
        char line[100];
        while (console_get_line(*con, line)) lines.emplace_back(line);
        EXPECT_EQ(c.lines, lines) << c.what;
    }
}

TEST(Utf8Terminal, AReadEndingIn0x1AIsConvertedWithinTheBytesRead)
{
    // Converted in the reader's buffer: nothing past the bytes read is touched or
    // returned, also when they fill the buffer.
    struct case_ {
        const char* what;
        std::string read;
        std::size_t room;
    };
    const case_ cases[] = {
        {"the read fills the buffer", "abcdefg\x1A", 8},
        {"room is left after the read", "ab\x1A", 8},
    };
    for (const case_& c : cases) {
        scripted_port port({c.read});
        utf8_port converting(port);
        converting.convert(true, false);
        std::string buffer(c.room + 1, '\x80');  // a byte that would be converted to '?'
        EXPECT_EQ(c.read.size(), converting.read_some(buffer.data(), c.room)) << c.what;
        EXPECT_EQ(c.read + std::string(c.room + 1 - c.read.size(), '\x80'), buffer) << c.what;
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

TEST(Utf8Encode, EachLengthFromItsFirstCodePointToItsLast)
{
    // The UTF-8 forms written down from the standard, not from the code. Only the
    // basic plane: code page 932 holds nothing beyond it, and a Windows console's
    // surrogate pairs become U+FFFD before they are encoded.
    struct case_ {
        char32_t code_point;
        std::string bytes;
    };
    const case_ cases[] = {
        {0x007F,   "\x7F"},
        {0x0080,   "\xC2\x80"},
        {0x07FF,   "\xDF\xBF"},
        {0x0800,   "\xE0\xA0\x80"},
        {0xFFFD,   "\xEF\xBF\xBD"},
        {0xFFFF,   "\xEF\xBF\xBF"},
    };
    for (const case_& c : cases) {
        char out[4] = {};
        const std::size_t size = utf8_encode(c.code_point, out);
        EXPECT_EQ(c.bytes, std::string(out, size)) << std::hex << static_cast<std::uint32_t>(c.code_point);
    }
}
