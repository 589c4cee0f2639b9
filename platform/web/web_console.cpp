// The program's console on a web page (index.html). What crosses to the page is
// code page 932 as the program has it: the page shows it with the browser's own
// Shift_JIS decoder and converts what the player types with a map built from that
// decoder, so the program carries no conversion tables here. The page's side is
// onigawara.js.
#include <cstddef>
#include <cstdint>

#include "console/cp932.h"
#include "console/platform.h"

// ---- What the page lends the program -------------------------------------------------

extern "C" {

// Up to `size` bytes of the lines the player has typed, in code page 932, each
// ending in a line feed; waits until there is at least one. `for_key`: the program
// waits for the key of a key wait, not for a line (the page shows a sign then).
__attribute__((import_module("page"), import_name("read"))) std::size_t page_read(char* into, std::size_t size,
                                                                                  bool for_key);

// Shows `size` bytes of code page 932, always whole characters.
__attribute__((import_module("page"), import_name("write"))) void page_write(const char* bytes, std::size_t size);

} // extern "C"

// ---- Waiting for the player ----------------------------------------------------------------
//
// A page cannot block. When page_read finds nothing typed, the page saves the
// program's call stack here and returns to the browser; when a line arrives, it
// rewinds the stack into the same page_read, which then returns the line. The
// saving and rewinding are added to the program by binaryen's asyncify pass.

namespace {

// The layout asyncify expects: where the next saved byte goes, where the room ends, the room.
struct saved_stack {
    std::uint32_t next;
    std::uint32_t end;
    alignas(8) unsigned char room[4096];
};

saved_stack waiting;

std::uint32_t address_of(const void* pointer) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer)); }

} // namespace

// Where the stack of the program is saved while it waits, emptied for a new wait.
extern "C" __attribute__((export_name("page_wait_area"))) void* page_wait_area()
{
    waiting.next = address_of(waiting.room);
    waiting.end = address_of(waiting.room + sizeof waiting.room);
    return &waiting;
}

// ---- The port ----------------------------------------------------------------------------

namespace {

class page_port : public console_port {
public:
    void before_read(read_purpose purpose, std::size_t) override { for_key_ = purpose == read_purpose::key; }
    std::size_t read_some(char* into, std::size_t size) override { return page_read(into, size, for_key_); }
    write_outcome write_all(const char* bytes, std::size_t size) override
    {
        page_write(bytes, size);
        return write_outcome::written;
    }
    // Each piece of a print is shown on its own, as a terminal shows it.
    char_encoder output_encoder() const override { return cp932_char_kept_apart; }

private:
    bool for_key_ = false;
};

page_port page;

} // namespace

// ---- The platform -------------------------------------------------------------------------

// The page is a terminal whatever the command line asks, and does its own
// conversion; it passes nothing but --seed.
console_port& platform_open_console(charset_choice, console_mode& mode)
{
    mode.input_is_terminal = true;
    mode.output_is_terminal = true;
    return page;
}

void platform_close_console() {}

bool platform_takes_slash_help() { return false; }

// The page passes only --seed; these lines are for a --help given by hand.
platform_help_lines platform_help()
{
    return {
        "  -h, --help             print this help and exit\n",
        "      --charset=CHARSET  has no effect on the page, which converts the\n"
        "                         program's text itself\n",
    };
}
