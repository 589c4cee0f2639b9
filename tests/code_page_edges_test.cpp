// Code page 932 and UTF-8 at every edge, against references written apart from
// the program's code:
// - tests/code_page_edges.txt (made by tests/code_page_edges.py): the byte classes
//   as the code page documents them, typed UTF-8 and printed code page 932 with
//   what a strict decoder, iconv and the program's documented rules make of them;
// - the line and name cuts, written down here from the rule "cut on a character
//   boundary".
// The file is read here, on every platform the unit tests run on, with no iconv.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "console/console.h"
#include "console/cp932.h"
#include "console/utf8_port.h"
#include "tests/support.h"

namespace {

// ---- The reference file ----------------------------------------------------------------

std::string from_hex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16));
    return bytes;
}

std::string to_hex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        if (!hex.empty()) hex += ' ';
        hex += digits[b >> 4];
        hex += digits[b & 0xF];
    }
    return hex;
}

struct byte_range {
    std::string kind;  // lead, trail, single
    unsigned first;
    unsigned last;
};

struct typed_case {
    std::string in;      // UTF-8
    std::string strict;  // U+XXXX,... or "cut" or "bad"
    std::string out;     // code page 932
    std::string what;
};

struct printed_case {
    std::vector<std::string> pieces;  // code page 932
    std::string out;                  // UTF-8
};

struct edge_cases {
    std::vector<byte_range> classes;
    std::vector<typed_case> typed;
    std::vector<printed_case> printed;
};

edge_cases read_edge_cases()
{
    std::ifstream file(ONIGAWARA_EDGE_CASES, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " ONIGAWARA_EDGE_CASES);
    edge_cases cases;
    std::string line;
    while (std::getline(file, line)) {
        std::string what;
        if (std::size_t comment = line.find('#'); comment != std::string::npos) {
            if (comment + 2 < line.size()) what = line.substr(comment + 2);
            line.erase(comment);
        }
        std::istringstream fields(line);
        std::string kind;
        if (!(fields >> kind)) continue;
        if (kind == "class") {
            byte_range r;
            std::string first, last;
            fields >> r.kind >> first >> last;
            r.first = static_cast<unsigned>(std::stoul(first, nullptr, 16));
            r.last = static_cast<unsigned>(std::stoul(last, nullptr, 16));
            cases.classes.push_back(r);
        } else if (kind == "typed") {
            std::string in, out;
            typed_case c;
            fields >> in >> c.strict >> out;
            c.in = from_hex(in);
            c.out = from_hex(out);
            c.what = what;
            cases.typed.push_back(c);
        } else if (kind == "printed") {
            std::string in, out;
            fields >> in >> out;
            printed_case c;
            for (std::size_t start = 0;;) {
                std::size_t bar = in.find('|', start);
                c.pieces.push_back(from_hex(in.substr(start, bar - start)));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            c.out = from_hex(out);
            cases.printed.push_back(c);
        } else {
            throw std::runtime_error("unknown case in " ONIGAWARA_EDGE_CASES ": " + line);
        }
    }
    return cases;
}

const edge_cases& reference()
{
    static const edge_cases cases = read_edge_cases();
    return cases;
}

bool in_class(const char* kind, unsigned b)
{
    for (const byte_range& r : reference().classes)
        if (r.kind == kind && r.first <= b && b <= r.last) return true;
    return false;
}

std::vector<unsigned char> lead_bytes()
{
    std::vector<unsigned char> leads;
    for (unsigned b = 0; b < 0x100; ++b)
        if (in_class("lead", b)) leads.push_back(static_cast<unsigned char>(b));
    return leads;
}

// ---- Byte classes --------------------------------------------------------------------------

TEST(CodePageBytes, EveryByteIsOfItsDocumentedClasses)
{
    ASSERT_EQ(60u, lead_bytes().size()) << "the reference file was not read whole";
    for (unsigned b = 0; b < 0x100; ++b) {
        SCOPED_TRACE(testing::Message() << "byte " << to_hex(std::string(1, static_cast<char>(b))));
        const auto byte = static_cast<unsigned char>(b);
        ASSERT_NE(in_class("lead", b), in_class("single", b)) << "the reference: a byte begins one or two bytes";
        EXPECT_EQ(in_class("lead", b), cp932_is_lead_byte(byte));
        EXPECT_EQ(in_class("trail", b), cp932_is_trail_byte(byte));
        // Where the system has its own lead-byte test (Windows), it agrees.
        if (std::optional<bool> system = system_says_lead_byte(byte)) {
            EXPECT_EQ(in_class("lead", b), *system);
        }
    }
}

// ---- The line cut, the name cut and the key wait ------------------------------------------------

// A trail byte at both ends of each stretch of the trail range: ASCII, the lead
// bytes' first range, the half-width katakana, the lead bytes' second range.
constexpr unsigned char trail_samples[] = {0x40, 0x7E, 0x80, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC};

std::vector<std::string> sample_characters()
{
    std::vector<std::string> characters;
    for (unsigned char lead : lead_bytes())
        for (unsigned char trail : trail_samples) characters.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    return characters;
}

// What the conversation keeps of a typed line and of the player's name: the
// documented sizes, written here apart from the program's constants.
constexpr std::size_t line_bytes = 99;
constexpr std::size_t name_bytes = 19;

struct cut_case {
    std::string line;  // without its newline
    std::string kept;  // what `text_capacity` bytes of text keep
    const char* what;
};

// The rule: a line keeps as many whole characters as fit, a double-byte character
// being its lead byte and the byte after it.
std::vector<cut_case> cut_cases(std::size_t text_capacity)
{
    std::vector<cut_case> cases;
    for (const std::string& c : sample_characters()) {
        const std::string before_cut(text_capacity - 1, 'a');
        cases.push_back({before_cut + c + "b", before_cut, "the character would end one byte past the cut"});
        const std::string two_before_cut(text_capacity - 2, 'a');
        cases.push_back({two_before_cut + c + "b", two_before_cut + c, "the character ends on the cut"});
        std::string repeated;
        while (repeated.size() <= text_capacity) repeated += c;
        std::string fitting;
        while (fitting.size() + c.size() <= text_capacity) fitting += c;
        cases.push_back({repeated, fitting, "the character from the start of the line on"});
    }
    return cases;
}

// Every line that a buffer of `capacity` bytes receives from `input`, until end of input.
std::vector<std::string> lines_read(const std::string& input, std::size_t capacity, std::size_t chunk)
{
    test_console t(input, chunk);
    std::vector<std::string> lines;
    std::vector<char> buffer(capacity + 1, '#');  // one guard byte past the capacity
    while (console_get_line(*t.con, buffer.data(), capacity)) {
        EXPECT_EQ('#', buffer[capacity]) << "wrote past the buffer";
        lines.emplace_back(buffer.data());
    }
    return lines;
}

TEST(LineCut, OnACharacterBoundaryAtEveryLeadByte)
{
    for (std::size_t text_bytes : {line_bytes, name_bytes}) {
        const std::size_t capacity = text_bytes + 1;  // and the NUL
        for (const cut_case& c : cut_cases(text_bytes)) {
            for (std::size_t chunk : {SIZE_MAX, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
                // The rest of a cut line is dropped: the next line is whole.
                const std::vector<std::string> wanted{c.kept, "z"};
                const std::vector<std::string> got = lines_read(c.line + "\nz\n", capacity, chunk);
                if (got == wanted) continue;
                ADD_FAILURE() << c.what << ", capacity " << capacity << ", chunk " << chunk << "\nline: " << to_hex(c.line)
                              << "\nwanted: " << to_hex(wanted[0]) << "\ngot:    " << (got.empty() ? "nothing" : to_hex(got[0]));
            }
        }
    }
}

TEST(LineCut, TheConversationCutsTheNameAndTheLineAlike)
{
    // The conversation with the long name or line is the one with what the cut keeps.
    const std::string then = sjis("\n本能寺\n\n");
    for (const cut_case& c : cut_cases(name_bytes))
        EXPECT_BYTES(converse(1, c.kept + then), converse(1, c.line + then)) << c.what << ": " << to_hex(c.line);
    const std::string name = sjis("太郎\n");
    for (const cut_case& c : cut_cases(line_bytes))
        EXPECT_BYTES(converse(1, name + c.kept + then), converse(1, name + c.line + then)) << c.what << ": " << to_hex(c.line);
}

TEST(KeyWait, TakesTheFirstByteOfAnyCharacter)
{
    for (const std::string& c : sample_characters()) {
        const std::string cut_line = std::string(line_bytes - 1, 'a') + c;
        for (std::size_t chunk : {SIZE_MAX, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
            SCOPED_TRACE(testing::Message() << to_hex(c) << ", chunk " << chunk);
            // At the start of the input, and after a line cut just before the character.
            test_console t(c + "b\n" + cut_line + "\n" + c + "b\n", chunk);
            char line[line_bytes + 1];
            console_wait_key(*t.con);
            ASSERT_TRUE(console_get_line(*t.con, line));
            EXPECT_EQ(to_hex(c.substr(1) + "b"), to_hex(line));
            ASSERT_TRUE(console_get_line(*t.con, line));
            EXPECT_EQ(to_hex(cut_line.substr(0, line_bytes - 1)), to_hex(line));
            console_wait_key(*t.con);
            ASSERT_TRUE(console_get_line(*t.con, line));
            EXPECT_EQ(to_hex(c.substr(1) + "b"), to_hex(line));
        }
    }
}

// ---- Typed UTF-8 -----------------------------------------------------------------------------

// What the program's decoder makes of `bytes`, in the strict decoder's words: the
// code points, "cut" when it waits for the rest of a character, "bad".
std::string program_reading(const std::string& bytes)
{
    std::string points;
    for (std::size_t at = 0; at < bytes.size();) {
        const utf8_char c = utf8_decode(bytes.data() + at, bytes.size() - at);
        if (c.status == utf8_char::kind::malformed) return "bad";
        if (c.status == utf8_char::kind::cut_off) return at + c.size == bytes.size() ? "cut" : "cut before the end";
        char point[16];
        std::snprintf(point, sizeof point, "%sU+%04X", points.empty() ? "" : ",", static_cast<unsigned>(c.code_point));
        points += point;
        at += c.size;
    }
    return points;
}

TEST(TypedUtf8, TheDecoderAcceptsWhatAStrictDecoderAccepts)
{
    ASSERT_GE(reference().typed.size(), 50u);
    for (const typed_case& c : reference().typed) {
        const std::string reading = program_reading(c.in);
        // The decoder holds back the beginning of a character until a byte comes
        // that cannot continue it, even one that can never become a character (ED A0,
        // the start of a surrogate): it is one '?' either way.
        if (c.strict == "bad" && reading == "cut") continue;
        EXPECT_EQ(c.strict, reading) << to_hex(c.in) << ": " << c.what;
    }
}

// The code page 932 that a console at a UTF-8 terminal reads from `typed`, as one line.
std::string typed_line(const std::string& typed, std::size_t chunk)
{
    test_console t(typed, chunk, {{true, false}, true, false});
    char line[line_bytes + 1] = "(none)";
    console_get_line(*t.con, line);
    return line;
}

TEST(TypedUtf8, BecomesTheCodePageOrOneQuestionMarkAPiece)
{
    for (const typed_case& c : reference().typed) {
        SCOPED_TRACE(testing::Message() << to_hex(c.in) << ": " << c.what);
        std::string converted = c.in;
        std::size_t unfinished = 0;
        converted.resize(utf8_to_cp932_in_place(converted.data(), converted.size(), true, unfinished));
        EXPECT_EQ(to_hex(c.out), to_hex(converted));
        EXPECT_EQ(0u, unfinished);
        // Cut between reads at every place, the input ending after it or a line feed.
        // The engine's line ends at a NUL byte, if one was typed.
        const std::string line = c.out.substr(0, c.out.find('\0'));
        for (std::size_t chunk : {SIZE_MAX, std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
            EXPECT_EQ(to_hex(line), to_hex(typed_line(c.in, chunk))) << "chunk " << chunk;
            EXPECT_EQ(to_hex(line), to_hex(typed_line(c.in + "\n", chunk))) << "chunk " << chunk << ", a line feed after";
        }
    }
}

TEST(TypedUtf8, TheBeginningOfACharacterWaitsForTheNextRead)
{
    for (const typed_case& c : reference().typed) {
        if (c.strict != "cut") continue;
        SCOPED_TRACE(testing::Message() << to_hex(c.in) << ": " << c.what);
        // The character's beginning: from its lead byte (0xC0 and up) to the end.
        std::size_t begins = c.in.size();
        while (static_cast<unsigned char>(c.in[begins - 1]) < 0xC0) --begins;
        --begins;
        std::string converted = c.in;
        std::size_t unfinished = 0;
        converted.resize(utf8_to_cp932_in_place(converted.data(), converted.size(), false, unfinished));
        EXPECT_EQ(c.in.size() - begins, unfinished);
        // What came before it is converted ('?' was the unfinished character's).
        EXPECT_EQ(to_hex(c.out.substr(0, c.out.size() - 1) + c.in.substr(begins)), to_hex(converted));
    }
}

// ---- Printed code page 932 ---------------------------------------------------------------------

TEST(PrintedCodePage, BecomesUtf8OrAReplacementACharacter)
{
    ASSERT_GE(reference().printed.size(), 255u + 60u * 12u);
    for (const printed_case& c : reference().printed) {
        test_console t("", SIZE_MAX, {{false, false}, false, true});
        std::string in;
        for (const std::string& piece : c.pieces) {
            console_print(*t.con, "%s"_sj, piece.c_str());
            in += (in.empty() ? "" : " | ") + to_hex(piece);
        }
        EXPECT_EQ(to_hex(c.out), to_hex(t.flushed())) << "printed " << in;
    }
}

// A far side that converts for itself (the web page) gets the pieces in code page 932
// as one stream of bytes, and must still show each piece as printed on its own.
TEST(PrintedCodePage, LeftInTheCodePageKeepsEachPieceApart)
{
    const auto encode = [](const std::string& piece, auto encoder) {
        std::string out;
        const auto* data = reinterpret_cast<const unsigned char*>(piece.data());
        for (std::size_t at = 0; at < piece.size();) {
            char encoded[4];
            std::size_t encoded_size = 0;
            at += encoder(data + at, piece.size() - at, encoded, encoded_size);
            out.append(encoded, encoded_size);
        }
        return out;
    };
    for (const printed_case& c : reference().printed) {
        std::string stream;
        std::string in;
        for (const std::string& piece : c.pieces) {
            stream += encode(piece, cp932_char_kept_apart);
            in += (in.empty() ? "" : " | ") + to_hex(piece);
        }
        EXPECT_EQ(to_hex(c.out), to_hex(encode(stream, cp932_char_to_utf8))) << "printed " << in;
    }
}

} // namespace
