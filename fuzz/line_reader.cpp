// Fuzz target: the line reader and the key wait on arbitrary bytes, read sizes,
// buffer capacities and console modes.
//
// Input: capacity byte, read-size byte, mode byte, call-pattern byte, then the
// bytes of standard input. Checked on every call:
//   - nothing is stored past the capacity (the buffer is a heap block of exactly
//     that size, so AddressSanitizer sees a single byte too many);
//   - end of input returns false and leaves the buffer byte for byte as it was;
//   - a stored line is the longest prefix of the typed line that fits without
//     splitting a double-byte character, followed by a NUL.
// The expected lines come from a plain model of the input below. With UTF-8 input
// the model drops a byte order mark at the very start of the input, as the UTF-8
// edge does, and converts the rest at once with the program's own converter
// (tested on its own elsewhere), so there it covers inputs without 0x1A; at a raw
// terminal, inputs where no read begins with one.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/utf8_port.h"
#include "fuzz/fuzz_input.h"

namespace {

bool is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// UTF-8 input as the line reader gets it, for input without 0x1A: a byte order mark
// (EF BB BF) at the very start is skipped, as Notepad's files begin with one; the
// rest is converted, a mark elsewhere included (it becomes '?').
std::string utf8_stream(const std::string& input)
{
    const std::string byte_order_mark = "\xEF\xBB\xBF";
    std::string converted = input.starts_with(byte_order_mark) ? input.substr(byte_order_mark.size()) : input;
    std::size_t unfinished = 0;
    converted.resize(utf8_to_cp932_in_place(converted.data(), converted.size(), true, unfinished));
    return converted;
}

// What the line reader should see: the input after 0x1A and, at a UTF-8
// terminal, after conversion, read as text (CR directly before LF dropped).
class text_model {
public:
    text_model(std::string bytes) : bytes_(std::move(bytes)) {}

    bool at_end() const { return at_ == bytes_.size(); }

    int next()
    {
        if (at_end()) return -1;
        auto b = static_cast<unsigned char>(bytes_[at_++]);
        if (b == '\r' && !at_end() && bytes_[at_] == '\n') {
            ++at_;
            return '\n';
        }
        return b;
    }

    // The whole next line without its newline; nothing at end of input.
    std::optional<std::string> line()
    {
        if (at_end()) return std::nullopt;
        std::string typed;
        for (int b = next(); b >= 0 && b != '\n'; b = next()) typed += static_cast<char>(b);
        return typed;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

// Standard input as the console gets it with raw bytes: reads of `chunk` bytes,
// each cut at its first 0x1A; from a pipe, the input ends there. Nothing when a
// read at a terminal begins with 0x1A: that read is one end of input among
// others, and the model does not follow it.
std::optional<std::string> raw_stream(const std::string& input, std::size_t chunk, bool terminal)
{
    std::size_t read_size = std::min(chunk, console_input_capacity);
    std::string kept;
    for (std::size_t at = 0; at < input.size(); at += read_size) {
        std::string piece = input.substr(at, read_size);
        std::size_t stop = piece.find(end_of_data_byte);
        if (terminal && stop == 0) return std::nullopt;
        kept += piece.substr(0, stop);
        if (stop != std::string::npos && !terminal) break;
    }
    return kept;
}

// The stored form of a typed line in `capacity` bytes: whole characters while
// they fit in capacity - 1 bytes. A lead byte asks for room for its pair even
// when the line ends right after it.
std::size_t stored_size(const std::string& typed, std::size_t capacity)
{
    std::size_t size = 0;
    while (size < typed.size()) {
        std::size_t need = is_lead(static_cast<unsigned char>(typed[size])) ? 2 : 1;
        if (size + need > capacity - 1) break;
        size += std::min(need, typed.size() - size);
    }
    return size;
}

// True when the first `size` bytes end in the middle of a double-byte character,
// counting lead bytes from the start.
bool ends_inside_a_character(const char* bytes, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) at += is_lead(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    return at > size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input in(data, size);
    const std::size_t capacity = 1 + in.byte();  // 1..256: a buffer always has room for the NUL
    const std::size_t chunk = chunk_from(in.byte());
    const std::uint8_t mode_bits = in.byte();
    const std::uint8_t pattern = in.byte();  // bit k set: call k (mod 8) is a key wait
    const std::string input = in.rest();

    fuzz_console f(input, chunk, mode_bits);

    std::optional<text_model> model;
    if (!f.utf8_input) {
        if (std::optional<std::string> stream = raw_stream(input, chunk, f.mode.input_is_terminal))
            model.emplace(std::move(*stream));
    } else if (input.find(end_of_data_byte) == std::string::npos) {
        model.emplace(utf8_stream(input));
    }

    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::memset(buffer.get(), '#', capacity);
    std::vector<char> before(capacity);

    for (unsigned call = 0;; ++call) {
        // Key waits only while there is input to take (each takes a byte), so the
        // calls end with a line read that meets end of input.
        bool key_wait = (pattern >> (call % 8) & 1) != 0 && call <= input.size();
        if (key_wait && !(model && model->at_end())) {
            console_wait_key(*f.con);
            if (model) model->next();
            continue;
        }
        std::memcpy(before.data(), buffer.get(), capacity);
        bool got = console_get_line(*f.con, buffer.get(), capacity);
        if (!got) {
            FUZZ_CHECK(std::memcmp(before.data(), buffer.get(), capacity) == 0);
            if (model) FUZZ_CHECK(!model->line());
            if (!f.con->input_ended) continue;  // a 0x1A that began a read at a terminal
            FUZZ_CHECK(!console_get_line(*f.con, buffer.get(), capacity));  // and it stays ended
            FUZZ_CHECK(std::memcmp(before.data(), buffer.get(), capacity) == 0);
            break;
        }
        FUZZ_CHECK(std::memchr(buffer.get(), '\0', capacity) != nullptr);
        if (!model) continue;
        std::optional<std::string> typed = model->line();
        FUZZ_CHECK(typed.has_value());
        std::size_t stored = stored_size(*typed, capacity);
        FUZZ_CHECK(std::memcmp(buffer.get(), typed->data(), stored) == 0);
        FUZZ_CHECK(buffer[stored] == '\0');
        // Cut on a character boundary, unless the typed line itself ends inside one.
        FUZZ_CHECK(!ends_inside_a_character(buffer.get(), stored) || stored == typed->size());
    }
    return 0;
}
