// A name of exactly two double-byte characters: the lord's name at start-up and
// every nickname of the spell. It is checked where it is written, at compile time,
// so that copying it whole into a name buffer is always right.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include "console/cp932.h"
#include "engine/conversation.h"

struct two_character_name {
    consteval two_character_name(const char* name) : text(name)
    {
        if (std::char_traits<char>::length(name) != lord_name_capacity - 1 ||
            !cp932_is_lead_byte(static_cast<unsigned char>(name[0])) ||
            !cp932_is_lead_byte(static_cast<unsigned char>(name[2])))
            throw "a name here is exactly two double-byte characters";
    }

    const char* text;
};

// Replaces the whole contents of a name buffer, the lord's or the player's, with
// the name and its NUL.
template <std::size_t N>
void set_name(char (&buffer)[N], two_character_name name)
{
    static_assert(N >= lord_name_capacity);
    std::memcpy(buffer, name.text, lord_name_capacity);
}
