// The keyword table, the matcher's exact rule and the classifier's order.
#include <cstring>
#include <random>
#include <string>

#include "engine/keywords.h"
#include "tests/support.h"

namespace {

// Every keyword with its code and its length in code page 932 bytes.
struct keyword_row {
    int code;
    const char* keyword;
    std::size_t bytes;
};

const keyword_row keyword_table[] = {
    {  0, "死ね",  4},
    {  1, "馬鹿",  4},
    {  2, "バカ",  4},
    {  3, "ばか",  4},
    {  4, "筋肉",  4},
    {  5, "痔",  2},
    {  6, "さすが",  6},
    {  7, "すばらしい", 10},
    {  8, "すごい",  6},
    {  9, "謎の呪文",  8},
    { 10, "おしえ",  6},
    { 11, "うるさい",  8},
    { 12, "うるせ",  6},
    { 13, "ちょんまげ", 10},
    { 14, "チョンマゲ", 10},
    { 15, "六助",  4},
    { 16, "殺す",  4},
    { 17, "山嵐",  4},
    { 18, "谷底",  4},
    { 19, "なぜ",  4},
    { 20, "なんで",  6},
    { 21, "なにが",  6},
    { 22, "何が",  4},
    { 23, "ちがう",  6},
    { 24, "ちがい",  6},
    { 25, "どこで",  6},
    { 26, "本当",  4},
    { 27, "だれが",  6},
    { 28, "なにを",  6},
    { 29, "何を",  4},
    { 30, "どうして",  8},
    { 31, "許し",  4},
    { 32, "あほ",  4},
    { 33, "アホ",  4},
    { 34, "かっこいい", 10},
    { 35, "ざまあ",  6},
    { 36, "無理",  4},
    { 37, "天下",  4},
    { 38, "ドラゴンボール", 14},
    { 39, "ルパン",  6},
    { 40, "クリスマス", 10},
    { 41, "宇宙人",  6},
    { 42, "チョップ",  8},
    { 43, "ステーキ",  8},
    { 44, "桶狭間",  6},
    { 45, "好き",  4},
    { 46, "ナメック",  8},
    { 47, "ありがとう", 10},
    { 48, "ありがた",  8},
    { 49, "ファイナルアンサー", 18},
    { 50, "ふぁいなるあんさー", 18},
    { 51, "この野郎",  8},
    { 52, "このやろ",  8},
    { 53, "ポテート",  8},
    { 54, "ぽてーと",  8},
    { 55, "知りません", 10},
    { 56, "知らない",  8},
    { 57, "しらない",  8},
    { 58, "知るか",  6},
    { 59, "かたじけない", 12},
    { 60, "まじ",  4},
    { 61, "マジ",  4},
    { 62, "本気",  4},
    { 63, "さあ",  4},
    { 64, "わかりません", 12},
    { 65, "え？",  4},
    { 66, "は？",  4},
    { 67, "待て",  4},
    { 68, "待って",  6},
    { 69, "めっそうも", 10},
    { 70, "申し訳",  6},
    { 71, "もうしわけ", 10},
    { 72, "失礼",  4},
    { 73, "疲",  2},
    { 74, "つかれ",  6},
    { 75, "がんば",  6},
    { 76, "ガンバ",  6},
    { 77, "どうした",  8},
    { 78, "元気",  4},
    { 79, "すごーい",  8},
    { 80, "こわい",  6},
    { 81, "こわー",  6},
    { 82, "しない",  6},
    { 83, "しません",  8},
    { 84, "言ってない", 10},
    { 85, "言ってません", 12},
    { 86, "おにおに",  8},
    { 87, "宝",  2},
    { 88, "やかまし",  8},
    { 89, "おまえ",  6},
    { 90, "てめえ",  6},
    { 91, "きさま",  6},
    { 92, "貴様",  4},
    { 93, "ふざけ",  6},
    { 94, "わかっ",  6},
    { 95, "わかりました", 12},
    { 96, "あんた",  6},
    { 97, "おかしい",  8},
    { 98, "おかしー",  8},
    { 99, "だまれ",  6},
    {100, "やだ",  4},
    {101, "やなこった", 10},
    {102, "帰る",  4},
    {103, "帰ります",  8},
    {104, "さようなら", 10},
    {105, "ばいば",  6},
    {106, "さらば",  6},
    {107, "！！！",  6},
    {108, "こいつ",  6},
    {109, "ごめん",  6},
    {110, "はいはい",  8},
    {111, "言ってね",  8},
    {112, "かしこまり", 10},
    {113, "いやだ",  6},
    {114, "ライフライン", 12},
    {115, "らいふらいん", 12},
    {116, "てれほん",  8},
    {117, "おーぢえんす", 12},
    {118, "ひふてーひふてー", 16},
    {119, "暗殺",  4},
    {120, "こんにち",  8},
    {121, "こんばん",  8},
    {122, "おはよ",  6},
    {123, "わん！",  6},
    {124, "ワン！",  6},
    {125, "ごぞんじ",  8},
    {126, "ご存知",  6},
    {127, "なにそれ",  8},
    {128, "何それ",  6},
    {129, "すまん",  6},
    {130, "許せ",  4},
    {131, "ゆるせ",  6},
    {132, "ゆるし",  6},
    {133, "勘弁",  4},
    {134, "消えろ",  6},
    {135, "邪魔",  4},
    {136, "鬼瓦",  4},
    {137, "おにがわら", 10},
    {138, "いいかげんに", 12},
    {139, "いい加減に", 10},
    {140, "してない",  8},
    {141, "ふーん",  6},
    {142, "えらそうに", 10},
    {143, "偉そうに",  8},
    {144, "わからん",  8},
    {145, "怒るな",  6},
    {146, "おこるな",  8},
    {147, "さいなら",  8},
    {148, "さよおなら", 10},
    {149, "むかつく",  8},
    {150, "ムカツク",  8},
    {151, "笑うな",  6},
    {152, "知らん",  6},
    {153, "しらん",  6},
    {154, "まかせろ",  8},
    {155, "自信過剰",  8},
    {156, "痛",  2},
    {157, "いくぞ",  6},
    {158, "覚悟",  4},
    {159, "しらね",  6},
    {160, "知らね",  6},
};

TEST(KeywordTable, EveryKeywordHasItsExactBytes)
{
    ASSERT_EQ(161u, std::size(keyword_table));
    for (const keyword_row& row : keyword_table) {
        EXPECT_EQ(sjis(row.keyword), keyword_text(row.code)) << row.code;
        EXPECT_EQ(row.bytes, std::strlen(keyword_text(row.code))) << row.code;
    }
    EXPECT_STREQ("", keyword_text(161));
    EXPECT_STREQ("", keyword_text(-1));
}

TEST(KeywordTable, EachKeywordAloneGivesItsOwnCode)
{
    for (const keyword_row& row : keyword_table) {
        // いやだ holds やだ, which comes first in the table: 113 can never win.
        int expected = row.code == 113 ? 100 : row.code;
        EXPECT_EQ(expected, classify_line(sjis(row.keyword).c_str())) << row.keyword;
    }
}

// Lines and the code the classifier gives them. The matcher never backs up, so
// some lines that plainly hold a keyword are deliberately missed.
TEST(Classifier, MatcherRuleAndTableOrder)
{
    struct case_ {
        const char* line;
        int code;
    };
    const case_ cases[] = {
        // A partial match that fails swallows the start of the real one.
        {"ばばいばい", no_keyword}, {"ばいばい", 105},
        {"ええ？", no_keyword}, {"え？", 65}, {"ねえ？", 65},
        {"わんわん！", no_keyword}, {"わん！", 123},
        {"ままじ", no_keyword}, {"まじまじ", 60},
        {"！！", no_keyword}, {"！！！", 107}, {"！！！！", 107},
        // The trail byte of the character in front starts a partial match.
        {"悪魔こわい", no_keyword}, {"こわい", 80},
        {"激バカ", no_keyword}, {"親バカ", 2},
        // ...or completes one across a character boundary: ｒﾉ holds the bytes of 痛.
        {"ｒﾉ", 156},
        // Table order, not the place in the line.
        {"え？マジ？", 61}, {"わかったわかりません", 64},
        {"帰ります、さようなら", 103}, {"さようなら、帰ります", 103},
        // Keywords that only share a beginning.
        {"わかった", 94}, {"わかりました", 95}, {"わかりません", 64}, {"わからん", 144}, {"わかんない", no_keyword},
        {"許して", 31}, {"許せない", 130}, {"許さない", no_keyword},
        {"知らない", 56}, {"しらない", 57}, {"知らん", 152}, {"しらん", 153},
        {"知りません", 55}, {"知るか", 58}, {"知らね", 160}, {"しらね", 159},
        {"ありがとう", 47}, {"ありがたい", 48}, {"帰る", 102}, {"帰ります", 103},
        {"すごい", 8}, {"すごーい", 79}, {"すっごい", no_keyword}, {"どうして", 30}, {"どうした", 77},
        // Fragments inside longer words.
        {"こんにちは", 120}, {"こんばんは", 121}, {"おはよう", 122}, {"痛い", 156}, {"疲れた", 73},
        {"天下統一", 37}, {"メリークリスマス！", 40}, {"死ねばいいのに", 0}, {"ありがた迷惑", 48},
        // Other spellings are other keywords, or none.
        {"ばか", 3}, {"バカ", 2}, {"馬鹿", 1}, {"頑張れ", no_keyword}, {"すみません", no_keyword},
        // The spell and temple words hold no keyword; the name 鬼瓦 is fixed.
        {"パルプンテ", no_keyword}, {"ほんのうじ", no_keyword}, {"本能寺", no_keyword}, {"鬼瓦様", 136},
        // Edges of the line.
        {"", no_keyword}, {"あああ痛", 156}, {"すご", no_keyword}, {"申し訳", 70},
    };
    for (const case_& c : cases) EXPECT_EQ(c.code, classify_line(sjis(c.line).c_str())) << c.line;
}

TEST(KeywordMatcher, EdgesOfLineAndKeyword)
{
    EXPECT_FALSE(keyword_in_line("", ""));
    EXPECT_FALSE(keyword_in_line("abc", ""));
    EXPECT_FALSE(keyword_in_line("", "a"));
    EXPECT_TRUE(keyword_in_line("xab", "ab"));
    EXPECT_FALSE(keyword_in_line("ab", "abc"));
    EXPECT_FALSE(keyword_in_line("aab", "ab"));
    EXPECT_TRUE(keyword_in_line("abab", "ab"));
}

// The quick classifier must find exactly what trying every keyword finds.
TEST(Classifier, AgreesWithThePlainScanOnRandomLines)
{
    std::mt19937 rng(20261210);
    auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    std::string line;
    int keyword_lines = 0;
    for (int n = 0; n < 200000; ++n) {
        line.clear();
        if (n % 4 == 0) {  // random bytes
            std::size_t size = below(100);
            for (std::size_t i = 0; i < size; ++i) line += static_cast<char>(1 + below(255));
        } else {  // keywords, pieces of keywords and stray bytes
            while (line.size() < 99 && below(6) != 0) {
                std::string keyword = keyword_text(static_cast<int>(below(161)));
                switch (below(4)) {
                case 0: line += keyword; break;
                case 1: line += keyword.substr(0, 1 + below(keyword.size())); break;
                case 2: line += keyword.substr(below(keyword.size())); break;
                default: line += static_cast<char>(1 + below(255)); break;
                }
            }
            line.resize(std::min<std::size_t>(line.size(), 99));
        }
        int plain = classify_line_by_plain_scan(line.c_str());
        keyword_lines += plain != no_keyword;
        ASSERT_EQ(plain, classify_line(line.c_str())) << readable(line);
    }
    EXPECT_GT(keyword_lines, 50000);  // the mix reaches the keywords, not only misses
}

} // namespace
