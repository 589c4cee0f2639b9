// The console: formatted output of code page 932 text, line input and the key
// wait, over one buffered input stream and one buffered output stream.
//
// The engine never sees a file descriptor: it gets a console, which reads and
// writes through a console_port (standard input and output in the program, bytes
// in memory in the tests). Lines and key waits share one input buffer, so a key
// wait that takes the first byte of a typed line leaves the rest for the next line.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>

// ---- Where the bytes come from and go to -------------------------------------

// One platform's way in and out: standard input and output, a Windows console, a
// web page, or bytes in memory in the tests. The console reads and prints code
// page 932 through it and knows nothing else of the other side.
class console_port {
public:
    enum class write_outcome { written, failed, reader_gone };

    // Turns the code page 932 character at the start of `bytes` (`size` > 0) into
    // the bytes that leave, in `out`; returns how many bytes it took and sets `out_size`.
    using char_encoder = std::size_t (*)(const unsigned char* bytes, std::size_t size, char out[4],
                                         std::size_t& out_size);

    virtual ~console_port() = default;
    // Up to `size` bytes of code page 932 input, blocking until at least one is
    // there; 0 at end of input or on a read error.
    virtual std::size_t read_some(char* into, std::size_t size) = 0;
    // Told just before each read_some: what it is for, the bytes of a line or the
    // one key of a key wait, and the capacity of the buffer that the line goes to,
    // its NUL included (0: none known); at a key wait, that of the line read before
    // it, which the rest of a typed line joins. A port that shows the player what is
    // awaited (the page shows a sign at a key wait) keeps the purpose; a port that
    // edits the typed line itself keeps the line to what the console keeps of it.
    enum class read_purpose { line, key };
    virtual void before_read(read_purpose purpose, std::size_t line_capacity)
    {
        (void)purpose;
        (void)line_capacity;
    }
    // All `size` bytes, or why not. `reader_gone`: nobody will ever read the output.
    // With an output_encoder(), the bytes are always whole encoded characters.
    virtual write_outcome write_all(const char* bytes, std::size_t size) = 0;
    // The errno value behind the last read_some that gave 0 or the last write_all
    // that failed; 0 when that read met the end of input, or when nothing is known.
    virtual int last_error() const { return 0; }
    // How printed text leaves: nullptr for code page 932 as it is; otherwise each
    // piece of a print (a run of its format, or one argument) is converted on its
    // own, character by character, so that a stray lead byte at the end of a name
    // cannot swallow the first byte of what follows it.
    virtual char_encoder output_encoder() const { return nullptr; }
};

// The byte that ends the data of the read it arrives in (Ctrl-Z, as text mode reads
// it): the console drops what follows it there, and a UTF-8 edge converts nothing past it.
inline constexpr char end_of_data_byte = 0x1A;

// What kind of streams the port stands for, decided once at start-up.
struct console_mode {
    // A 0x1A ends only the read it arrives in; from a pipe or a file it ends the input.
    bool input_is_terminal = false;
    // Every print is on the screen before console_print returns, and when the input
    // ends the program leaves the cursor on a line of its own.
    bool output_is_terminal = false;
};

// Why a console stopped short of its conversation: a read or a write that failed.
struct console_failure {
    enum class kind { none, read, write };
    kind what = kind::none;
    int error = 0;  // an errno value
};

inline constexpr std::size_t console_input_capacity = 64 * 1024;
inline constexpr std::size_t console_output_capacity = 16 * 1024;

struct console {
    constexpr console() = default;  // to be attached to its port before use
    console(console_port& port, console_mode mode);  // attached at once, as by console_attach
    console(const console&) = delete;
    console& operator=(const console&) = delete;

    console_port* port = nullptr;
    console_mode mode{};
    console_port::char_encoder encoder = nullptr;  // the port's, taken when attached

    char input[console_input_capacity] = {};
    std::size_t input_start = 0;  // next byte to take
    std::size_t input_end = 0;    // end of the bytes read
    bool input_ended = false;     // end of input seen for good: nothing more is read
    bool last_read_ended = false; // the latest read gave end of input
    std::size_t line_capacity = 0; // the capacity of the latest line read

    char output[console_output_capacity] = {};
    std::size_t output_size = 0;
    // Nothing more is written or read: the reader left, or a read or a write failed.
    bool halted = false;
    console_failure failure{};  // what failed, if anything did
};

// Attaches a console to its port: standard input and output in the program.
void console_attach(console& con, console_port& port, console_mode mode);

// ---- Output --------------------------------------------------------------------

// One argument of a print: a byte string for %s or a number for %d.
struct print_value {
    const char* text;  // nullptr for a number
    int number;
};

namespace console_detail {

template <class T>
consteval char conversion_for()
{
    if constexpr (std::is_same_v<std::remove_cvref_t<T>, int>) return 'd';
    else if constexpr (std::is_convertible_v<const T&, const char*>) return 's';
    else return '?';
}

// Throws (and so fails to compile) unless `format` holds exactly the conversions
// `wanted`, in order, and no other use of '%'.
consteval void check_conversions(const char* format, const char* wanted)
{
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p != 's' && *p != 'd') throw "console_print knows only %s and %d";
        if (*wanted == '\0') throw "fewer arguments than conversions";
        if (*wanted != *p) {
            if (*p == 'd') throw "a %d conversion is given a text";
            throw "a %s conversion is given a number";
        }
        ++wanted;
    }
    if (*wanted != '\0') throw "more arguments than conversions";
}

inline print_value to_print_value(const char* text) { return {text, 0}; }
inline print_value to_print_value(int number) { return {nullptr, number}; }

} // namespace console_detail

// A format text checked at compile time against the arguments it is printed with.
// It can only be made from a constant, so the player's text can never become one.
template <class... Args>
class print_format {
public:
    consteval print_format(const char* format) : format_(format)
    {
        constexpr char wanted[] = {console_detail::conversion_for<Args>()..., '\0'};
        console_detail::check_conversions(format, wanted);
    }
    constexpr const char* text() const { return format_; }

private:
    const char* format_;
};

// Prints a format that was checked when it was made (a print_format, or a table row
// checked at compile time): its %s and %d take `values` in order.
void console_print_values(console& con, const char* checked_format, const print_value* values, std::size_t count);

// Prints `format` with %s (a byte string) and %d (an int) replaced by the arguments.
//     console_print(con, "\n%s＞"_sj, player_name);
template <class... Args>
void console_print(console& con, print_format<std::type_identity_t<Args>...> format, const Args&... args)
{
    std::array<print_value, sizeof...(Args)> values{console_detail::to_print_value(args)...};
    console_print_values(con, format.text(), values.data(), values.size());
}

// Writes out what the prints have collected. Runs by itself before every read
// and, at a terminal, at the end of every print.
void console_flush(console& con);

// The last output before the program ends: at a terminal whose input has ended,
// a line break (so that the shell's prompt does not follow the lord's prompt on
// its line), then everything still collected.
void console_finish(console& con);

// ---- Input ---------------------------------------------------------------------

// How many of the first bytes of a typed line (`size` bytes, without its newline)
// console_get_line keeps in a buffer of `capacity` bytes: whole characters while
// they fit in capacity - 1. A lead byte asks for room for two bytes.
//     "ab" "あ" into 4 bytes  ->  2        "abc" into 4 bytes  ->  3
std::size_t console_kept_size(const char* line, std::size_t size, std::size_t capacity);

// Reads one line into `buffer` (at most capacity - 1 bytes and a NUL), without its
// newline. A longer line is cut on a character boundary and the rest of it, up to
// and including its newline, is discarded. Returns false at end of input with
// nothing read, leaving the buffer exactly as it was. (A buffer of capacity 0
// receives nothing, not even the NUL.)
bool console_get_line(console& con, char* buffer, std::size_t capacity);

template <std::size_t N>
bool console_get_line(console& con, char (&buffer)[N])
{
    return console_get_line(con, buffer, N);
}

// The key wait: takes one byte of input and discards it; returns at once at end of input.
void console_wait_key(console& con);
