// Idle chatter and the spell: every text of their tables, their draws and their
// key waits. The lord is called 魔王 and the player 太郎; the line typed is あいう.
#include <cstring>
#include <string>

#include "engine/chatter.h"
#include "engine/spell.h"
#include "tests/support.h"

namespace {

// ---- Idle chatter -------------------------------------------------------------------

// Chatter value, cameo line (0 for entries that are not cameos), text. %d stands
// for the experience number of the turn.
struct chatter_row {
    int value;
    int inner;
    const char* text;
};

const chatter_row chatter_table[] = {
    {  1, 0, "魔王＞おぬし、わしに喧嘩売ってんのか？"},
    {  2, 0, "魔王＞なんだか本能寺へは行きたくないのだ。"},
    {  3, 0, "魔王＞ふふふ、天下は わしのものじゃ。"},
    {  4, 0, "魔王＞ぷり～ず こ～る み～ おにおに。"},
    {  5, 0, "魔王＞必ず手に入れてみせる！ ドラゴンボール！"},
    {  6, 0, "魔王＞・・・地震？"},
    {  7, 0, "魔王＞ほう、わしを愚弄するのか。"},
    {  8, 0, "魔王＞ぶち壊しちゃる。"},
    {  9, 0, "魔王＞おぬし、なかなか見所があるぞ。"},
    { 10, 0, "魔王＞おんどりゃー！ どちくしょー！"},
    { 12, 0, "魔王＞わしのケータイの着メロは「暴れん坊将軍」じゃ。"},
    { 13, 0, "魔王＞うちの豆助は茂作とは大違いじゃ。"},
    { 14, 0, "魔王＞・・・・・は？"},
    { 15, 0, "魔王＞太郎殿も天下を狙うてみてはいかがかのう？"},
    { 16, 0, "魔王＞黒兵衛を見かけんかったか？"},
    { 17, 0, "魔王＞近頃、黒兵衛の様子がおかしいのじゃ。"},
    { 18, 0, "魔王＞これは見事なハゲじゃ！"},
    { 19, 0, "魔王＞おぬしもワルよのう。"},
    { 20, 0, "魔王＞おぬし、ちとセコイのではないか？"},
    { 21, 0, "魔王＞ルパンめ、ただ者ではないな。"},
    { 22, 0, "魔王＞じゃかまし～！"},
    { 23, 0, "魔王＞おぬし、何か企んでおるな？"},
    { 24, 0, "魔王＞太郎殿、わしの目は節穴ではないぞ。"},
    { 25, 0, "魔王＞して、何が望みだ？"},
    { 26, 0, "魔王＞スキありー！ どりゃ～！"},
    { 27, 0, "魔王＞ところでおぬし、カメハメ波は撃てるか？"},
    { 28, 0, "魔王＞むむ、何たる狼藉、許し難し。"},
    { 29, 0, "魔王＞ちょんまげぇ～！"},
    { 30, 0, "魔王＞う～ん、一体どこにあるのかのう、ウルトラの星・・・。"},
    { 31, 0, "魔王＞銀閣時って、どこが銀なのかのう。"},
    { 33, 0, "魔王＞さすがは天下一の芸人、褒めてつかわす！"},
    { 34, 0, "魔王＞民を思えばこそ。"},
    { 35, 0, "魔王＞この恥さらしが！"},
    { 36, 0, "魔王＞おぬし まだまだ修行が足りぬわ！"},
    { 37, 0, "魔王＞どういう意味じゃ？"},
    { 38, 0, "魔王＞もっと違う芸はないのか？"},
    { 40, 0, "魔王＞テトリス対戦しないか？"},
    { 41, 0, "魔王＞はて、気のせいかの、おぬしの後ろに背後霊が・・・。"},
    { 42, 0, "魔王＞鳴かぬなら、ぶち殺しちゃれ、ほととぎぃーす！"},
    { 43, 0, "魔王＞わはは、愉快じゃ、実に愉快じゃ！"},
    { 44, 0, "魔王＞人生 五十万年！"},
    { 45, 0, "魔王＞お春は機嫌が悪いようであるぞ。"},
    { 46, 0, "魔王＞わしは戦国の「らいおんきんぐ」じゃ。"},
    { 47, 0, "魔王＞ええい、気色悪い！"},
    { 48, 0, "魔王＞ひかえおろ！ 我こそは石頭魔王であるぞ！"},
    { 49, 0, "魔王＞なんたって わしは世界のヒーローであるからな。"},
    { 50, 0, "魔王＞わしもドラエモンほしい。"},
    { 51, 0, "魔王＞谷底の動きが気になるところじゃ。"},
    { 52, 0, "魔王＞不思議じゃ～。"},
    { 53, 0, "魔王＞おぬし、名は何と言ったかのう？"},
    { 54, 0, "魔王＞鼻田権兵衛って誰？"},
    { 55, 0, "魔王＞わしの馬にも「かーなび」付けようかな。"},
    { 56, 0, "魔王＞太郎よ、キテレツ大百科を探してまいれ。"},
    { 57, 0, "魔王＞ぶっ 無礼者！"},
    { 58, 0, "魔王＞わしも「ぷれすてつう」がほしいのじゃ。"},
    { 59, 0, "魔王＞今年は来てくれるじゃろうか・・・サンタさん。"},
    { 60, 0, "魔王＞おっす！ おら悟空！"},
    { 61, 0, "魔王＞鉄砲は種子島に限る。"},
    { 62, 0, "魔王＞おどれら！ この魔王を怒らせおったな！"},
    { 63, 0, "魔王＞最後にシャチホコを磨いたのは いつだったかのう。"},
    { 64, 0, "魔王＞ならん、ならんぞ、考えなおせ！"},
    { 65, 0, "魔王＞左様か。"},
    { 66, 0, "魔王＞おぬし、本当にそれで良いのか？"},
    { 68, 0, "魔王＞たわけ！ つまらぬぞ！"},
    { 69, 0, "魔王＞わし「ゆ～ふぉ～」見たぞ！"},
    { 70, 0, "魔王＞宇宙人の襲撃にも備えねばなるまい。"},
    { 71, 0, "魔王＞天下統一！"},
    { 72, 0, "魔王＞わしのライバルは「ちょっぷ・すてーき」じゃ。"},
    { 73, 0, "魔王＞こめの大統領は、ぱんぷきん殿というのじゃな。"},
    { 74, 0, "魔王＞そんなことでは わしのようなメガスケールな人間にはなれぬぞ。"},
    { 75, 0, "魔王＞さあ、どこからでも かかって参れ！"},
    { 76, 0, "魔王＞して 太郎殿、わしに仕える気はないのかのう？"},
    { 77, 0, "魔王＞菊は「ぢゃすこ」に買い物に出掛けたようだ。"},
    { 78, 0, "魔王＞恥を知れ！ この大うつけ！"},
    { 79, 0, "魔王＞謀反は許さぬぞ！"},
    { 80, 0, "魔王＞わははは、苦しゅうないぞ！"},
    { 81, 0, "魔王＞ん、天晴れ！ 見事じゃ！"},
    { 82, 0, "魔王＞おぬし、マゲが見当たらんが・・・？"},
    { 83, 0, "魔王＞マゲを結え、マゲを。"},
    { 84, 0, "魔王＞いざや ひらかん、天下泰平 安眠楽土。"},
    { 85, 0, "魔王＞太郎、余は満足じゃ。"},
    { 86, 0, "魔王＞おぬし、何を申しておるのだ？"},
    { 87, 0, "魔王＞むははは～！"},
    { 88, 0, "魔王＞片腹痛し。"},
    { 89, 0, "魔王＞このわしに歯向かうとは、けなげよの～。"},
    { 90, 0, "魔王＞かかってこんかい！"},
    { 91, 0, "魔王＞わしの目に狂いはない、左右ともに 3.0 じゃ！"},
    { 92, 0, "魔王＞桶狭間を思い出すわい。"},
    { 93, 0, "魔王＞やれやれ、世話が焼けるのう。"},
    { 94, 0, "魔王＞わからぬ事があれば遠慮せず このわしに聞くがよい。"},
    { 95, 0, "魔王＞歌って踊れる天下人なんてのは、どうかの？"},
    { 96, 0, "魔王＞遠慮はいらぬ、何なりと申せ。"},
    { 97, 0, "魔王＞朝飯前じゃ。"},
    { 98, 0, "魔王＞「ふぁみこんじゃんぷ」がクリアできんのぢゃ。"},
    { 99, 0, "魔王＞ふぬお～！ してやられたわい！"},
    {100, 0, "魔王＞わはは、愚か者め。"},
    {101, 0, "魔王＞そういえば、熊助はどうした？"},
    {102, 0, "魔王＞どっこい！"},
    {103, 0, "魔王＞芋之助！ 芋之助はおらぬか！"},
    {104, 0, "魔王＞はっ、雨じゃ！ 洗濯物を取り込まねば！ おぬしも手伝え！"},
    {105, 0, "魔王＞あい わかった、わしに任せておけい。"},
    {106, 0, "魔王＞ふむふむ、なるほどな。"},
    {107, 0, "魔王＞亀吉殿も何かと大変であるな。"},
    {108, 0, "魔王＞なんちゃって。"},
    {110, 0, "魔王＞うっぴょ～ん！"},
    {111, 0, "魔王＞マジで？"},
    {112, 0, "魔王＞信じられん。"},
    {113, 0, "魔王＞そんな、馬鹿な・・・。"},
    {114, 0, "魔王＞わしの胃袋は、宇宙じゃ！"},
    {115, 0, "魔王＞つまり、この魔王は美男子だと言いたいのじゃな。"},
    {117, 0, "魔王＞だ、誰がじゃ！"},
    {118, 0, "魔王＞バカにするでない。"},
    {119, 0, "魔王＞で、ではおぬし、やはり整形だったのか！？ どうりで おかしいと思った。"},
    {121, 0, "魔王＞こないだ うっかり寝てしまって、獅子座流星群を見逃してしまったのじゃ。"},
    {122, 0, "魔王＞そんなことはあるまい。"},
    {123, 0, "魔王＞戦国の世は甘くない。"},
    {124, 0, "魔王＞わしの悩み、聞いてくれる？"},
    {125, 0, "魔王＞趣味は女装というのは おかしいか？"},
    {126, 0, "魔王＞で、あるか。"},
    {127, 0, "魔王＞勝った・・・。"},
    {128, 0, "魔王＞か～ め～ は～ め～"},
    {129, 0, "魔王＞はぁーーーー!!!!!"},
    {130, 0, "魔王＞おぬし、何を怒っておるのだ？"},
    {131, 0, "魔王＞さすがわし、えっへん！"},
    {132, 0, "魔王＞ぶっ！ バカかおまえは！？ 出直せー！"},
    {133, 0, "魔王＞いまのセリフ、英語で申してみよ。"},
    {134, 0, "魔王＞太郎、お手！"},
    {135, 0, "魔王＞おのれ、ぬかったわ・・・。"},
    {136, 0, "魔王＞う～ん、みすてり～さ～くる。"},
    {137, 0, "魔王＞つかぬことを聞くが、わしのこと好きか？"},
    {138, 0, "魔王＞わしの目を見よ。"},
    {139, 0, "魔王＞おぬしも暇よのう。"},
    {140, 0, "魔王＞わしの前世は「ぽて～と・ち～」じゃ。そうは思わんか？"},
    {141, 0, "魔王＞芋之助がわしの前世は「ぽて～と・ち～」ではないと申すのじゃ。"},
    {142, 0, "魔王＞太郎が次のレベルになるには%dの経験値が必要じゃ。"},
    {143, 0, "魔王＞はい、では出席をとります。　太郎！"},
    {144, 0, "魔王＞声が小さーーーい！！！"},
    {145, 0, "魔王＞その心は？"},
    {146, 0, "魔王＞ふぁいなるあんさー？"},
    {147, 0, "魔王＞たわけたことをぬかすな！"},
    {148, 0, "魔王＞タッカラプト、ポッポルンガ、プピリットパロ！"},
    {149, 0, "魔王＞しゃちほこきらきら♪　おしろはぴかぴか♪　てんかはわしのもの♪　ちょんまげばんざい♪"},
    {150, 0, "魔王＞わしが主人公の大河ドラマはいつできるのじゃ？"},
    {153, 0, "魔王＞この世界には謎の呪文があるそうじゃ。"},
    {154, 0, "山彦＞あいう、あいう、あいう・・・"},
    {155, 0, "魔王＞なにを泣いておる。"},
    {156, 0, "魔王＞太郎、わしの子分になるか？"},
    {157, 0, "魔王＞おまえ、わしの養子になれ。 今からおぬしの名は「魔王太郎」ぢゃ。"},
    {158, 0, "魔王＞こざかしい！！！"},
    {159, 0, "魔王＞きしょい、きしょい！　寄るなバカ者！"},
    {160, 0, "魔王＞迎えに来てくれたんだね・・・、パトラッシュ・・・。"},
    { 11, 1, "熊助＞御免つかまつる。"},
    { 11, 2, "熊助＞おう 太郎、来ておったのか。"},
    { 11, 3, "熊助＞お春様はいずこに。"},
    { 11, 4, "熊助＞熊八はここにおりまする。"},
    { 32, 1, "亀吉＞いかにも、左様でございますな～。"},
    { 32, 2, "亀吉＞あ～れ～。"},
    { 32, 3, "亀吉＞黒兵衛殿、てはずは・・・・・い、いや、独り言にござるよ、わっはっは。"},
    { 32, 4, "亀吉＞鳴かぬなら、鳴くまで待ちます、ほととぎちゅ。"},
    { 39, 1, "豆助＞殿、落ち着いて！"},
    { 39, 2, "豆助＞殿、いつまで遊んでるんですか！"},
    { 39, 3, "豆助＞太郎殿、魔王様のお相手ご苦労様です。"},
    { 39, 4, "豆助＞殿は今度 京都に出かけるんです。太郎殿も一緒にお供しませんか？"},
    { 67, 1, "芋之助＞殿の前で「ほんのうじ」と申してはならんでござるよ。"},
    { 67, 2, "芋之助＞殿の草履は拙者がふところで暖めてござる。"},
    { 67, 3, "芋之助＞鳴かぬなら、泣かせてみよう、ほととぐぃす。"},
    { 67, 4, "芋之助＞おいもがほくほく♪　ほっぺがぽかぽか♪　おいもがほくほく♪　ほっぺがぽかぽか♪　・・・・・失礼。"},
    {109, 1, "お春＞兄さんったら、太郎さんにお茶も出さないで、まったく！"},
    {109, 2, "お春＞太郎さん、これからも兄さんの面倒見てあげてね。"},
    {109, 3, "お春＞兄さん！！！ 兄さんでしょ！！！ 私のケーキ食べたの！！！ バカー！！！"},
    {109, 4, "お春＞アホな兄をもつと苦労するわ。"},
    {116, 1, "菊＞これはこれは 太郎殿、右府様がいつもお世話になっています。"},
    {116, 2, "菊＞あなた！ 遊んでばかりいないで少しは働いてください！"},
    {116, 3, "菊＞あなた、夕飯はまたカステラでいいんですか？"},
    {116, 4, "菊＞右府様は働かずに遊んでばかり。 太郎殿からも言ってやってくださいな。"},
    {120, 1, "黒兵衛＞殿に内緒で京都の寺に宿泊の予約を入れたでござる。"},
    {120, 2, "黒兵衛＞太郎殿、拙者とともに本能寺へ行ってはくれまいか。"},
    {120, 3, "黒兵衛＞・・・・・・・・・・。"},
    {120, 4, "黒兵衛＞殿の性格、もう耐えられない・・・。"},
    {151, 1, "山嵐＞どりゃーーー！！！　討ち取れーーー！！！"},
    {151, 2, "山嵐＞魔王ーーー！！！　どこじゃーーー！！！"},
    {151, 3, "山嵐＞風！　林！　火！　山！"},
    {151, 4, "山嵐＞勝負じゃーーー！！！　魔王ーーー！！！"},
    {152, 1, "米蔵＞大河ドラマで一躍有名になったでござる。"},
    {152, 2, "米蔵＞畑中米蔵、ただいま参上つかまつりました。"},
    {152, 3, "米蔵＞芋之助がうらやましいでござるよ。"},
    {152, 4, "米蔵＞よいしょ～！"},
};

struct chatter_run {
    std::string output;
    int draws;
};

// One chatter turn from `seed`, and how many values it drew.
chatter_run chatter_from(std::uint32_t seed, std::string input = "")
{
    random_source rng;
    random_seed(rng, seed);
    test_console t(std::move(input));
    idle_chatter(*t.con, rng, sjis("魔王").c_str(), sjis("太郎").c_str(), sjis("あいう").c_str());
    return {t.flushed(), draws_since(seed, rng)};
}

TEST(Chatter, EveryEntryAndVisitorLine)
{
    ASSERT_EQ(151u + 9 * 4, std::size(chatter_table));
    for (const chatter_row& row : chatter_table) {
        std::uint32_t seed = seed_where([&](random_source& rng) {
            if (random_next(rng) % 160 + 1 != row.value) return false;
            random_next(rng);
            if (row.inner != 0) return random_next(rng) % 4 + 1 == row.inner;
            return row.value != 153 || random_next(rng) % 30 + 1 != 1;
        });
        random_source rng;
        random_seed(rng, seed);
        random_next(rng);
        std::string expected = row.text;
        if (std::size_t at = expected.find("%d"); at != std::string::npos)
            expected.replace(at, 2, std::to_string(random_next(rng) % 4900 + 100));
        chatter_run run = chatter_from(seed);
        EXPECT_BYTES(sjis(expected), run.output) << "value " << row.value << " line " << row.inner;
        EXPECT_EQ(row.inner != 0 || row.value == 153 ? 3 : 2, run.draws) << "value " << row.value;
    }
}

TEST(Chatter, LevelUpWaitsForOneByteBetweenItsTwoHalves)
{
    std::uint32_t seed = seed_where([](random_source& rng) {
        bool rumour = random_next(rng) % 160 + 1 == 153;
        random_next(rng);
        return rumour && random_next(rng) % 30 + 1 == 1;
    });
    random_source rng;
    random_seed(rng, seed);
    test_console t("xyz\n");
    idle_chatter(*t.con, rng, sjis("魔王").c_str(), sjis("太郎").c_str(), "");
    const std::string first_half = sjis("\n　　　　　太郎はレベルがあがった");
    EXPECT_BYTES(first_half, t.port.output);  // on the screen before the wait
    EXPECT_BYTES(first_half + sjis("\n\n　　　　　太郎は謎の呪文「パルプンテ」をおぼえた\n"), t.flushed());
    char rest[10];
    ASSERT_TRUE(console_get_line(*t.con, rest));
    EXPECT_STREQ("yz", rest);
}

// ---- The spell -----------------------------------------------------------------------

TEST(Spell, DetectorUsesTheMatcherRule)
{
    struct case_ {
        const char* line;
        bool casts;
    };
    const case_ cases[] = {
        {"パルプンテ", true},       {"ルパルプンテ", true},   {"あパルプンテい", true},
        {"パパルプンテ", false},    {"パルパルプンテ", false}, {"ぱるぷんて", false},
        {"ﾊﾟﾙﾌﾟﾝﾃ", false},       {"パルプン", false},      {"", false},
    };
    for (const case_& c : cases) EXPECT_EQ(c.casts, spell_in_line(sjis(c.line).c_str())) << c.line;
}

// Effect number, its line with the names before the effect.
struct effect_row {
    int effect;
    const char* text;
};

const effect_row effect_table[] = {
    { 1, "　　　　　太郎の名前が変わった\n"},
    { 2, "　　　　　魔王の名前が変わった\n"},
    { 3, "　　　　　山のように大きな巨人が現れ、魔王を連れ去ってしまった"},
    { 4, "　　　　　魔王はくだけちった"},
    { 5, "　　　　　太郎のレベルが下がった\n"},
    { 6, "　　　　　魔王は混乱した\n"},
    { 7, "　　　　　魔王はにっこりほほえんだ\n"},
    { 8, "　　　　　魔王の服がスケスケになった\n"},
    { 9, "　　　　　太郎の頭にタライが落ちてきた\n"},
    {10, "　　　　　魔王は不気味な笑みを浮かべた\n"},
    {11, "　　　　　魔王のレベルが異様に上がった\n"},
    {12, "　　　　　魔王はおびえている\n"},
    {13, "　　　　　魔王の体力が必要以上に回復した\n"},
    {14, "　　　　　魔王は ときめいた"},
    {15, "　　　　　魔王のマゲが分裂した\n"},
    {16, "　　　　　太郎の「男らしさ」に磨きがかかった\n"},
    {17, "　　　　　魔王の魂に火がついた\n"},
    {18, "　　　　　魔王は何かに感動している\n"},
    {19, "　　　　　魔王のマゲがくだけちった\n"},
    {20, "　　　　　しかしなにもおこらなかった\n"},
};

struct spell_run {
    std::string output;
    reply_result result;
    std::string lord;
    std::string player;
    std::string left_in_input;
};

spell_run cast_from(std::uint32_t seed)
{
    random_source rng;
    random_seed(rng, seed);
    test_console t("abc\n");
    char lord_name[lord_name_capacity];
    char player_name[player_name_capacity];
    std::strcpy(lord_name, sjis("魔王").c_str());
    std::strcpy(player_name, sjis("太郎").c_str());
    reply_result result = cast_spell(*t.con, rng, lord_name, player_name);
    char rest[10] = "";
    console_get_line(*t.con, rest);
    return {t.flushed(), result, lord_name, player_name, rest};
}

TEST(Spell, EveryEffect)
{
    ASSERT_EQ(20u, std::size(effect_table));
    const std::string cast_line = sjis("\n　　　　　太郎はパルプンテを唱えた\n");
    for (const effect_row& row : effect_table) {
        std::uint32_t seed = seed_where([&](random_source& rng) { return random_next(rng) % 20 + 1 == row.effect; });
        spell_run run = cast_from(seed);
        bool ends = row.effect == 3 || row.effect == 4;
        EXPECT_BYTES(cast_line + sjis(row.text) + (ends ? end_banner() : ""), run.output) << "effect " << row.effect;
        EXPECT_EQ(ends ? reply_result::over : reply_result::answered, run.result) << "effect " << row.effect;
        EXPECT_EQ(ends ? "c" : "bc", run.left_in_input) << "one key wait, two when it ends";
        if (row.effect > 2) {
            EXPECT_EQ(sjis("魔王"), run.lord);
            EXPECT_EQ(sjis("太郎"), run.player);
        }
    }
}

// Nickname k = r % 11 of the draw after the effect number, for each party.
struct nickname_row {
    int k;
    const char* player;
    const char* lord;
};

const nickname_row nickname_table[] = {
    { 0, "焼豚", "魔王"},
    { 1, "団子", "耳毛"},
    { 2, "馬糞", "肉汁"},
    { 3, "ロボ", "大腸"},
    { 4, "はげ", "王様"},
    { 5, "貞子", "焼肉"},
    { 6, "野菜", "悟空"},
    { 7, "博士", "水虫"},
    { 8, "店長", "王子"},
    { 9, "鼻毛", "六助"},
    {10, "柿男", "ボブ"},
};

TEST(Spell, RenamingTakesTheDrawnNickname)
{
    for (const nickname_row& row : nickname_table) {
        for (int effect : {1, 2}) {
            std::uint32_t seed = seed_where([&](random_source& rng) {
                return random_next(rng) % 20 + 1 == effect && random_next(rng) % 11 == row.k;
            });
            spell_run run = cast_from(seed);
            EXPECT_EQ(sjis(effect == 1 ? row.player : "太郎"), run.player) << "k " << row.k;
            EXPECT_EQ(sjis(effect == 2 ? row.lord : "魔王"), run.lord) << "k " << row.k;
        }
    }
}

} // namespace
