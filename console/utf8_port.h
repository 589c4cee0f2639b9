// Text at a UTF-8 edge: a terminal, a console or a page that speaks UTF-8 while the
// program speaks code page 932. The conversions run in fixed buffers, and the port
// below puts them in front of any other port, so the console core only ever
// sees code page 932.
#pragma once

#include <cstddef>

#include "console/console.h"

// A code point of the basic plane as UTF-8 in `out` (all that code page 932 holds);
// returns its size, 1 to 3.
std::size_t utf8_encode(char32_t code_point, char out[4]);

// Converts the code page 932 character at the start of `bytes` (`size` > 0) to
// UTF-8 in `out`; returns how many input bytes it took and sets `out_size`. A byte
// or pair that code page 932 does not define becomes U+FFFD:
//     {0x82, 0xA0}  ->  "あ", takes 2        {0x82}  ->  U+FFFD, takes 1
std::size_t cp932_char_to_utf8(const unsigned char* bytes, std::size_t size, char out[4], std::size_t& out_size);

// Converts UTF-8 in place to code page 932 (the result is never longer). A
// character that code page 932 cannot hold becomes one '?', and so does each piece
// of a malformed sequence: a byte that begins no character (80-C1, F5-FF) is a
// piece of its own, and a lead byte (C2-F4) with the continuation bytes (80-BF)
// after it, up to the length it announces, is one piece, however many of them
// there are and whatever code point they would make:
//     E3 81 41 -> "?A"     ED A0 80 (a surrogate) -> "?"     C0 80 (C0 begins nothing) -> "??"
// So the '?' are the same however the input is split between reads. A character
// cut off at the end is left unconverted at the end of the result, and
// `unfinished` says how many bytes it has, unless `input_over` says no more will
// come, in which case it becomes '?' too. Returns the new size, the unfinished
// bytes included.
std::size_t utf8_to_cp932_in_place(char* bytes, std::size_t size, bool input_over, std::size_t& unfinished);

// A port in front of another whose far side speaks UTF-8: what is read arrives as
// code page 932, and what is printed leaves as UTF-8, each direction when asked.
// A character split between two reads is carried over to the next. A byte order
// mark at the very start of the input (Notepad begins UTF-8 files with one) is
// skipped; anywhere else it is a character like any other that code page 932 cannot
// hold.
class utf8_port : public console_port {
public:
    explicit constexpr utf8_port(console_port& inner) : inner_(&inner) {}

    // Which directions are converted; the others pass through unchanged.
    void convert(bool input, bool output)
    {
        convert_input_ = input;
        convert_output_ = output;
    }

    std::size_t read_some(char* into, std::size_t size) override;
    void before_read(read_purpose purpose, std::size_t line_capacity) override
    {
        inner_->before_read(purpose, line_capacity);
    }
    write_outcome write_all(const char* bytes, std::size_t size) override { return inner_->write_all(bytes, size); }
    int last_error() const override { return inner_->last_error(); }
    char_encoder output_encoder() const override
    {
        return convert_output_ ? cp932_char_to_utf8 : inner_->output_encoder();
    }

private:
    // Drops a byte order mark from the start of the first `size` bytes read; returns
    // their new size. Decides once the first character is whole or the input is over.
    std::size_t skip_byte_order_mark(char* bytes, std::size_t size, bool input_over);

    console_port* inner_;
    bool convert_input_ = false;
    bool convert_output_ = false;
    bool ended_ = false;     // the far side said end of input: it is not asked again
    bool at_start_ = true;   // nothing has been read yet but what may be a byte order mark
    char carried_[4] = {};
    std::size_t carried_size_ = 0;
};
