#include "engine/conversation.h"

#include "console/cp932.h"
#include "console/text.h"
#include "engine/chatter.h"
#include "engine/ending.h"
#include "engine/keywords.h"
#include "engine/random_row.h"
#include "engine/replies.h"
#include "engine/spell.h"
#include "engine/spoken_line.h"
#include "engine/two_character_name.h"

using namespace line_args;

namespace {

// ---- Texts of the driver ----------------------------------------------------------

// Greetings, row g - 1 for g = r % 6 + 1. Greetings 4 and 5 name the lord twice.
constexpr spoken_line greetings[] = {
    /* 1 */ {"%s＞おお、%s、今日は何の用じゃ？"_sj,                              {L, P}},
    /* 2 */ {"%s＞おお、%s、よくぞ参られた、楽にせい。"_sj,                      {L, P}},
    /* 3 */ {"%s＞%sめ、来おったな、今日こそは決着をつけてやろうぞ。"_sj,        {L, P}},
    /* 4 */ {"%s＞待ちかねたぞ %s、さあ早くこの%sを笑わせてみせよ。"_sj,         {L, P, L}},
    /* 5 */ {"%s＞ふはは、この%sを恐れぬ豪傑とは おまえのことか、%s。"_sj,       {L, L, P}},
    /* 6 */ {"%s＞ぐっどぅも～にぃんぐ、みすた～%s、はわゆ～？"_sj,              {L, P}},
};

// Silence replies to an empty line, row s - 1 for s = r % 7 + 1.
constexpr spoken_line silence_replies[] = {
    /* 1 */ {"%s＞なんとか申せ。"_sj,                      {L}},
    /* 2 */ {"%s＞何か申さぬか。"_sj,                      {L}},
    /* 3 */ {"%s＞何を黙っておる。"_sj,                    {L}},
    /* 4 */ {"%s＞聞いてる？"_sj,                          {L}},
    /* 5 */ {"%s＞返事はどうした。"_sj,                    {L}},
    /* 6 */ {"%s＞シカト？"_sj,                            {L}},
    /* 7 */ {"%s＞お～い、%sさ～ん、いませんか～。"_sj,    {L, P}},
};

// The lord's fit at a temple word, row t - 1 for t = r % 6 + 1. The spaces are one-byte.
constexpr spoken_line temple_fits[] = {
    /* 1 */ {"%s＞うわー！ 頭が、頭が痛い、ふぬおー！"_sj,                                   {L}},
    /* 2 */ {"%s＞ぐわ！ 頭が、頭が割れそうじゃあ～！"_sj,                                   {L}},
    /* 3 */ {"%s＞ぐふぅ！ 思い出せぬ！ 思い出せぬ～！"_sj,                                  {L}},
    /* 4 */ {"%s＞あいや～！ その言葉を言うでない～！"_sj,                                   {L}},
    /* 5 */ {"%s＞やめろー！ やめてくれい！ よせー！ あ～！"_sj,                             {L}},
    /* 6 */ {"%s＞ ？ ？ ？ ほんのうじ・・・、はっ・・・、黒兵衛ーーー！！！！！"_sj,        {L}},
};

static_assert(std::size(greetings) == 6 && std::size(silence_replies) == 7 && std::size(temple_fits) == 6);

constexpr two_character_name default_lord_name = "鬼瓦"_sj;
constexpr const char* temple_words[] = {"ほんのうじ"_sj, "本能寺"_sj};

// ---- Steps ------------------------------------------------------------------------

line_values names_of(const conversation& talk) { return {talk.lord_name, talk.player_name}; }

void print_title_and_instructions(console& con)
{
    console_print(con, "\n「鬼瓦の雷鳴」version.3"_sj);
    console_print(con, "\n\nまずは [Alt] + [半角/全角] で入力を日本語に切り替えてくだされ"_sj);
    console_print(con, "\n\nそしてそなたの名を入力してくだされ → "_sj);
}

void greet(console& con, random_source& rng, const conversation& talk)
{
    const spoken_line& greeting = random_row(rng, greetings);  // drawn before the line break is printed
    console_print(con, "\n"_sj);
    say(con, greeting, names_of(talk));
}

bool is_temple_word(const char* line)
{
    for (const char* word : temple_words)
        if (text_equals(line, word)) return true;
    return false;
}

void temple_ending(console& con, random_source& rng, const conversation& talk)
{
    say(con, random_row(rng, temple_fits), names_of(talk));
    close_conversation(con);
}

enum class turn_outcome { go_on, stop };

turn_outcome go_on_unless_over(reply_result result)
{
    return result == reply_result::over ? turn_outcome::stop : turn_outcome::go_on;
}

// One turn: prompt, read, then the first rule that applies: a keyword reply, the
// spell, a temple word, silence, idle chatter.
turn_outcome play_turn(console& con, random_source& rng, conversation& talk)
{
    console_print(con, "\n%s＞"_sj, talk.player_name);
    if (!console_get_line(con, talk.input_line)) return turn_outcome::stop;

    int reply_code = classify_line(talk.input_line);
    reply_result replied = reply_to_keyword(con, rng, reply_code, talk.lord_name, talk.player_name);
    if (replied != reply_result::none) return go_on_unless_over(replied);

    if (spell_in_line(talk.input_line))
        return go_on_unless_over(cast_spell(con, rng, talk.lord_name, talk.player_name));

    if (is_temple_word(talk.input_line)) {
        temple_ending(con, rng, talk);
        return turn_outcome::stop;
    }
    if (text_equals(talk.input_line, "")) say(con, random_row(rng, silence_replies), names_of(talk));
    else idle_chatter(con, rng, talk.lord_name, talk.player_name, talk.input_line);
    return turn_outcome::go_on;
}

} // namespace

void run_conversation(console& con, random_source& rng, std::uint32_t seed)
{
    conversation talk{};
    set_name(talk.lord_name, default_lord_name);
    random_seed(rng, seed);
    print_title_and_instructions(con);
    if (!console_get_line(con, talk.player_name)) return;  // no name, no conversation
    greet(con, rng, talk);
    while (play_turn(con, rng, talk) == turn_outcome::go_on) {
    }
}
