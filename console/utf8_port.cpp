#include "console/utf8_port.h"

#include <cstring>

#include "console/cp932.h"

namespace {

constexpr char32_t replacement_character = 0xFFFD;
constexpr char32_t byte_order_mark = 0xFEFF;

} // namespace

std::size_t utf8_encode(char32_t code_point, char out[4])
{
    if (code_point < 0x80) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code_point >> 6));
        out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
}

std::size_t cp932_char_to_utf8(const unsigned char* bytes, std::size_t size, char out[4], std::size_t& out_size)
{
    unsigned char first = bytes[0];
    if (!cp932_is_lead_byte(first)) {
        char32_t code_point = cp932_single_byte[first];
        if (code_point == 0 && first != 0) code_point = replacement_character;
        out_size = utf8_encode(code_point, out);
        return 1;
    }
    if (size < 2 || !cp932_is_trail_byte(bytes[1])) {
        out_size = utf8_encode(replacement_character, out);
        return 1;
    }
    char32_t code_point = cp932_double_byte[cp932_pair_index(first, bytes[1])];
    out_size = utf8_encode(code_point != 0 ? code_point : replacement_character, out);
    // An undefined pair whose second byte is ASCII gives that byte back, so that
    // a lone lead byte never swallows a letter or a line break.
    return code_point == 0 && bytes[1] < 0x80 ? 1 : 2;
}

std::size_t utf8_to_cp932_in_place(char* bytes, std::size_t size, bool input_over, std::size_t& unfinished)
{
    std::size_t read = 0;
    std::size_t written = 0;
    unfinished = 0;
    while (read < size) {
        utf8_char c = utf8_decode(bytes + read, size - read);
        if (c.status == utf8_char::kind::cut_off && !input_over) {  // the rest is in the next read
            unfinished = c.size;
            std::memmove(bytes + written, bytes + read, c.size);
            return written + c.size;
        }
        unsigned code = c.status == utf8_char::kind::whole ? cp932_code_for(c.code_point) : 0;
        if (code == 0 && !(c.status == utf8_char::kind::whole && c.code_point == 0)) code = '?';
        if (code > 0xFF) bytes[written++] = static_cast<char>(code >> 8);
        bytes[written++] = static_cast<char>(code & 0xFF);
        read += c.size;
    }
    return written;
}

std::size_t utf8_port::skip_byte_order_mark(char* bytes, std::size_t size, bool input_over)
{
    const utf8_char first = utf8_decode(bytes, size);
    if (first.status == utf8_char::kind::cut_off && !input_over) return size;  // decided when it is whole
    at_start_ = false;
    if (first.status != utf8_char::kind::whole || first.code_point != byte_order_mark) return size;
    std::memmove(bytes, bytes + first.size, size - first.size);
    return size - first.size;
}

std::size_t utf8_port::read_some(char* into, std::size_t size)
{
    if (!convert_input_) return inner_->read_some(into, size);
    while (!ended_) {
        std::memcpy(into, carried_, carried_size_);
        const std::size_t carried = carried_size_;
        const std::size_t got = inner_->read_some(into + carried, size - carried);
        carried_size_ = 0;
        ended_ = got == 0;
        std::size_t raw = carried + got;
        // The data of a read ends at a 0x1A (the console drops what follows it), so
        // a character cut off after one is not carried into the next read.
        bool cut_here = ended_;
        if (const void* stop = std::memchr(into + carried, end_of_data_byte, got)) {
            raw = static_cast<std::size_t>(static_cast<const char*>(stop) - into) + 1;
            cut_here = true;
        }
        if (at_start_ && raw > 0) raw = skip_byte_order_mark(into, raw, cut_here);
        std::size_t unfinished = 0;
        std::size_t size_now = utf8_to_cp932_in_place(into, raw, cut_here, unfinished);
        std::memcpy(carried_, into + size_now - unfinished, unfinished);
        carried_size_ = unfinished;
        if (size_now > unfinished) return size_now - unfinished;
    }
    return 0;
}
