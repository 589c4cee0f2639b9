// The POSIX port: what its locale names say about the terminal.
#include "platform/posix/posix_console.h"

#include <gtest/gtest.h>

namespace {

TEST(LocaleNames, Utf8OrNot)
{
    struct case_ {
        const char* name;
        bool charset_utf8;  // as a character set name
        bool locale_utf8;   // as a locale name
    };
    const case_ cases[] = {
        {"UTF-8", true, true},  // a charset alone, as a Mac sends LC_CTYPE over ssh
        {"utf8", true, true},
        {"UTF-8@euro", false, true},
        {"C.UTF-8", false, true},
        {"ja_JP.UTF-8", false, true},
        {"ja_JP.utf8", false, true},
        {"de_DE.UTF-8@euro", false, true},
        {"ja_JP.SJIS", false, false},
        {"SHIFT_JIS", false, false},
        {"ja_JP.eucJP", false, false},
        {"ANSI_X3.4-1968", false, false},
        {"C", false, false},
        {"", false, false},
        {"UTF-16", false, false},
        {"ja_JP.UTF-8x", false, false},
        {"ja_JP", false, false},
        {"SJIS", false, false},
        // A character set name too long for any name of UTF-8 is not looked at.
        {"ja_JP.ISO-8859-15-and-a-longer-name-than-any", false, false},
    };
    for (const case_& c : cases) {
        EXPECT_EQ(c.charset_utf8, charset_is_utf8(c.name)) << c.name;
        EXPECT_EQ(c.locale_utf8, locale_name_is_utf8(c.name)) << c.name;
    }
}

} // namespace
