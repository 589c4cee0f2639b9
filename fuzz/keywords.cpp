// Fuzz target: the keyword matcher and the classifier against a plain scan
// written out here from the matching rule.
//
// Input: a code byte, a start byte and a length byte that cut a piece out of
// one keyword of the table, then the line (up to its first NUL) and, after that
// NUL, a keyword of any bytes. Checked: the classifier's reply code, the matcher
// on every keyword of the table, on the piece (pieces that begin on a trail byte
// or end on a lead byte included) and on the keyword of any bytes, and the spell
// detector, all as the plain scan finds them.
#include <cstdint>
#include <cstring>
#include <string>

#include "console/cp932.h"
#include "engine/keywords.h"
#include "engine/spell.h"
#include "fuzz/fuzz_input.h"

namespace {

constexpr int keyword_count = 161;

// The rule, step by step: one pass over the line; a byte that equals the next
// keyword byte advances the keyword, any other byte starts the keyword over and
// is not itself tried as the keyword's first byte.
bool plain_scan(const char* line, const char* keyword)
{
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        if (line[i] == '\0') return false;
        if (line[i] == keyword[j]) {
            ++j;
            if (keyword[j] == '\0') return true;
        } else {
            j = 0;
        }
        ++i;
    }
}

int plain_classify(const char* line)
{
    for (int code = 0; code < keyword_count; ++code)
        if (plain_scan(line, keyword_text(code))) return code;
    return no_keyword;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input in(data, size);
    const char* source = keyword_text(in.byte() % keyword_count);
    std::size_t source_size = std::strlen(source);
    std::size_t start = in.byte() % (source_size + 1);
    std::string piece(source + start, std::min<std::size_t>(in.byte(), source_size - start));
    const std::string line = in.rest();  // std::string keeps a NUL after the last byte
    const char* text = line.c_str();

    FUZZ_CHECK(classify_line(text) == plain_classify(text));
    for (int code = 0; code < keyword_count; ++code)
        FUZZ_CHECK(keyword_in_line(text, keyword_text(code)) == plain_scan(text, keyword_text(code)));
    FUZZ_CHECK(keyword_in_line(text, piece.c_str()) == plain_scan(text, piece.c_str()));
    std::size_t end_of_line = line.find('\0');
    const std::string any_keyword = end_of_line == std::string::npos ? "" : line.substr(end_of_line + 1);
    FUZZ_CHECK(keyword_in_line(text, any_keyword.c_str()) == plain_scan(text, any_keyword.c_str()));
    FUZZ_CHECK(spell_in_line(text) == plain_scan(text, "パルプンテ"_sj));
    return 0;
}
