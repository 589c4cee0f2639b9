#include "engine/chatter.h"

#include "console/cp932.h"
#include "engine/random_row.h"
#include "engine/spoken_line.h"
#include "engine/table_checks.h"

using namespace line_args;

namespace {

// The household and the rivals who drop in, in the order of their chatter values.
enum class cameo : std::uint8_t { kumasuke, kamekichi, mamesuke, imonosuke, oharu, kiku, kurobee, yamaarashi, komezo };

enum class chatter_kind : std::uint8_t {
    line,    // print the line
    cameo,   // a visitor speaks one of four lines, drawn
    rumour,  // the line, or once in thirty the level-up narration instead
};

struct chatter_entry {
    consteval chatter_entry(int entry_value, spoken_line spoken, chatter_kind entry_kind = chatter_kind::line)
        : value(entry_value), kind(entry_kind), line(spoken)
    {
    }
    consteval chatter_entry(int entry_value, cameo visitor)
        : value(entry_value), kind(chatter_kind::cameo), line(""), speaker(visitor)
    {
    }

    int value;
    chatter_kind kind;
    spoken_line line;
    cameo speaker = cameo::kumasuke;
};

// ---- The chatter ----------------------------------------------------------------------
// Row value - 1 for value = r % 160 + 1. L is the lord name, P the player name, I
// the line just typed, N the experience number drawn on every turn.
constexpr chatter_entry chatter[] = {
    {  1, {"%s＞おぬし、わしに喧嘩売ってんのか？"_sj, {L}}},
    {  2, {"%s＞なんだか本能寺へは行きたくないのだ。"_sj, {L}}},
    {  3, {"%s＞ふふふ、天下は わしのものじゃ。"_sj, {L}}},
    {  4, {"%s＞ぷり～ず こ～る み～ おにおに。"_sj, {L}}},
    {  5, {"%s＞必ず手に入れてみせる！ ドラゴンボール！"_sj, {L}}},
    {  6, {"%s＞・・・地震？"_sj, {L}}},
    {  7, {"%s＞ほう、わしを愚弄するのか。"_sj, {L}}},
    {  8, {"%s＞ぶち壊しちゃる。"_sj, {L}}},
    {  9, {"%s＞おぬし、なかなか見所があるぞ。"_sj, {L}}},
    { 10, {"%s＞おんどりゃー！ どちくしょー！"_sj, {L}}},
    { 11, cameo::kumasuke},
    { 12, {"%s＞わしのケータイの着メロは「暴れん坊将軍」じゃ。"_sj, {L}}},
    { 13, {"%s＞うちの豆助は茂作とは大違いじゃ。"_sj, {L}}},
    { 14, {"%s＞・・・・・は？"_sj, {L}}},
    { 15, {"%s＞%s殿も天下を狙うてみてはいかがかのう？"_sj, {L, P}}},
    { 16, {"%s＞黒兵衛を見かけんかったか？"_sj, {L}}},
    { 17, {"%s＞近頃、黒兵衛の様子がおかしいのじゃ。"_sj, {L}}},
    { 18, {"%s＞これは見事なハゲじゃ！"_sj, {L}}},
    { 19, {"%s＞おぬしもワルよのう。"_sj, {L}}},
    { 20, {"%s＞おぬし、ちとセコイのではないか？"_sj, {L}}},
    { 21, {"%s＞ルパンめ、ただ者ではないな。"_sj, {L}}},
    { 22, {"%s＞じゃかまし～！"_sj, {L}}},
    { 23, {"%s＞おぬし、何か企んでおるな？"_sj, {L}}},
    { 24, {"%s＞%s殿、わしの目は節穴ではないぞ。"_sj, {L, P}}},
    { 25, {"%s＞して、何が望みだ？"_sj, {L}}},
    { 26, {"%s＞スキありー！ どりゃ～！"_sj, {L}}},
    { 27, {"%s＞ところでおぬし、カメハメ波は撃てるか？"_sj, {L}}},
    { 28, {"%s＞むむ、何たる狼藉、許し難し。"_sj, {L}}},
    { 29, {"%s＞ちょんまげぇ～！"_sj, {L}}},
    { 30, {"%s＞う～ん、一体どこにあるのかのう、ウルトラの星・・・。"_sj, {L}}},
    { 31, {"%s＞銀閣時って、どこが銀なのかのう。"_sj, {L}}},
    { 32, cameo::kamekichi},
    { 33, {"%s＞さすがは天下一の芸人、褒めてつかわす！"_sj, {L}}},
    { 34, {"%s＞民を思えばこそ。"_sj, {L}}},
    { 35, {"%s＞この恥さらしが！"_sj, {L}}},
    { 36, {"%s＞おぬし まだまだ修行が足りぬわ！"_sj, {L}}},
    { 37, {"%s＞どういう意味じゃ？"_sj, {L}}},
    { 38, {"%s＞もっと違う芸はないのか？"_sj, {L}}},
    { 39, cameo::mamesuke},
    { 40, {"%s＞テトリス対戦しないか？"_sj, {L}}},
    { 41, {"%s＞はて、気のせいかの、おぬしの後ろに背後霊が・・・。"_sj, {L}}},
    { 42, {"%s＞鳴かぬなら、ぶち殺しちゃれ、ほととぎぃーす！"_sj, {L}}},
    { 43, {"%s＞わはは、愉快じゃ、実に愉快じゃ！"_sj, {L}}},
    { 44, {"%s＞人生 五十万年！"_sj, {L}}},
    { 45, {"%s＞お春は機嫌が悪いようであるぞ。"_sj, {L}}},
    { 46, {"%s＞わしは戦国の「らいおんきんぐ」じゃ。"_sj, {L}}},
    { 47, {"%s＞ええい、気色悪い！"_sj, {L}}},
    { 48, {"%s＞ひかえおろ！ 我こそは石頭%sであるぞ！"_sj, {L, L}}},
    { 49, {"%s＞なんたって わしは世界のヒーローであるからな。"_sj, {L}}},
    { 50, {"%s＞わしもドラエモンほしい。"_sj, {L}}},
    { 51, {"%s＞谷底の動きが気になるところじゃ。"_sj, {L}}},
    { 52, {"%s＞不思議じゃ～。"_sj, {L}}},
    { 53, {"%s＞おぬし、名は何と言ったかのう？"_sj, {L}}},
    { 54, {"%s＞鼻田権兵衛って誰？"_sj, {L}}},
    { 55, {"%s＞わしの馬にも「かーなび」付けようかな。"_sj, {L}}},
    { 56, {"%s＞%sよ、キテレツ大百科を探してまいれ。"_sj, {L, P}}},
    { 57, {"%s＞ぶっ 無礼者！"_sj, {L}}},
    { 58, {"%s＞わしも「ぷれすてつう」がほしいのじゃ。"_sj, {L}}},
    { 59, {"%s＞今年は来てくれるじゃろうか・・・サンタさん。"_sj, {L}}},
    { 60, {"%s＞おっす！ おら悟空！"_sj, {L}}},
    { 61, {"%s＞鉄砲は種子島に限る。"_sj, {L}}},
    { 62, {"%s＞おどれら！ この%sを怒らせおったな！"_sj, {L, L}}},
    { 63, {"%s＞最後にシャチホコを磨いたのは いつだったかのう。"_sj, {L}}},
    { 64, {"%s＞ならん、ならんぞ、考えなおせ！"_sj, {L}}},
    { 65, {"%s＞左様か。"_sj, {L}}},
    { 66, {"%s＞おぬし、本当にそれで良いのか？"_sj, {L}}},
    { 67, cameo::imonosuke},
    { 68, {"%s＞たわけ！ つまらぬぞ！"_sj, {L}}},
    { 69, {"%s＞わし「ゆ～ふぉ～」見たぞ！"_sj, {L}}},
    { 70, {"%s＞宇宙人の襲撃にも備えねばなるまい。"_sj, {L}}},
    { 71, {"%s＞天下統一！"_sj, {L}}},
    { 72, {"%s＞わしのライバルは「ちょっぷ・すてーき」じゃ。"_sj, {L}}},
    { 73, {"%s＞こめの大統領は、ぱんぷきん殿というのじゃな。"_sj, {L}}},
    { 74, {"%s＞そんなことでは わしのようなメガスケールな人間にはなれぬぞ。"_sj, {L}}},
    { 75, {"%s＞さあ、どこからでも かかって参れ！"_sj, {L}}},
    { 76, {"%s＞して %s殿、わしに仕える気はないのかのう？"_sj, {L, P}}},
    { 77, {"%s＞菊は「ぢゃすこ」に買い物に出掛けたようだ。"_sj, {L}}},
    { 78, {"%s＞恥を知れ！ この大うつけ！"_sj, {L}}},
    { 79, {"%s＞謀反は許さぬぞ！"_sj, {L}}},
    { 80, {"%s＞わははは、苦しゅうないぞ！"_sj, {L}}},
    { 81, {"%s＞ん、天晴れ！ 見事じゃ！"_sj, {L}}},
    { 82, {"%s＞おぬし、マゲが見当たらんが・・・？"_sj, {L}}},
    { 83, {"%s＞マゲを結え、マゲを。"_sj, {L}}},
    { 84, {"%s＞いざや ひらかん、天下泰平 安眠楽土。"_sj, {L}}},
    { 85, {"%s＞%s、余は満足じゃ。"_sj, {L, P}}},
    { 86, {"%s＞おぬし、何を申しておるのだ？"_sj, {L}}},
    { 87, {"%s＞むははは～！"_sj, {L}}},
    { 88, {"%s＞片腹痛し。"_sj, {L}}},
    { 89, {"%s＞このわしに歯向かうとは、けなげよの～。"_sj, {L}}},
    { 90, {"%s＞かかってこんかい！"_sj, {L}}},
    { 91, {"%s＞わしの目に狂いはない、左右ともに 3.0 じゃ！"_sj, {L}}},
    { 92, {"%s＞桶狭間を思い出すわい。"_sj, {L}}},
    { 93, {"%s＞やれやれ、世話が焼けるのう。"_sj, {L}}},
    { 94, {"%s＞わからぬ事があれば遠慮せず このわしに聞くがよい。"_sj, {L}}},
    { 95, {"%s＞歌って踊れる天下人なんてのは、どうかの？"_sj, {L}}},
    { 96, {"%s＞遠慮はいらぬ、何なりと申せ。"_sj, {L}}},
    { 97, {"%s＞朝飯前じゃ。"_sj, {L}}},
    { 98, {"%s＞「ふぁみこんじゃんぷ」がクリアできんのぢゃ。"_sj, {L}}},
    { 99, {"%s＞ふぬお～！ してやられたわい！"_sj, {L}}},
    {100, {"%s＞わはは、愚か者め。"_sj, {L}}},
    {101, {"%s＞そういえば、熊助はどうした？"_sj, {L}}},
    {102, {"%s＞どっこい！"_sj, {L}}},
    {103, {"%s＞芋之助！ 芋之助はおらぬか！"_sj, {L}}},
    {104, {"%s＞はっ、雨じゃ！ 洗濯物を取り込まねば！ おぬしも手伝え！"_sj, {L}}},
    {105, {"%s＞あい わかった、わしに任せておけい。"_sj, {L}}},
    {106, {"%s＞ふむふむ、なるほどな。"_sj, {L}}},
    {107, {"%s＞亀吉殿も何かと大変であるな。"_sj, {L}}},
    {108, {"%s＞なんちゃって。"_sj, {L}}},
    {109, cameo::oharu},
    {110, {"%s＞うっぴょ～ん！"_sj, {L}}},
    {111, {"%s＞マジで？"_sj, {L}}},
    {112, {"%s＞信じられん。"_sj, {L}}},
    {113, {"%s＞そんな、馬鹿な・・・。"_sj, {L}}},
    {114, {"%s＞わしの胃袋は、宇宙じゃ！"_sj, {L}}},
    {115, {"%s＞つまり、この%sは美男子だと言いたいのじゃな。"_sj, {L, L}}},
    {116, cameo::kiku},
    {117, {"%s＞だ、誰がじゃ！"_sj, {L}}},
    {118, {"%s＞バカにするでない。"_sj, {L}}},
    {119, {"%s＞で、ではおぬし、やはり整形だったのか！？ どうりで おかしいと思った。"_sj, {L}}},
    {120, cameo::kurobee},
    {121, {"%s＞こないだ うっかり寝てしまって、獅子座流星群を見逃してしまったのじゃ。"_sj, {L}}},
    {122, {"%s＞そんなことはあるまい。"_sj, {L}}},
    {123, {"%s＞戦国の世は甘くない。"_sj, {L}}},
    {124, {"%s＞わしの悩み、聞いてくれる？"_sj, {L}}},
    {125, {"%s＞趣味は女装というのは おかしいか？"_sj, {L}}},
    {126, {"%s＞で、あるか。"_sj, {L}}},
    {127, {"%s＞勝った・・・。"_sj, {L}}},
    {128, {"%s＞か～ め～ は～ め～"_sj, {L}}},
    {129, {"%s＞はぁーーーー!!!!!"_sj, {L}}},
    {130, {"%s＞おぬし、何を怒っておるのだ？"_sj, {L}}},
    {131, {"%s＞さすがわし、えっへん！"_sj, {L}}},
    {132, {"%s＞ぶっ！ バカかおまえは！？ 出直せー！"_sj, {L}}},
    {133, {"%s＞いまのセリフ、英語で申してみよ。"_sj, {L}}},
    {134, {"%s＞%s、お手！"_sj, {L, P}}},
    {135, {"%s＞おのれ、ぬかったわ・・・。"_sj, {L}}},
    {136, {"%s＞う～ん、みすてり～さ～くる。"_sj, {L}}},
    {137, {"%s＞つかぬことを聞くが、わしのこと好きか？"_sj, {L}}},
    {138, {"%s＞わしの目を見よ。"_sj, {L}}},
    {139, {"%s＞おぬしも暇よのう。"_sj, {L}}},
    {140, {"%s＞わしの前世は「ぽて～と・ち～」じゃ。そうは思わんか？"_sj, {L}}},
    {141, {"%s＞芋之助がわしの前世は「ぽて～と・ち～」ではないと申すのじゃ。"_sj, {L}}},
    {142, {"%s＞%sが次のレベルになるには%dの経験値が必要じゃ。"_sj, {L, P, N}}},
    {143, {"%s＞はい、では出席をとります。　%s！"_sj, {L, P}}},
    {144, {"%s＞声が小さーーーい！！！"_sj, {L}}},
    {145, {"%s＞その心は？"_sj, {L}}},
    {146, {"%s＞ふぁいなるあんさー？"_sj, {L}}},
    {147, {"%s＞たわけたことをぬかすな！"_sj, {L}}},
    {148, {"%s＞タッカラプト、ポッポルンガ、プピリットパロ！"_sj, {L}}},
    {149, {"%s＞しゃちほこきらきら♪　おしろはぴかぴか♪　てんかはわしのもの♪　ちょんまげばんざい♪"_sj, {L}}},
    {150, {"%s＞わしが主人公の大河ドラマはいつできるのじゃ？"_sj, {L}}},
    {151, cameo::yamaarashi},
    {152, cameo::komezo},
    {153, {"%s＞この世界には謎の呪文があるそうじゃ。"_sj, {L}}, chatter_kind::rumour},
    {154, {"山彦＞%s、%s、%s・・・"_sj, {I, I, I}}},
    {155, {"%s＞なにを泣いておる。"_sj, {L}}},
    {156, {"%s＞%s、わしの子分になるか？"_sj, {L, P}}},
    {157, {"%s＞おまえ、わしの養子になれ。 今からおぬしの名は「%s%s」ぢゃ。"_sj, {L, L, P}}},
    {158, {"%s＞こざかしい！！！"_sj, {L}}},
    {159, {"%s＞きしょい、きしょい！　寄るなバカ者！"_sj, {L}}},
    {160, {"%s＞迎えに来てくれたんだね・・・、パトラッシュ・・・。"_sj, {L}}},
};

// ---- The visitors' lines -----------------------------------------------------------------
// Row by visitor, line inner - 1 for inner = r % 4 + 1.
constexpr spoken_line cameo_lines[][4] = {
    {
        /* 11 熊助 1 */ {"熊助＞御免つかまつる。"_sj, {}},
        /* 11 熊助 2 */ {"熊助＞おう %s、来ておったのか。"_sj, {P}},
        /* 11 熊助 3 */ {"熊助＞お春様はいずこに。"_sj, {}},
        /* 11 熊助 4 */ {"熊助＞熊八はここにおりまする。"_sj, {}},
    }, {
        /* 32 亀吉 1 */ {"亀吉＞いかにも、左様でございますな～。"_sj, {}},
        /* 32 亀吉 2 */ {"亀吉＞あ～れ～。"_sj, {}},
        /* 32 亀吉 3 */ {"亀吉＞黒兵衛殿、てはずは・・・・・い、いや、独り言にござるよ、わっはっは。"_sj, {}},
        /* 32 亀吉 4 */ {"亀吉＞鳴かぬなら、鳴くまで待ちます、ほととぎちゅ。"_sj, {}},
    }, {
        /* 39 豆助 1 */ {"豆助＞殿、落ち着いて！"_sj, {}},
        /* 39 豆助 2 */ {"豆助＞殿、いつまで遊んでるんですか！"_sj, {}},
        /* 39 豆助 3 */ {"豆助＞%s殿、%s様のお相手ご苦労様です。"_sj, {P, L}},
        /* 39 豆助 4 */ {"豆助＞殿は今度 京都に出かけるんです。%s殿も一緒にお供しませんか？"_sj, {P}},
    }, {
        /* 67 芋之助 1 */ {"芋之助＞殿の前で「ほんのうじ」と申してはならんでござるよ。"_sj, {}},
        /* 67 芋之助 2 */ {"芋之助＞殿の草履は拙者がふところで暖めてござる。"_sj, {}},
        /* 67 芋之助 3 */ {"芋之助＞鳴かぬなら、泣かせてみよう、ほととぐぃす。"_sj, {}},
        /* 67 芋之助 4 */ {"芋之助＞おいもがほくほく♪　ほっぺがぽかぽか♪　おいもがほくほく♪　ほっぺがぽかぽか♪　・・・・・失礼。"_sj, {}},
    }, {
        /* 109 お春 1 */ {"お春＞兄さんったら、%sさんにお茶も出さないで、まったく！"_sj, {P}},
        /* 109 お春 2 */ {"お春＞%sさん、これからも兄さんの面倒見てあげてね。"_sj, {P}},
        /* 109 お春 3 */ {"お春＞兄さん！！！ 兄さんでしょ！！！ 私のケーキ食べたの！！！ バカー！！！"_sj, {}},
        /* 109 お春 4 */ {"お春＞アホな兄をもつと苦労するわ。"_sj, {}},
    }, {
        /* 116 菊 1 */ {"菊＞これはこれは %s殿、右府様がいつもお世話になっています。"_sj, {P}},
        /* 116 菊 2 */ {"菊＞あなた！ 遊んでばかりいないで少しは働いてください！"_sj, {}},
        /* 116 菊 3 */ {"菊＞あなた、夕飯はまたカステラでいいんですか？"_sj, {}},
        /* 116 菊 4 */ {"菊＞右府様は働かずに遊んでばかり。 %s殿からも言ってやってくださいな。"_sj, {P}},
    }, {
        /* 120 黒兵衛 1 */ {"黒兵衛＞殿に内緒で京都の寺に宿泊の予約を入れたでござる。"_sj, {}},
        /* 120 黒兵衛 2 */ {"黒兵衛＞%s殿、拙者とともに本能寺へ行ってはくれまいか。"_sj, {P}},
        /* 120 黒兵衛 3 */ {"黒兵衛＞・・・・・・・・・・。"_sj, {}},
        /* 120 黒兵衛 4 */ {"黒兵衛＞殿の性格、もう耐えられない・・・。"_sj, {}},
    }, {
        /* 151 山嵐 1 */ {"山嵐＞どりゃーーー！！！　討ち取れーーー！！！"_sj, {}},
        /* 151 山嵐 2 */ {"山嵐＞%sーーー！！！　どこじゃーーー！！！"_sj, {L}},
        /* 151 山嵐 3 */ {"山嵐＞風！　林！　火！　山！"_sj, {}},
        /* 151 山嵐 4 */ {"山嵐＞勝負じゃーーー！！！　%sーーー！！！"_sj, {L}},
    }, {
        /* 152 米蔵 1 */ {"米蔵＞大河ドラマで一躍有名になったでござる。"_sj, {}},
        /* 152 米蔵 2 */ {"米蔵＞畑中米蔵、ただいま参上つかまつりました。"_sj, {}},
        /* 152 米蔵 3 */ {"米蔵＞芋之助がうらやましいでござるよ。"_sj, {}},
        /* 152 米蔵 4 */ {"米蔵＞よいしょ～！"_sj, {}},
    },
};

static_assert(std::size(chatter) == 160 && rows_numbered_in_order(chatter, &chatter_entry::value, 1));
static_assert(std::size(cameo_lines) == static_cast<std::size_t>(cameo::komezo) + 1);

// The experience the player still needs for the next level: drawn on every turn,
// shown only by value 142.
constexpr int least_experience = 100;
constexpr int most_experience = 4999;

int draw_experience(random_source& rng)
{
    return random_below(rng, most_experience - least_experience + 1) + least_experience;
}

// The rumour of the spell turns into the level-up once in this many times.
constexpr int level_up_one_in = 30;

// The rare form of the rumour: the player rises a level and learns the spell word.
// The first half stays on the screen, without a line break, while the key wait holds.
void announce_level_up(console& con, const char* player_name)
{
    console_print(con, "\n　　　　　%sはレベルがあがった"_sj, player_name);
    console_wait_key(con);
    console_print(con, "\n\n　　　　　%sは謎の呪文「パルプンテ」をおぼえた\n"_sj, player_name);
}

} // namespace

void idle_chatter(console& con, random_source& rng, const char* lord_name, const char* player_name,
                  const char* input_line)
{
    const chatter_entry& entry = random_row(rng, chatter);
    const int experience = draw_experience(rng);
    const line_values values{lord_name, player_name, input_line, experience};
    switch (entry.kind) {
    case chatter_kind::line:
        say(con, entry.line, values);
        break;
    case chatter_kind::cameo:
        say(con, random_row(rng, cameo_lines[static_cast<int>(entry.speaker)]), values);
        break;
    case chatter_kind::rumour:
        if (random_below(rng, level_up_one_in) == 0) announce_level_up(con, player_name);
        else say(con, entry.line, values);
        break;
    }
}
