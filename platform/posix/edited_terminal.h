// Standard input and output as one terminal where the program edits each typed
// line itself (line_editor): the port hands over each line, in code page 932, once
// Enter is pressed, and follows what the program prints to know where a line begins.
#pragma once

#include <signal.h>

#include "platform/posix/line_editor.h"
#include "platform/posix/posix_console.h"

class edited_terminal : public standard_streams {
public:
    void set_up(const line_editor::terminal_setup& setup, column_rule columns);

    void before_read(read_purpose purpose, std::size_t line_capacity) override
    {
        limit_ = {line_capacity, purpose == read_purpose::key};
    }
    std::size_t read_some(char* into, std::size_t size) override;
    write_outcome write_all(const char* bytes, std::size_t size) override;

private:
    bool edit_line();
    bool take_keys(bool pause, bool& line_entered);
    bool wait_for_keys(bool& pause, const sigset_t& wakeups_let_in);
    int wait_until_readable(bool& pause, const sigset_t& wakeups_let_in);

    line_editor::limit limit_{};
};
