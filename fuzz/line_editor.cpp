// Fuzz target: the terminal's line editor on any keys, terminal widths, line
// capacities, prompts, and resizes or continues between the pieces of input.
//
// Input: width byte (0: 80), capacity byte (0: none known), flags byte (1: a key
// wait, 2: a pause after each piece, 4: a resize after each piece to the next
// width, 8: drawn again as after fg), piece size byte (0: all at once), prompt
// size byte, the prompt (UTF-8 as printed), then the keys. Checked after each piece:
//   - no more keys are taken than were given, and all but an unfinished
//     character or escape sequence are taken;
//   - the line is whole code page 932 characters, at most line_room bytes, and all
//     of it is what the console keeps (at a key wait, of what follows its byte).
#include <cstdint>
#include <string>

#include "console/console.h"
#include "console/cp932.h"
#include "fuzz/fuzz_input.h"
#include "platform/posix/line_editor.h"

namespace {

std::string shown;  // what the editor writes to the terminal

void write_to_screen(const char* bytes, std::size_t size) { shown.append(bytes, size); }

int columns_of(char32_t code_point) { return code_point >= 0x1100 && code_point != 0xFF61 ? 2 : 1; }

bool whole_characters(const char* line, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) at += cp932_is_lead_byte(static_cast<unsigned char>(line[at])) ? 2 : 1;
    return at == size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_input in(data, size);
    int width = in.byte();
    const std::size_t capacity = in.byte();
    const std::uint8_t flags = in.byte();
    const std::size_t piece = chunk_from(in.byte());
    const std::size_t prompt_size = in.byte();
    std::string rest = in.rest();
    const std::string prompt = rest.substr(0, prompt_size);
    const std::string keys = rest.substr(prompt.size());

    shown.clear();
    screen_text screen{write_to_screen};
    static line_editor editor;  // as in the program, one for the whole run
    editor = line_editor{};
    editor.set_column_rule(columns_of);
    editor.set_up({0x03, 0x1C, 0x1A, 0x04, true, true});  // Ctrl-C, Ctrl-\, Ctrl-Z, Ctrl-D
    const line_editor::limit request{capacity, (flags & 1) != 0};
    editor.begin(request, prompt.data(), prompt.size(), width == 0 ? 80 : width, screen);

    std::string pending;
    for (std::size_t at = 0; at < keys.size() || !pending.empty();) {
        const std::size_t given = std::min(piece, keys.size() - at);
        pending += keys.substr(at, given);
        at += given;
        const bool pause = at == keys.size() || (flags & 2) != 0;
        std::size_t taken = 0;
        const line_editor::outcome result = editor.take_keys(pending.data(), pending.size(), pause, taken, screen);
        FUZZ_CHECK(taken <= pending.size());
        pending.erase(0, taken);

        const std::size_t line_size = editor.line_size();
        FUZZ_CHECK(line_size <= line_editor::line_room);
        FUZZ_CHECK(whole_characters(editor.line(), line_size));
        const std::size_t waited = request.key_wait && line_size > 0 ? 1 : 0;
        if (capacity > 0)
            FUZZ_CHECK(console_kept_size(editor.line() + waited, line_size - waited, capacity) == line_size - waited);

        switch (result) {
        case line_editor::outcome::editing:
            // What is left can only be an unfinished character or escape sequence.
            FUZZ_CHECK(pending.size() < 40);
            if (at == keys.size() && taken == 0) pending.clear();  // nothing more will come
            break;
        case line_editor::outcome::line_entered:
        case line_editor::outcome::input_ended:
            editor.begin(request, prompt.data(), prompt.size(), width == 0 ? 80 : width, screen);
            break;
        default:
            editor.redraw(screen);  // a signal that changed nothing
            break;
        }
        if (flags & 4) {
            width = (width * 7 + 13) % 200;
            editor.resize(width, screen);
        }
        if (flags & 8) editor.draw_again(prompt.data(), prompt.size(), width, screen);
        screen.flush();
    }
    return 0;
}
