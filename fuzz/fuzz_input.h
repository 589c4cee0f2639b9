// Shared by the fuzz targets: taking parameters off the front of a fuzz input,
// and a console port that feeds the rest of it in reads of a chosen size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/utf8_port.h"

// Stops the run so that libFuzzer records the input as a crash.
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)

// The fuzz input, consumed from the front: a few parameter bytes, then the rest.
class fuzz_input {
public:
    fuzz_input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte, or 0 once the input is used up.
    std::uint8_t byte()
    {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    std::uint32_t word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | byte();
        return value;
    }
    std::string rest() const { return {reinterpret_cast<const char*>(data_), size_}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// True when `bytes` are whole UTF-8 characters, none cut off at either end: checked by
// the bit patterns alone, apart from the program's own decoder.
inline bool whole_utf8_characters(const std::string& bytes)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t size = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (size == 0 || size > bytes.size() - at) return false;
        for (std::size_t i = 1; i < size; ++i)
            if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) return false;
        at += size;
    }
    return true;
}

// Read sizes: 0 stands for reads as large as the console asks for.
inline std::size_t chunk_from(std::uint8_t b) { return b == 0 ? SIZE_MAX : b; }

// Input from a string in reads of at most `chunk` bytes; every write is kept,
// whatever outcome it is made to report. Checked: end of input is asked for once,
// nothing is read or written once the reader has gone, and with `utf8_writes` each
// write is whole UTF-8 characters.
class fuzz_port : public console_port {
public:
    fuzz_port(std::string input, std::size_t chunk, write_outcome outcome = write_outcome::written)
        : input_(std::move(input)), chunk_(chunk), outcome_(outcome)
    {
    }

    std::size_t read_some(char* into, std::size_t size) override
    {
        FUZZ_CHECK(size > 0);
        FUZZ_CHECK(!told_end);  // end of input is remembered, not asked for again
        FUZZ_CHECK(!told_reader_gone);  // once nobody reads the output, the conversation ends
        std::size_t n = std::min({size, chunk_, input_.size() - at_});
        std::memcpy(into, input_.data() + at_, n);
        at_ += n;
        told_end = n == 0;
        return n;
    }

    write_outcome write_all(const char* bytes, std::size_t size) override
    {
        FUZZ_CHECK(!told_reader_gone);  // nothing is written once the reader has gone, or a write failed
        FUZZ_CHECK(!utf8_writes || whole_utf8_characters(std::string(bytes, size)));
        written.append(bytes, size);
        told_reader_gone = outcome_ != write_outcome::written;
        return outcome_;
    }

    std::string written;
    bool utf8_writes = false;  // the console converts its output: no write splits a character
    bool told_end = false;
    bool told_reader_gone = false;

private:
    std::string input_;
    std::size_t at_ = 0;
    std::size_t chunk_;
    write_outcome outcome_;
};

// The console under test over a fuzz_port, behind a utf8_port for the directions
// that a mode byte converts. Mode bits: 1 input is a terminal, 2 input arrives as
// UTF-8, 4 output leaves as UTF-8, 0x40 output is a terminal.
struct fuzz_console {
    fuzz_console(std::string input, std::size_t chunk, std::uint8_t mode_bits,
                 console_port::write_outcome outcome = console_port::write_outcome::written)
        : port(std::move(input), chunk, outcome), converting(port)
    {
        utf8_input = (mode_bits & 2) != 0;
        utf8_output = (mode_bits & 4) != 0;
        mode.input_is_terminal = (mode_bits & 1) != 0;
        mode.output_is_terminal = (mode_bits & 0x40) != 0;
        converting.convert(utf8_input, utf8_output);
        port.utf8_writes = utf8_output;
        con = std::make_unique<console>(converting, mode);
    }

    fuzz_port port;
    utf8_port converting;
    std::unique_ptr<console> con;
    console_mode mode;
    bool utf8_input = false;
    bool utf8_output = false;
};
