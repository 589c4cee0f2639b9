// Whole conversations: a fixed seed, bytes in, the exact bytes out.
#include <string>

#include "tests/support.h"

namespace {

// The greetings with the player 太郎, by greeting number.
const char* const greeting_for_taro[] = {
    "",
    "鬼瓦＞おお、太郎、今日は何の用じゃ？",
    "鬼瓦＞おお、太郎、よくぞ参られた、楽にせい。",
    "鬼瓦＞太郎め、来おったな、今日こそは決着をつけてやろうぞ。",
    "鬼瓦＞待ちかねたぞ 太郎、さあ早くこの鬼瓦を笑わせてみせよ。",
    "鬼瓦＞ふはは、この鬼瓦を恐れぬ豪傑とは おまえのことか、太郎。",
    "鬼瓦＞ぐっどぅも～にぃんぐ、みすた～太郎、はわゆ～？",
};

// Title, name request, the greeting and the first prompt, for the player 太郎.
std::string greeted_taro(int greeting) { return opening() + sjis("\n") + sjis(greeting_for_taro[greeting]) + prompt("太郎"); }

TEST(Conversation, GreetingIsTheFirstDrawAfterSeeding)
{
    struct case_ {
        std::uint32_t seed;
        int greeting;  // first value % 6 + 1
    };
    for (case_ c : {case_{3, 1}, case_{7, 2}, case_{0, 3}, case_{2, 4}, case_{6, 5}, case_{1, 6}})
        EXPECT_BYTES(greeted_taro(c.greeting), converse(c.seed, sjis("太郎\n"))) << "seed " << c.seed;
}

TEST(Conversation, SilenceReplies)
{
    struct case_ {
        std::uint32_t seed;
        int greeting;
        const char* reply;  // second value % 7 + 1
    };
    const case_ cases[] = {
        {3, 1, "鬼瓦＞なんとか申せ。"},
        {1, 6, "鬼瓦＞何か申さぬか。"},
        {6, 5, "鬼瓦＞何を黙っておる。"},
        {13, 4, "鬼瓦＞聞いてる？"},
        {4, 4, "鬼瓦＞返事はどうした。"},
        {0, 3, "鬼瓦＞シカト？"},
        {7, 2, "鬼瓦＞お～い、太郎さ～ん、いませんか～。"},
    };
    for (const case_& c : cases)
        EXPECT_BYTES(greeted_taro(c.greeting) + sjis(c.reply) + prompt("太郎"), converse(c.seed, sjis("太郎\n\n")))
            << "seed " << c.seed;
}

TEST(Conversation, TempleEndingsWithEitherWord)
{
    struct case_ {
        std::uint32_t seed;
        int greeting;
        const char* word;
        const char* fit;  // second value % 6 + 1
    };
    const case_ cases[] = {
        {8, 5, "本能寺", "鬼瓦＞うわー！ 頭が、頭が痛い、ふぬおー！"},
        {5, 1, "ほんのうじ", "鬼瓦＞ぐわ！ 頭が、頭が割れそうじゃあ～！"},
        {3, 1, "本能寺", "鬼瓦＞ぐふぅ！ 思い出せぬ！ 思い出せぬ～！"},
        {0, 3, "ほんのうじ", "鬼瓦＞あいや～！ その言葉を言うでない～！"},
        {7, 2, "本能寺", "鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！"},
        {1, 6, "ほんのうじ", "鬼瓦＞ ？ ？ ？ ほんのうじ・・・、はっ・・・、黒兵衛ーーー！！！！！"},
    };
    for (const case_& c : cases) {
        // The key wait takes one byte; what follows it is never read as a turn.
        std::string input = sjis("太郎\n" + std::string(c.word) + "\nx\n\n");
        EXPECT_BYTES(greeted_taro(c.greeting) + sjis(c.fit) + end_banner(), converse(c.seed, input)) << c.word;
    }
}

TEST(Conversation, EmptyPlayerName)
{
    // Seed 7: greeting 2, then silence line 7, both with the name left out.
    EXPECT_BYTES(opening() + sjis("\n鬼瓦＞おお、、よくぞ参られた、楽にせい。\n＞鬼瓦＞お～い、さ～ん、いませんか～。\n＞"),
                 converse(7, sjis("\n\n")));
}

TEST(Conversation, EndOfInputStopsQuietly)
{
    struct case_ {
        const char* what;
        std::string input;
        std::string output;
    };
    const case_ cases[] = {
        {"at the name", "", opening()},
        {"name without newline", sjis("太郎"), greeted_taro(6)},
        {"in a turn", sjis("太郎\n\n"), greeted_taro(6) + sjis("鬼瓦＞何か申さぬか。") + prompt("太郎")},
        {"0x1A ends the input", sjis("太郎\n") + "\x1A" + sjis("本能寺\n"), greeted_taro(6)},
    };
    for (const case_& c : cases) EXPECT_BYTES(c.output, converse(1, c.input)) << c.what;
}

TEST(Conversation, CrLfInputIsReadAsLines)
{
    std::string lf = converse(1, sjis("太郎\n\n本能寺\n\n"));
    EXPECT_BYTES(lf, converse(1, sjis("太郎\r\n\r\n本能寺\r\n\r\n")));
    EXPECT_BYTES(greeted_taro(6) + sjis("鬼瓦＞何か申さぬか。") + prompt("太郎") + sjis("鬼瓦＞やめろー！ やめてくれい！ よせー！ あ～！") + end_banner(), lf);
}

TEST(Conversation, TheSameWithInputArrivingByteByByte)
{
    std::string input = sjis("太郎\r\n\n本能寺\n\n");
    EXPECT_BYTES(converse(1, input), converse(1, input, 1));
}

TEST(Conversation, LongNameIsCutOnACharacterBoundary)
{
    // 10 characters of 2 bytes: only 9 fit in 19 bytes; the rest of the line is dropped.
    EXPECT_BYTES(opening() + sjis("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～あいうえおかきくけ、はわゆ～？") + prompt("あいうえおかきくけ"),
                 converse(1, sjis("あいうえおかきくけこ\n")));
}

TEST(Conversation, PercentInTheNamePrintsAsTyped)
{
    EXPECT_BYTES(opening() + sjis("\n鬼瓦＞ぐっどぅも～にぃんぐ、みすた～%s%d%n、はわゆ～？") + prompt("%s%d%n"),
                 converse(1, "%s%d%n\n"));
}

} // namespace
