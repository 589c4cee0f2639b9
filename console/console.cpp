#include "console/console.h"

#include <algorithm>
#include <cstring>

#include "console/cp932.h"
#include "console/terminal_text.h"

// ---- Output ----------------------------------------------------------------------

void console_flush(console& con)
{
    if (con.output_size == 0) return;
    if (!con.output_gone && con.port->write_all(con.output, con.output_size) == console_port::write_outcome::reader_gone)
        con.output_gone = true;
    con.output_size = 0;  // a failed write is forgotten: the conversation goes on
}

namespace {

void append_raw(console& con, const char* bytes, std::size_t size)
{
    while (size > 0) {
        if (con.output_size == console_output_capacity) console_flush(con);
        std::size_t room = std::min(size, console_output_capacity - con.output_size);
        std::memcpy(con.output + con.output_size, bytes, room);
        con.output_size += room;
        bytes += room;
        size -= room;
    }
}

// A piece of a print (literal text or one argument) on its way out. At a UTF-8
// terminal each piece is converted on its own, so a stray lead byte at the end of
// a name becomes U+FFFD instead of swallowing the first byte of what follows.
void emit(console& con, const char* bytes, std::size_t size)
{
    if (con.output_gone) return;
    if (!con.mode.utf8_output) {
        append_raw(con, bytes, size);
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    while (size > 0) {
        char utf8[4];
        std::size_t utf8_size = 0;
        std::size_t taken = cp932_char_to_utf8(data, size, utf8, utf8_size);
        append_raw(con, utf8, utf8_size);
        data += taken;
        size -= taken;
    }
}

void emit_number(console& con, int number)
{
    char digits[12];
    std::size_t at = sizeof digits;
    // Work in the negative range, which holds every int, INT_MIN included.
    int rest = number < 0 ? number : -number;
    do {
        digits[--at] = static_cast<char>('0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (number < 0) digits[--at] = '-';
    emit(con, digits + at, sizeof digits - at);
}

} // namespace

void console_print_values(console& con, const char* checked_format, const print_value* values, std::size_t count)
{
    const char* literal = checked_format;
    std::size_t next_value = 0;
    for (const char* p = checked_format; *p != '\0'; ++p) {
        if (*p != '%') continue;  // no trail byte of code page 932 is '%' (0x25)
        emit(con, literal, static_cast<std::size_t>(p - literal));
        ++p;
        if (next_value < count) {
            const print_value& value = values[next_value++];
            if (value.text != nullptr) emit(con, value.text, std::strlen(value.text));
            else emit_number(con, value.number);
        }
        literal = p + 1;
    }
    emit(con, literal, std::strlen(literal));
}

// ---- Input -----------------------------------------------------------------------

namespace {

constexpr char end_of_data_byte = 0x1A;

// Reads the next chunk of input into the empty buffer. False at end of input.
bool refill(console& con)
{
    console_flush(con);  // whatever was printed is on the screen before we wait
    if (con.input_ended || con.output_gone) return false;
    std::memcpy(con.input, con.partial_utf8, con.partial_utf8_size);
    std::size_t carried = con.partial_utf8_size;
    std::size_t got = con.port->read_some(con.input + carried, console_input_capacity - carried);
    std::size_t size = carried + got;
    con.partial_utf8_size = 0;
    if (got == 0) con.input_ended = true;  // a terminal says end of input once: remember it

    if (con.mode.utf8_input && size > 0) {
        std::size_t unfinished = 0;
        size = utf8_to_cp932_in_place(con.input, size, con.input_ended, unfinished);
        size -= unfinished;
        std::memcpy(con.partial_utf8, con.input + size, unfinished);
        con.partial_utf8_size = unfinished;
    }
    // 0x1A ends the data of the read it arrives in; from a pipe or a file, for good.
    if (const void* stop = std::memchr(con.input, end_of_data_byte, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(stop) - con.input);
        con.partial_utf8_size = 0;  // an unfinished character after it goes with the rest
        if (!con.mode.input_is_terminal || size == 0) con.input_ended = true;
    }
    con.input_start = 0;
    con.input_end = size;
    return size > 0 || (!con.input_ended && refill(con));
}

bool input_available(console& con) { return con.input_start < con.input_end || refill(con); }

// The next byte of input in text mode (a CR directly before an LF is dropped), or
// -1 at end of input.
int next_byte(console& con)
{
    if (!input_available(con)) return -1;
    auto byte = static_cast<unsigned char>(con.input[con.input_start++]);
    if (byte == '\r' && input_available(con) && con.input[con.input_start] == '\n') {
        ++con.input_start;
        return '\n';
    }
    return byte;
}

} // namespace

bool console_get_line(console& con, char* buffer, std::size_t capacity)
{
    int byte = next_byte(con);
    if (byte < 0) return false;  // the buffer stays as it was

    std::size_t size = 0;
    bool trail_expected = false;  // the byte before was the first of a double-byte character
    bool cut = false;
    for (; byte >= 0 && byte != '\n'; byte = next_byte(con)) {
        if (cut) continue;  // the rest of a long line is dropped
        auto b = static_cast<unsigned char>(byte);
        bool starts_double = !trail_expected && cp932_is_lead_byte(b);
        std::size_t room = capacity - 1 - size;
        if (room == 0 || (starts_double && room < 2)) {
            cut = true;
            continue;
        }
        buffer[size++] = static_cast<char>(b);
        trail_expected = starts_double;
    }
    buffer[size] = '\0';
    return true;
}

void console_wait_key(console& con) { next_byte(con); }
