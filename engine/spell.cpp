#include "engine/spell.h"

#include "console/cp932.h"
#include "engine/ending.h"
#include "engine/keywords.h"
#include "engine/random_row.h"
#include "engine/spoken_line.h"
#include "engine/table_checks.h"
#include "engine/two_character_name.h"

using namespace line_args;

namespace {

constexpr const char* spell_word = "パルプンテ"_sj;

// ---- The effects ------------------------------------------------------------------------
// Row e - 1 for the effect number e = r % 20 + 1. Each line names the party by the
// name it has before the effect; 3, 4 and 14 end without a line break (the banner
// or the next prompt supplies it).
enum class spell_action : std::uint8_t { none, rename_player, rename_lord, end_conversation };

struct spell_effect {
    int number;
    spoken_line line;
    spell_action action;
};

constexpr spell_effect spell_effects[] = {
    { 1, {"　　　　　%sの名前が変わった\n"_sj, {P}},                               spell_action::rename_player},
    { 2, {"　　　　　%sの名前が変わった\n"_sj, {L}},                               spell_action::rename_lord},
    { 3, {"　　　　　山のように大きな巨人が現れ、%sを連れ去ってしまった"_sj, {L}}, spell_action::end_conversation},
    { 4, {"　　　　　%sはくだけちった"_sj, {L}},                                   spell_action::end_conversation},
    { 5, {"　　　　　%sのレベルが下がった\n"_sj, {P}},                             spell_action::none},
    { 6, {"　　　　　%sは混乱した\n"_sj, {L}},                                     spell_action::none},
    { 7, {"　　　　　%sはにっこりほほえんだ\n"_sj, {L}},                           spell_action::none},
    { 8, {"　　　　　%sの服がスケスケになった\n"_sj, {L}},                         spell_action::none},
    { 9, {"　　　　　%sの頭にタライが落ちてきた\n"_sj, {P}},                       spell_action::none},
    {10, {"　　　　　%sは不気味な笑みを浮かべた\n"_sj, {L}},                       spell_action::none},
    {11, {"　　　　　%sのレベルが異様に上がった\n"_sj, {L}},                       spell_action::none},
    {12, {"　　　　　%sはおびえている\n"_sj, {L}},                                 spell_action::none},
    {13, {"　　　　　%sの体力が必要以上に回復した\n"_sj, {L}},                     spell_action::none},
    {14, {"　　　　　%sは ときめいた"_sj, {L}},                                    spell_action::none},
    {15, {"　　　　　%sのマゲが分裂した\n"_sj, {L}},                               spell_action::none},
    {16, {"　　　　　%sの「男らしさ」に磨きがかかった\n"_sj, {P}},                 spell_action::none},
    {17, {"　　　　　%sの魂に火がついた\n"_sj, {L}},                               spell_action::none},
    {18, {"　　　　　%sは何かに感動している\n"_sj, {L}},                           spell_action::none},
    {19, {"　　　　　%sのマゲがくだけちった\n"_sj, {L}},                           spell_action::none},
    {20, {"　　　　　しかしなにもおこらなかった\n"_sj, {}},                        spell_action::none},
};

// ---- The nicknames ----------------------------------------------------------------------
// Row k for k = r % 11. Every entry is two double-byte characters, so that it fills
// the lord name buffer exactly.
struct nickname_pair {
    two_character_name player;
    two_character_name lord;
};

constexpr nickname_pair nicknames[] = {
    /*  0 */ {"焼豚"_sj, "魔王"_sj},
    /*  1 */ {"団子"_sj, "耳毛"_sj},
    /*  2 */ {"馬糞"_sj, "肉汁"_sj},
    /*  3 */ {"ロボ"_sj, "大腸"_sj},
    /*  4 */ {"はげ"_sj, "王様"_sj},
    /*  5 */ {"貞子"_sj, "焼肉"_sj},
    /*  6 */ {"野菜"_sj, "悟空"_sj},
    /*  7 */ {"博士"_sj, "水虫"_sj},
    /*  8 */ {"店長"_sj, "王子"_sj},
    /*  9 */ {"鼻毛"_sj, "六助"_sj},
    /* 10 */ {"柿男"_sj, "ボブ"_sj},
};

static_assert(std::size(spell_effects) == 20 && rows_numbered_in_order(spell_effects, &spell_effect::number, 1));

static_assert(std::size(nicknames) == 11);

} // namespace

bool spell_in_line(const char* line) { return keyword_in_line(line, spell_word); }

reply_result cast_spell(console& con, random_source& rng, char (&lord_name)[lord_name_capacity],
                        char (&player_name)[player_name_capacity])
{
    console_print(con, "\n　　　　　%sはパルプンテを唱えた\n"_sj, player_name);
    const spell_effect& effect = random_row(rng, spell_effects);
    console_wait_key(con);
    say(con, effect.line, {lord_name, player_name});
    switch (effect.action) {
    case spell_action::none:
        break;
    case spell_action::rename_player:
        set_name(player_name, random_row(rng, nicknames).player);
        break;
    case spell_action::rename_lord:
        set_name(lord_name, random_row(rng, nicknames).lord);
        break;
    case spell_action::end_conversation:
        close_conversation(con);
        return reply_result::over;
    }
    return reply_result::answered;
}
