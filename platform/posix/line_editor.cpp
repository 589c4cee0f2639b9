#include "platform/posix/line_editor.h"

#include <algorithm>
#include <cstring>

#include "console/cp932.h"
#include "console/utf8_port.h"

// ---- The screen's bytes ------------------------------------------------------------------

void screen_text::add(const char* bytes, std::size_t size)
{
    if (size > sizeof bytes_ - size_) flush();
    if (size > sizeof bytes_) {
        write_(bytes, size);
        return;
    }
    std::memcpy(bytes_ + size_, bytes, size);
    size_ += size;
}

void screen_text::add(const char* text) { add(text, std::strlen(text)); }

void screen_text::add_escape(int count, char final)
{
    if (count <= 0) return;
    char sequence[16] = "\x1b[";
    char digits[12];
    std::size_t digit_count = 0;
    for (; count > 0; count /= 10) digits[digit_count++] = static_cast<char>('0' + count % 10);
    std::size_t size = 2;
    while (digit_count > 0) sequence[size++] = digits[--digit_count];
    sequence[size++] = final;
    add(sequence, size);
}

void screen_text::flush()
{
    if (size_ > 0) write_(bytes_, size_);
    size_ = 0;
}

// ---- Starting a line -------------------------------------------------------------------------

namespace {

// The terminal's sequences: every terminal that is not a dumb one knows them.
constexpr char clear_to_end_of_screen[] = "\x1b[J";
// At the right margin the cursor waits on the last column until the next
// character wraps. A space wraps it now, and a backspace brings it to the start of
// the new row, so that the cursor stands where the editor counts it.
constexpr char wrap_now[] = " \b";
constexpr char clear_to_end_of_row[] = "\x1b[K";

constexpr unsigned char delete_key = 0x7F;
constexpr char32_t byte_order_mark = 0xFEFF;

bool is_control(unsigned char b) { return b < 0x20 || b == delete_key; }

} // namespace

void line_editor::begin(const limit& line_limit, const char* row_text, std::size_t row_size,
                        int width, screen_text& screen)
{
    limit_ = line_limit;
    width_ = std::max(width, 2);
    size_ = 0;
    cursor_ = 0;
    quote_next_ = false;
    browsing_ = 0;
    start_after(row_text, row_size, screen);
}

// Where the line begins after the row's text as the terminal shows it: each
// character in its columns, a wide one that finds a single column left on a row
// put on the next.
void line_editor::start_after(const char* row_text, std::size_t row_size, screen_text& screen)
{
    place at{0, 0};
    for (std::size_t i = 0; i < row_size;) {
        const utf8_char c = utf8_decode(row_text + i, row_size - i);
        i += c.size;
        if (c.status != utf8_char::kind::whole) at = advance(at, 1);  // shown as U+FFFD
        else if (c.code_point == '\t') at.col = std::min((at.col / 8 + 1) * 8, width_ - 1);
        else if (c.code_point == '\b') at.col = std::max(at.col - 1, 0);
        else if (c.code_point >= 0x20 && c.code_point != delete_key) at = advance(at, columns_of_(c.code_point) == 2 ? 2 : 1);
    }
    start_wrapped_ = at.col >= width_;
    if (start_wrapped_) screen.add(wrap_now);
    start_ = start_wrapped_ ? place{0, 0} : place{0, at.col};
    shown_cursor_ = start_;
    shown_end_ = start_;
}

// ---- Keys ------------------------------------------------------------------------------------

line_editor::outcome line_editor::take_keys(const char* keys, std::size_t size, bool pause, std::size_t& taken,
                                            screen_text& screen)
{
    outcome result = outcome::editing;
    std::size_t at = 0;
    while (at < size && result == outcome::editing) {
        const auto b = static_cast<unsigned char>(keys[at]);
        if (quote_next_ && b < 0x80) {  // Ctrl-V and a control key: the byte itself
            quote_next_ = false;
            any_key_yet_ = true;
            insert(b, screen);
            ++at;
            continue;
        }
        if (b == 0x1B) {
            const std::size_t used = take_escape(keys + at, size - at, pause, screen);
            if (used == 0) break;  // the rest of the sequence is still on its way
            at += used;
            continue;
        }
        if (is_control(b)) {
            any_key_yet_ = true;
            ++at;
            result = take_control_key(b, screen);
            continue;
        }
        const utf8_char c = utf8_decode(keys + at, size - at);
        if (c.status == utf8_char::kind::cut_off) break;  // the rest of the character comes in the next read
        at += c.size;
        quote_next_ = false;
        const bool skipped = !any_key_yet_ && c.status == utf8_char::kind::whole && c.code_point == byte_order_mark;
        any_key_yet_ = true;
        if (skipped) continue;
        const unsigned code = c.status == utf8_char::kind::whole ? cp932_code_for(c.code_point) : 0;
        insert(code != 0 ? code : '?', screen);  // what the lord hears of a character he cannot
    }
    taken = at;
    return result;
}

line_editor::outcome line_editor::take_control_key(unsigned char key, screen_text& screen)
{
    if (key == setup_.interrupt) return ask_for_signal(outcome::interrupt, key, screen);
    if (key == setup_.quit) return ask_for_signal(outcome::quit, key, screen);
    if (key == setup_.suspend) return ask_for_signal(outcome::suspend, key, screen);
    if (key == setup_.end_of_input) {
        if (size_ == 0) return outcome::input_ended;
        if (cursor_ < size_) erase(cursor_, next_char(cursor_), screen);  // text is never sent without Enter
        return outcome::editing;
    }
    switch (key) {
    case 0x01: move_to(0, screen); break;                                        // Ctrl-A
    case 0x05: move_to(size_, screen); break;                                    // Ctrl-E
    case 0x08:                                                                   // Ctrl-H
    case delete_key:                                                             // Backspace
        if (cursor_ > 0) erase(previous_char(cursor_), cursor_, screen);
        break;
    case 0x0B: erase(cursor_, size_, screen); break;                             // Ctrl-K
    case 0x15: erase(0, cursor_, screen); break;                                 // Ctrl-U
    case 0x17: {                                                                 // Ctrl-W
        std::size_t from = cursor_;
        while (from > 0 && is_space_at(previous_char(from))) from = previous_char(from);
        while (from > 0 && !is_space_at(previous_char(from))) from = previous_char(from);
        erase(from, cursor_, screen);
        break;
    }
    case 0x0C: redraw(screen); break;                                            // Ctrl-L
    case '\r':
    case '\n': return enter(screen);
    case 0x16: quote_next_ = true; break;                                        // Ctrl-V
    default: bell(screen); break;
    }
    return outcome::editing;
}

// An escape sequence at the start of `keys`: a cursor key, Home, End or Delete as
// terminals send them (ESC [ ... or ESC O ...); any other is taken and ignored.
// Returns the bytes it takes; 0 when the rest of it is still to come.
std::size_t line_editor::take_escape(const char* keys, std::size_t size, bool pause, screen_text& screen)
{
    quote_next_ = false;
    if (size < 2) return pause ? 1 : 0;  // Escape alone does nothing
    const char kind = keys[1];
    if (kind != '[' && kind != 'O') return 1;  // Escape and a key (Alt and a key): the key as typed
    std::size_t end = 2;
    if (kind == '[') {
        while (end < size && keys[end] >= 0x20 && keys[end] <= 0x3F) ++end;  // parameters
    }
    constexpr std::size_t longest = 32;
    if (end >= size) return pause || end > longest ? size : 0;
    const char final = keys[end];
    if (final < 0x40 || final > 0x7E) return end;  // broken off by another key, which is taken next
    int number = 0;  // the first parameter; any beyond 9999 is none of ours
    for (std::size_t i = 2; i < end && keys[i] >= '0' && keys[i] <= '9' && number < 10000; ++i)
        number = number * 10 + (keys[i] - '0');
    switch (final) {
    case 'A': browse_history(1, screen); break;
    case 'B': browse_history(-1, screen); break;
    case 'C': if (cursor_ < size_) move_to(next_char(cursor_), screen); break;
    case 'D': if (cursor_ > 0) move_to(previous_char(cursor_), screen); break;
    case 'H': move_to(0, screen); break;
    case 'F': move_to(size_, screen); break;
    case '~':
        if (number == 1 || number == 7) move_to(0, screen);              // Home
        else if (number == 4 || number == 8) move_to(size_, screen);     // End
        else if (number == 3 && cursor_ < size_) erase(cursor_, next_char(cursor_), screen);  // Delete
        break;
    default: break;
    }
    return end + 1;
}

line_editor::outcome line_editor::enter(screen_text& screen)
{
    move_cursor(shown_cursor_, shown_end_, screen);
    shown_cursor_ = shown_end_;
    // Where the line filled its last row, the cursor already stands on the next.
    const bool on_a_new_row = shown_end_.col == 0 && (shown_end_.row > 0 || start_wrapped_);
    if (!on_a_new_row) new_row(screen);  // as the terminal's echo of Enter: CR LF
    remember_line();
    return outcome::line_entered;
}

// The cursor goes to the end of the line and the terminal's way of showing the key
// follows it (^C), as the terminal itself shows it; the caller sends the signal.
line_editor::outcome line_editor::ask_for_signal(outcome signal, unsigned char key, screen_text& screen)
{
    move_cursor(shown_cursor_, shown_end_, screen);
    shown_cursor_ = shown_end_;
    if (setup_.echo) {
        const char shown[2] = {'^', static_cast<char>(key ^ 0x40)};
        screen.add(shown, sizeof shown);
        shown_cursor_ = advance(shown_end_, 2);
    }
    return signal;
}

// ---- The line -------------------------------------------------------------------------------

void line_editor::insert(unsigned code, screen_text& screen)
{
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    const std::size_t added = code > 0xFF ? 2 : 1;
    char changed[line_room];
    if (size_ + added > line_room) {
        bell(screen);
        return;
    }
    std::memcpy(changed, line_, cursor_);
    std::memcpy(changed + cursor_, bytes + (2 - added), added);
    std::memcpy(changed + cursor_ + added, line_ + cursor_, size_ - cursor_);
    if (!keeps_all(changed, size_ + added)) {  // the lord would not hear it: refused
        bell(screen);
        return;
    }
    const bool at_end = cursor_ == size_;
    std::memcpy(line_, changed, size_ + added);
    size_ += added;
    cursor_ += added;
    if (!at_end) {
        redraw(screen);
        return;
    }
    // Typed at the end: only the new character is drawn, as the terminal's own echo would.
    const glyph g = glyph_at(cursor_ - added);
    place at = shown_end_;
    if (at.col + g.columns > width_) {
        for (int col = at.col; col < width_; ++col) screen.add(" ", 1);
        at = {at.row + 1, 0};
    }
    screen.add(g.text, g.text_size);
    at.col += g.columns;
    if (at.col >= width_) {
        screen.add(wrap_now);
        screen.add(clear_to_end_of_row);
        at = {at.row + 1, 0};
    }
    shown_end_ = at;
    shown_cursor_ = at;
}

void line_editor::erase(std::size_t from, std::size_t to, screen_text& screen)
{
    if (from >= to) return;
    std::memmove(line_ + from, line_ + to, size_ - to);
    size_ -= to - from;
    cursor_ = from;
    redraw(screen);
}

void line_editor::move_to(std::size_t position, screen_text& screen)
{
    cursor_ = position;
    const place to = place_of(position);
    move_cursor(shown_cursor_, to, screen);
    shown_cursor_ = to;
}

// Shows another line in place of the one typed: as much of it as the lord would
// hear, with the bell when that is not all of it.
void line_editor::replace_line(const char* bytes, std::size_t size, screen_text& screen)
{
    std::memcpy(line_, bytes, size);
    size_ = size;
    if (!keeps_all(line_, size_)) {
        bell(screen);
        while (size_ > 0 && !keeps_all(line_, size_)) size_ = previous_char(size_);
    }
    cursor_ = size_;
    redraw(screen);
}

// ↑ (step 1) shows the line entered before the one shown, ↓ (-1) the one after,
// and past the newest, the line that was being typed.
void line_editor::browse_history(int step, screen_text& screen)
{
    if (step > 0 && browsing_ == history_count_) return;
    if (step < 0 && browsing_ == 0) return;
    if (browsing_ == 0) {
        std::memcpy(typed_.bytes, line_, size_);
        typed_.size = size_;
    }
    browsing_ = step > 0 ? browsing_ + 1 : browsing_ - 1;
    const history_entry& shown =
        browsing_ == 0 ? typed_ : history_[(history_newest_ + history_room - (browsing_ - 1)) % history_room];
    replace_line(shown.bytes, shown.size, screen);
}

// Keeps an entered line for ↑, unless it is empty or the same as the one before.
void line_editor::remember_line()
{
    if (size_ == 0) return;
    const history_entry& newest = history_[history_newest_];
    if (history_count_ > 0 && newest.size == size_ && std::memcmp(newest.bytes, line_, size_) == 0) return;
    history_newest_ = history_count_ == 0 ? 0 : (history_newest_ + 1) % history_room;
    std::memcpy(history_[history_newest_].bytes, line_, size_);
    history_[history_newest_].size = size_;
    history_count_ = std::min(history_count_ + 1, history_room);
}

// Whether the console keeps every byte of this line: of the line itself, or at a
// key wait, of what follows the one byte that the wait takes.
bool line_editor::keeps_all(const char* bytes, std::size_t size) const
{
    if (size > line_room) return false;
    if (limit_.line_capacity == 0) return true;
    const std::size_t waited = limit_.key_wait && size > 0 ? 1 : 0;
    return console_kept_size(bytes + waited, size - waited, limit_.line_capacity) == size - waited;
}

std::size_t line_editor::next_char(std::size_t position) const
{
    const bool pair = cp932_is_lead_byte(static_cast<unsigned char>(line_[position])) && position + 1 < size_;
    return position + (pair ? 2 : 1);
}

std::size_t line_editor::previous_char(std::size_t position) const
{
    std::size_t start = 0;
    for (std::size_t next = 0; next < position; next = next_char(next)) start = next;
    return start;
}

bool line_editor::is_space_at(std::size_t position) const
{
    const auto b = static_cast<unsigned char>(line_[position]);
    return b == ' ' || (b == 0x81 && position + 1 < size_ && static_cast<unsigned char>(line_[position + 1]) == 0x40);
}

// ---- The screen -------------------------------------------------------------------------------

// A character of the line as the terminal shows it: a control byte as ^X, as the
// terminal's own echo shows one; any other in UTF-8, in the columns the terminal gives it.
line_editor::glyph line_editor::glyph_at(std::size_t position) const
{
    glyph g{};
    const auto b = static_cast<unsigned char>(line_[position]);
    if (is_control(b)) {
        g.text[0] = '^';
        g.text[1] = static_cast<char>(b ^ 0x40);
        g.text_size = 2;
        g.columns = 2;
        g.bytes = 1;
        return g;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(line_ + position);
    g.bytes = cp932_char_to_utf8(bytes, size_ - position, g.text, g.text_size);
    const utf8_char c = utf8_decode(g.text, g.text_size);
    g.columns = columns_of_(c.code_point) == 2 ? 2 : 1;
    return g;
}

line_editor::place line_editor::advance(place at, int columns) const
{
    if (at.col + columns > width_) at = {at.row + 1, 0};
    at.col += columns;
    return at;
}

// Where the character at `position` stands on the screen (or the end of the line).
line_editor::place line_editor::place_of(std::size_t position) const
{
    place at = start_;
    for (std::size_t p = 0; p < position;) {
        const glyph g = glyph_at(p);
        at = advance(at, g.columns);
        p += g.bytes;
    }
    const int columns = position < size_ ? glyph_at(position).columns : 0;
    if (at.col + columns > width_ || at.col >= width_) at = {at.row + 1, 0};
    return at;
}

// The whole line from its start, with the cursor there; what an earlier, longer
// line left below it is cleared.
void line_editor::draw_line(screen_text& screen)
{
    place at = start_;
    for (std::size_t p = 0; p < size_;) {
        const glyph g = glyph_at(p);
        if (at.col + g.columns > width_) {
            for (int col = at.col; col < width_; ++col) screen.add(" ", 1);
            at = {at.row + 1, 0};
        }
        screen.add(g.text, g.text_size);
        at.col += g.columns;
        p += g.bytes;
    }
    if (at.col >= width_) {
        screen.add(wrap_now);
        at = {at.row + 1, 0};
    }
    screen.add(clear_to_end_of_screen);
    shown_end_ = at;
}

void line_editor::move_cursor(place from, place to, screen_text& screen)
{
    if (to.row < from.row) screen.add_escape(from.row - to.row, 'A');
    if (to.row > from.row) screen.add_escape(to.row - from.row, 'B');
    if (to.col != from.col) {
        screen.add("\r");
        screen.add_escape(to.col, 'C');
    }
}

// From wherever the terminal's cursor is on the line's rows (after a key's echo,
// say), to where the line begins.
void line_editor::move_to_start(screen_text& screen)
{
    screen.add_escape(shown_cursor_.row - start_.row, 'A');
    screen.add("\r");
    screen.add_escape(start_.col, 'C');
    shown_cursor_ = start_;
}

// The line, and the cursor put back where it is in the line.
void line_editor::draw_from_start(screen_text& screen)
{
    draw_line(screen);
    const place cursor = place_of(cursor_);
    move_cursor(shown_end_, cursor, screen);
    shown_cursor_ = cursor;
}

void line_editor::redraw(screen_text& screen)
{
    move_to_start(screen);
    draw_from_start(screen);
}

// A terminal keeps its rows as they are when its width changes (xterm does): the
// cursor stays on its row, and the line is drawn again from where it began. When
// the row of the prompt is now too narrow for the line to begin on it, the line
// begins on the next.
void line_editor::resize(int width, screen_text& screen)
{
    width_ = std::max(width, 2);
    if (start_.col >= width_) {
        screen.add_escape(shown_cursor_.row - start_.row, 'A');
        screen.add("\r");
        new_row(screen);
        start_ = {0, 0};
        start_wrapped_ = true;
        shown_cursor_ = start_;
    } else {
        move_to_start(screen);
    }
    draw_from_start(screen);
}

void line_editor::draw_again(const char* row_text, std::size_t row_size, int width, screen_text& screen)
{
    width_ = std::max(width, 2);
    screen.add("\r");
    screen.add(clear_to_end_of_screen);
    screen.add(row_text, row_size);
    start_after(row_text, row_size, screen);
    draw_from_start(screen);
}
