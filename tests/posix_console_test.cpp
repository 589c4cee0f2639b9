// The POSIX port: what its locale names say about the terminal.
#include "platform/posix/posix_console.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

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

// Standard input and output put on pipes of the test's own for the length of a case.
class PipedStreams : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_in = ::dup(STDIN_FILENO);
        saved_out = ::dup(STDOUT_FILENO);
        ASSERT_EQ(0, ::pipe(to_program));
        ASSERT_EQ(0, ::pipe(from_program));
        ASSERT_EQ(STDIN_FILENO, ::dup2(to_program[0], STDIN_FILENO));
        ASSERT_EQ(STDOUT_FILENO, ::dup2(from_program[1], STDOUT_FILENO));
    }
    void TearDown() override
    {
        ::dup2(saved_in, STDIN_FILENO);
        ::dup2(saved_out, STDOUT_FILENO);
        for (int fd : {saved_in, saved_out, to_program[0], to_program[1], from_program[0], from_program[1]}) ::close(fd);
    }
    int saved_in = -1, saved_out = -1;
    int to_program[2] = {-1, -1};
    int from_program[2] = {-1, -1};
    standard_streams streams;
};

TEST_F(PipedStreams, TheEndOfInputIsTheEndWhateverErrnoHeldBefore)
{
    // read() at the end of input returns 0 and leaves errno as it was: an EINTR
    // left from earlier must not send the reader round again.
    ::close(to_program[1]);
    to_program[1] = -1;
    char into[8];
    errno = EINTR;
    EXPECT_EQ(0u, streams.read_some(into, sizeof into));
}

TEST_F(PipedStreams, AWriteOfOneByteIsWritten)
{
    EXPECT_EQ(console_port::write_outcome::written, streams.write_all("\n", 1));
    char got[2] = {};
    EXPECT_EQ(1, ::read(from_program[0], got, sizeof got));
    EXPECT_EQ('\n', got[0]);
}
