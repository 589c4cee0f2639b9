#include "engine/keywords.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "console/cp932.h"
#include "engine/table_checks.h"

namespace {

// ---- The keyword table ----------------------------------------------------------
// Row n is the keyword of reply code n. The classifier tries them in this order and
// the first one found wins, wherever it stands in the line: え？マジ？ gives 61
// (マジ), not 65 (え？). いやだ (113) can never win, since every line holding it
// also holds やだ (100).
struct keyword_entry {
    int code;
    const char* text;
};

constexpr keyword_entry keywords[] = {
    {  0, "死ね"_sj},
    {  1, "馬鹿"_sj},
    {  2, "バカ"_sj},
    {  3, "ばか"_sj},
    {  4, "筋肉"_sj},
    {  5, "痔"_sj},
    {  6, "さすが"_sj},
    {  7, "すばらしい"_sj},
    {  8, "すごい"_sj},
    {  9, "謎の呪文"_sj},
    { 10, "おしえ"_sj},
    { 11, "うるさい"_sj},
    { 12, "うるせ"_sj},
    { 13, "ちょんまげ"_sj},
    { 14, "チョンマゲ"_sj},
    { 15, "六助"_sj},
    { 16, "殺す"_sj},
    { 17, "山嵐"_sj},
    { 18, "谷底"_sj},
    { 19, "なぜ"_sj},
    { 20, "なんで"_sj},
    { 21, "なにが"_sj},
    { 22, "何が"_sj},
    { 23, "ちがう"_sj},
    { 24, "ちがい"_sj},
    { 25, "どこで"_sj},
    { 26, "本当"_sj},
    { 27, "だれが"_sj},
    { 28, "なにを"_sj},
    { 29, "何を"_sj},
    { 30, "どうして"_sj},
    { 31, "許し"_sj},
    { 32, "あほ"_sj},
    { 33, "アホ"_sj},
    { 34, "かっこいい"_sj},
    { 35, "ざまあ"_sj},
    { 36, "無理"_sj},
    { 37, "天下"_sj},
    { 38, "ドラゴンボール"_sj},
    { 39, "ルパン"_sj},
    { 40, "クリスマス"_sj},
    { 41, "宇宙人"_sj},
    { 42, "チョップ"_sj},
    { 43, "ステーキ"_sj},
    { 44, "桶狭間"_sj},
    { 45, "好き"_sj},
    { 46, "ナメック"_sj},
    { 47, "ありがとう"_sj},
    { 48, "ありがた"_sj},
    { 49, "ファイナルアンサー"_sj},
    { 50, "ふぁいなるあんさー"_sj},
    { 51, "この野郎"_sj},
    { 52, "このやろ"_sj},
    { 53, "ポテート"_sj},
    { 54, "ぽてーと"_sj},
    { 55, "知りません"_sj},
    { 56, "知らない"_sj},
    { 57, "しらない"_sj},
    { 58, "知るか"_sj},
    { 59, "かたじけない"_sj},
    { 60, "まじ"_sj},
    { 61, "マジ"_sj},
    { 62, "本気"_sj},
    { 63, "さあ"_sj},
    { 64, "わかりません"_sj},
    { 65, "え？"_sj},
    { 66, "は？"_sj},
    { 67, "待て"_sj},
    { 68, "待って"_sj},
    { 69, "めっそうも"_sj},
    { 70, "申し訳"_sj},
    { 71, "もうしわけ"_sj},
    { 72, "失礼"_sj},
    { 73, "疲"_sj},
    { 74, "つかれ"_sj},
    { 75, "がんば"_sj},
    { 76, "ガンバ"_sj},
    { 77, "どうした"_sj},
    { 78, "元気"_sj},
    { 79, "すごーい"_sj},
    { 80, "こわい"_sj},
    { 81, "こわー"_sj},
    { 82, "しない"_sj},
    { 83, "しません"_sj},
    { 84, "言ってない"_sj},
    { 85, "言ってません"_sj},
    { 86, "おにおに"_sj},
    { 87, "宝"_sj},
    { 88, "やかまし"_sj},
    { 89, "おまえ"_sj},
    { 90, "てめえ"_sj},
    { 91, "きさま"_sj},
    { 92, "貴様"_sj},
    { 93, "ふざけ"_sj},
    { 94, "わかっ"_sj},
    { 95, "わかりました"_sj},
    { 96, "あんた"_sj},
    { 97, "おかしい"_sj},
    { 98, "おかしー"_sj},
    { 99, "だまれ"_sj},
    {100, "やだ"_sj},
    {101, "やなこった"_sj},
    {102, "帰る"_sj},
    {103, "帰ります"_sj},
    {104, "さようなら"_sj},
    {105, "ばいば"_sj},
    {106, "さらば"_sj},
    {107, "！！！"_sj},
    {108, "こいつ"_sj},
    {109, "ごめん"_sj},
    {110, "はいはい"_sj},
    {111, "言ってね"_sj},
    {112, "かしこまり"_sj},
    {113, "いやだ"_sj},
    {114, "ライフライン"_sj},
    {115, "らいふらいん"_sj},
    {116, "てれほん"_sj},
    {117, "おーぢえんす"_sj},
    {118, "ひふてーひふてー"_sj},
    {119, "暗殺"_sj},
    {120, "こんにち"_sj},
    {121, "こんばん"_sj},
    {122, "おはよ"_sj},
    {123, "わん！"_sj},
    {124, "ワン！"_sj},
    {125, "ごぞんじ"_sj},
    {126, "ご存知"_sj},
    {127, "なにそれ"_sj},
    {128, "何それ"_sj},
    {129, "すまん"_sj},
    {130, "許せ"_sj},
    {131, "ゆるせ"_sj},
    {132, "ゆるし"_sj},
    {133, "勘弁"_sj},
    {134, "消えろ"_sj},
    {135, "邪魔"_sj},
    {136, "鬼瓦"_sj},
    {137, "おにがわら"_sj},
    {138, "いいかげんに"_sj},
    {139, "いい加減に"_sj},
    {140, "してない"_sj},
    {141, "ふーん"_sj},
    {142, "えらそうに"_sj},
    {143, "偉そうに"_sj},
    {144, "わからん"_sj},
    {145, "怒るな"_sj},
    {146, "おこるな"_sj},
    {147, "さいなら"_sj},
    {148, "さよおなら"_sj},
    {149, "むかつく"_sj},
    {150, "ムカツク"_sj},
    {151, "笑うな"_sj},
    {152, "知らん"_sj},
    {153, "しらん"_sj},
    {154, "まかせろ"_sj},
    {155, "自信過剰"_sj},
    {156, "痛"_sj},
    {157, "いくぞ"_sj},
    {158, "覚悟"_sj},
    {159, "しらね"_sj},
    {160, "知らね"_sj},
};

constexpr int keyword_count = static_cast<int>(std::size(keywords));

static_assert(keyword_count == 161 && rows_numbered_in_order(keywords, &keyword_entry::code, 0));

// The quick classifier below looks every keyword up by its opening of two or four
// bytes: a keyword of one byte would never be tried there, although the matcher
// would find it.
consteval bool keywords_are_two_bytes_or_more()
{
    for (const keyword_entry& keyword : keywords)
        if (std::char_traits<char>::length(keyword.text) < 2) return false;
    return true;
}
static_assert(keywords_are_two_bytes_or_more(), "the quick classifier finds no keyword of one byte");

} // namespace

// ---- Matching ----------------------------------------------------------------------

bool keyword_in_line(const char* line, const char* keyword)
{
    std::size_t matched = 0;  // bytes of the keyword matched so far
    for (const char* at = line; *at != '\0'; ++at) {
        if (*at == keyword[matched]) {
            if (keyword[++matched] == '\0') return true;
        } else {
            matched = 0;  // deliberately no retry of this byte as the keyword's first
        }
    }
    return false;
}

int classify_line_by_plain_scan(const char* line)
{
    for (const keyword_entry& keyword : keywords)
        if (keyword_in_line(line, keyword.text)) return keyword.code;
    return no_keyword;
}

// ---- The quick classifier ----------------------------------------------------------------
// The matcher only ever finds a keyword whose bytes stand together in the line, so a
// keyword whose opening (its first two characters, or its one) appears nowhere in
// the line cannot be found. One pass over the line looks up each of its two- and
// four-byte groups among the keywords' openings and collects the keywords they
// open; only those are tried, in table order, with the matcher itself. The result
// is always the plain scan's; most lines need one try or none.

namespace {

using keyword_set = std::array<std::uint64_t, (std::size(keywords) + 63) / 64>;  // bit n: keyword n

constexpr std::uint32_t byte_at(const char* text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

constexpr std::uint32_t opening_of_two(const char* text) { return byte_at(text, 0) | (byte_at(text, 1) << 8) | 0xFFFF0000u; }

constexpr std::uint32_t opening_of_four(const char* text)
{
    return byte_at(text, 0) | (byte_at(text, 1) << 8) | (byte_at(text, 2) << 16) | (byte_at(text, 3) << 24);
}

// An open-addressed table from each distinct opening to the keywords it opens.
constexpr unsigned opening_slot_bits = 9;
constexpr std::size_t opening_slot_count = std::size_t{1} << opening_slot_bits;

constexpr std::size_t home_slot(std::uint32_t opening) { return (opening * 2654435761u) >> (32 - opening_slot_bits); }

struct opening_table {
    std::uint32_t opening[opening_slot_count] = {};  // 0: an empty slot (no opening is 0)
    keyword_set opens[opening_slot_count] = {};
};

constexpr opening_table make_opening_table()
{
    opening_table table;
    for (std::size_t n = 0; n < std::size(keywords); ++n) {
        const char* text = keywords[n].text;
        std::uint32_t opening = std::char_traits<char>::length(text) >= 4
                                    ? opening_of_four(text)
                                    : opening_of_two(text);
        std::size_t slot = home_slot(opening);
        while (table.opening[slot] != 0 && table.opening[slot] != opening) slot = (slot + 1) % opening_slot_count;
        table.opening[slot] = opening;
        table.opens[slot][n / 64] |= std::uint64_t{1} << (n % 64);
    }
    return table;
}

constexpr opening_table openings = make_opening_table();

void add_keywords_opened_by(std::uint32_t group, keyword_set& candidates)
{
    for (std::size_t slot = home_slot(group); openings.opening[slot] != 0; slot = (slot + 1) % opening_slot_count) {
        if (openings.opening[slot] != group) continue;
        for (std::size_t w = 0; w < candidates.size(); ++w) candidates[w] |= openings.opens[slot][w];
        return;
    }
}

} // namespace

int classify_line(const char* line)
{
    const std::size_t size = std::strlen(line);
    keyword_set candidates{};
    for (std::size_t i = 0; i + 1 < size; ++i) {
        add_keywords_opened_by(opening_of_two(line + i), candidates);
        if (i + 3 < size) add_keywords_opened_by(opening_of_four(line + i), candidates);
    }
    for (std::size_t w = 0; w < candidates.size(); ++w) {
        for (std::uint64_t bits = candidates[w]; bits != 0; bits &= bits - 1) {
            const keyword_entry& keyword = keywords[w * 64 + static_cast<std::size_t>(std::countr_zero(bits))];
            if (keyword_in_line(line, keyword.text)) return keyword.code;
        }
    }
    return no_keyword;
}

const char* keyword_text(int code) { return code >= 0 && code < keyword_count ? keywords[code].text : ""; }
