// The line being typed at a terminal, edited key by key as a shell edits its own.
//
// Keys arrive as the terminal sends them: UTF-8 text, control keys and escape
// sequences. The line is kept as the code page 932 bytes that the program will
// read, and the screen is drawn from those bytes, so what the player sees is what
// the lord hears: a character that the code page cannot hold is shown as the '?'
// it becomes, and a character that would be cut off is refused with the bell.
//
// The program prints its own prompt; the editor never draws it, except after the
// program was stopped and continued (Ctrl-Z, fg), when the shell's lines stand
// between. Each character takes the columns that the terminal gives it, and a line
// wider than the terminal wraps as the terminal wraps it.
#pragma once

#include <cstddef>

#include "console/console.h"

// Bytes for the terminal, collected so that each change reaches it in one write.
class screen_text {
public:
    using writer = void (*)(const char* bytes, std::size_t size);

    constexpr screen_text() = default;  // all zero, so that it takes no room in the program file
    explicit constexpr screen_text(writer write) : write_(write) {}
    void set_writer(writer write) { write_ = write; }

    void add(const char* bytes, std::size_t size);
    void add(const char* text);
    void add_escape(int count, char final);  // ESC [ count final; nothing when count is 0
    void flush();                            // writes what was collected

private:
    writer write_ = nullptr;
    char bytes_[4096] = {};
    std::size_t size_ = 0;
};

// The columns a character takes at the terminal.
using column_rule = int (*)(char32_t code_point);

class line_editor {
public:
    static constexpr std::size_t line_room = 256;  // bytes of code page 932 one line may hold
    static constexpr std::size_t history_room = 32;

    // What the terminal's own settings say: the characters of these keys (0xFF for
    // none), and how it shows what is written.
    struct terminal_setup {
        unsigned char interrupt;       // Ctrl-C, usually
        unsigned char quit;            // Ctrl-backslash
        unsigned char suspend;         // Ctrl-Z
        unsigned char end_of_input;    // Ctrl-D
        bool echo;                     // the terminal shows them as ^C, ^\, ^Z
        bool line_feed_returns;        // a line feed written goes to the start of the next row (ONLCR)
    };

    // What a line may hold: all that the console keeps of it in a buffer of
    // `line_capacity` bytes (0: none known), or at a key wait, of what follows the
    // byte that the wait takes.
    struct limit {
        std::size_t line_capacity;
        bool key_wait;
    };

    enum class outcome { editing, line_entered, input_ended, interrupt, quit, suspend };

    void set_up(const terminal_setup& setup) { setup_ = setup; }
    void set_column_rule(column_rule rule) { columns_of_ = rule; }

    // The editor starts all zero, so that it takes no room in the program file: it
    // is set up once, before its first line.
    // Begins a line right after what the program has printed on the cursor's row
    // (`row_text`, UTF-8), on a terminal `width` columns wide.
    void begin(const limit& line_limit, const char* row_text, std::size_t row_size, int width,
               screen_text& screen);

    // Takes keys from `keys` until a line is entered, the input ends, or a key asks
    // for a signal; sets `taken`. Keys cut off at the end (half a character, half an
    // escape sequence) are left untaken, unless `pause` says that no more came in a
    // while, when an unfinished escape sequence is dropped as a lone Escape.
    outcome take_keys(const char* keys, std::size_t size, bool pause, std::size_t& taken, screen_text& screen);

    // The terminal is now `width` columns wide: the line is drawn again where it was.
    void resize(int width, screen_text& screen);
    // The program was stopped and continued: the row of the prompt and the line are
    // drawn again from the start of the cursor's row.
    void draw_again(const char* row_text, std::size_t row_size, int width, screen_text& screen);
    // Draws the line again where it is (after a signal key that changed nothing).
    void redraw(screen_text& screen);

    // The line entered, without its line end.
    const char* line() const { return line_; }
    std::size_t line_size() const { return size_; }

private:
    struct place {
        int row;  // from the row where the line begins
        int col;
    };
    struct glyph {
        char text[4];
        std::size_t text_size;
        int columns;
        std::size_t bytes;  // of the line
    };
    struct history_entry {
        char bytes[line_room];
        std::size_t size;
    };

    // ---- keys
    outcome take_control_key(unsigned char key, screen_text& screen);
    std::size_t take_escape(const char* keys, std::size_t size, bool pause, screen_text& screen);
    void take_character(unsigned code, screen_text& screen);
    outcome enter(screen_text& screen);
    outcome ask_for_signal(outcome signal, unsigned char key, screen_text& screen);

    // ---- the line
    void insert(unsigned code, screen_text& screen);
    void erase(std::size_t from, std::size_t to, screen_text& screen);
    void move_to(std::size_t position, screen_text& screen);
    void replace_line(const char* bytes, std::size_t size, screen_text& screen);
    void browse_history(int step, screen_text& screen);
    void remember_line();
    bool keeps_all(const char* bytes, std::size_t size) const;
    std::size_t next_char(std::size_t position) const;
    std::size_t previous_char(std::size_t position) const;
    bool is_space_at(std::size_t position) const;

    // ---- the screen
    glyph glyph_at(std::size_t position) const;
    place advance(place at, int columns) const;
    place place_of(std::size_t position) const;
    void start_after(const char* row_text, std::size_t row_size, screen_text& screen);
    void draw_line(screen_text& screen);
    void move_cursor(place from, place to, screen_text& screen);
    void move_to_start(screen_text& screen);
    void draw_from_start(screen_text& screen);
    void bell(screen_text& screen) { screen.add("\a"); }
    void new_row(screen_text& screen) { screen.add(setup_.line_feed_returns ? "\n" : "\r\n"); }

    terminal_setup setup_{};
    column_rule columns_of_ = nullptr;
    int width_ = 0;

    limit limit_{};
    char line_[line_room] = {};
    std::size_t size_ = 0;
    std::size_t cursor_ = 0;  // byte position in line_
    bool quote_next_ = false;  // Ctrl-V: the next key is taken as it is
    bool any_key_yet_ = false; // nothing typed yet in the whole run: a byte order mark is skipped

    place start_{0, 0};          // where the line begins
    bool start_wrapped_ = false; // the prompt filled its row: the line begins on the next
    place shown_cursor_{0, 0};   // where the terminal's cursor is
    place shown_end_{0, 0};      // where the line drawn last ends

    history_entry history_[history_room] = {};
    std::size_t history_count_ = 0;  // entries, up to history_room
    std::size_t history_newest_ = 0; // index of the newest entry
    std::size_t browsing_ = 0;       // 0: the line being typed; n: the nth newest entry
    history_entry typed_ = {};       // the line being typed, while an older one is shown
};
