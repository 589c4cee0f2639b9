#include "console/console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "console/cp932.h"

void console_attach(console& con, console_port& port, console_mode mode)
{
    con.port = &port;
    con.mode = mode;
    con.encoder = port.output_encoder();
}

console::console(console_port& port, console_mode mode) { console_attach(*this, port, mode); }

// ---- Output ----------------------------------------------------------------------

namespace {

// Stops the conversation at once: nothing more is written or read.
void halt_on_failure(console& con, console_failure::kind what)
{
    const int error = con.port->last_error();
    con.halted = true;
    con.failure = {what, error != 0 ? error : EIO};
}

} // namespace

void console_flush(console& con)
{
    if (con.output_size == 0) return;
    if (!con.halted) {
        switch (con.port->write_all(con.output, con.output_size)) {
        case console_port::write_outcome::written: break;
        case console_port::write_outcome::reader_gone: con.halted = true; break;  // a quiet end
        case console_port::write_outcome::failed: halt_on_failure(con, console_failure::kind::write); break;
        }
    }
    con.output_size = 0;
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

// A piece of a print (a run of its format, or one argument) on its way out. A
// port that converts its output gets each piece converted on its own, and each
// converted character whole within one write.
void emit(console& con, const char* bytes, std::size_t size)
{
    if (con.halted) return;
    if (con.encoder == nullptr) {
        append_raw(con, bytes, size);
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    while (size > 0) {
        char encoded[4];
        std::size_t encoded_size = 0;
        std::size_t taken = con.encoder(data, size, encoded, encoded_size);
        if (console_output_capacity - con.output_size < encoded_size) console_flush(con);
        append_raw(con, encoded, encoded_size);
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
    if (con.mode.output_is_terminal) console_flush(con);
}

void console_finish(console& con)
{
    if (con.mode.output_is_terminal && (con.input_ended || con.last_read_ended)) emit(con, "\n", 1);
    console_flush(con);
}

// ---- Input -----------------------------------------------------------------------

namespace {

// Reads the next chunk of input into the empty buffer, for `purpose`. False when
// the read gives end of input.
bool refill(console& con, console_port::read_purpose purpose)
{
    console_flush(con);  // whatever was printed is out before we wait
    con.last_read_ended = true;
    if (con.input_ended || con.halted) return false;
    con.port->before_read(purpose, con.line_capacity);
    std::size_t size = con.port->read_some(con.input, console_input_capacity);
    if (size == 0) {
        con.input_ended = true;  // a terminal says end of input once: it is remembered
        if (con.port->last_error() != 0) halt_on_failure(con, console_failure::kind::read);
        return false;
    }
    // 0x1A ends the data of the read it arrives in; from a pipe or a file, the input.
    if (const void* stop = std::memchr(con.input, end_of_data_byte, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(stop) - con.input);
        if (!con.mode.input_is_terminal) con.input_ended = true;
    }
    con.input_start = 0;
    con.input_end = size;
    con.last_read_ended = size == 0;
    return size > 0;
}

// Once the reader of the output has gone, or a read or write failed, nothing more
// is read: the conversation ends.
bool input_available(console& con, console_port::read_purpose purpose)
{
    return !con.halted && (con.input_start < con.input_end || refill(con, purpose));
}

// The next byte of input in text mode (a CR directly before an LF is dropped), or
// -1 at end of input; a read it needs is for `purpose`.
int next_byte(console& con, console_port::read_purpose purpose)
{
    if (!input_available(con, purpose)) return -1;
    auto byte = static_cast<unsigned char>(con.input[con.input_start++]);
    if (byte == '\r' && input_available(con, purpose) && con.input[con.input_start] == '\n') {
        ++con.input_start;
        return '\n';
    }
    return byte;
}

// The bytes of a line, one at a time, that a buffer keeps: whole characters while
// they fit. Once one does not, the rest of the line is dropped.
class line_fit {
public:
    explicit line_fit(std::size_t room) : room_(room) {}

    bool keeps(unsigned char b)
    {
        if (cut_) return false;
        const bool starts_double = !trail_expected_ && cp932_is_lead_byte(b);
        if (room_ == 0 || (starts_double && room_ < 2)) {
            cut_ = true;
            return false;
        }
        --room_;
        trail_expected_ = starts_double;
        return true;
    }

private:
    std::size_t room_;             // bytes the buffer still takes, its NUL apart
    bool trail_expected_ = false;  // the byte before was the first of a double-byte character
    bool cut_ = false;
};

constexpr auto for_line = console_port::read_purpose::line;
constexpr auto for_key = console_port::read_purpose::key;

} // namespace

std::size_t console_kept_size(const char* line, std::size_t size, std::size_t capacity)
{
    if (capacity == 0) return 0;
    line_fit fit(capacity - 1);
    std::size_t kept = 0;
    while (kept < size && fit.keeps(static_cast<unsigned char>(line[kept]))) ++kept;
    return kept;
}

bool console_get_line(console& con, char* buffer, std::size_t capacity)
{
    con.line_capacity = capacity;
    int byte = next_byte(con, for_line);
    if (byte < 0) return false;  // the buffer stays as it was

    std::size_t size = 0;
    if (capacity == 0) {  // no room even for the NUL: the line is read and dropped
        while (byte >= 0 && byte != '\n') byte = next_byte(con, for_line);
        return true;
    }
    line_fit fit(capacity - 1);
    for (; byte >= 0 && byte != '\n'; byte = next_byte(con, for_line)) {
        const auto b = static_cast<unsigned char>(byte);
        if (fit.keeps(b)) buffer[size++] = static_cast<char>(b);  // the rest of a long line is dropped
    }
    buffer[size] = '\0';
    return true;
}

void console_wait_key(console& con) { next_byte(con, for_key); }
