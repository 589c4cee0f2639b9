// Compile-time checks of the ties between a table and the tables that its rows
// read from. Each throws, and so stops the build, with a message that names the
// fault; the compilers show that message with the line that throws it.
#pragma once

#include <cstddef>

// The rows tagged `kind` read their lines at code - first_code in a table of
// `line_sets` entries. They must be exactly the rows whose codes lie in
// first_code .. first_code + line_sets - 1: a row of that kind elsewhere would read
// past that table, and a row of another kind there would leave its lines unread.
template <class Row, std::size_t N, class Kind>
consteval bool rows_of_kind_match_their_lines(const Row (&rows)[N], Kind kind, int first_code, std::size_t line_sets)
{
    for (const Row& row : rows) {
        const bool has_lines = row.code >= first_code && row.code - first_code < static_cast<int>(line_sets);
        if (row.kind == kind && !has_lines) throw "a row of this kind has no lines at its code";
        if (row.kind != kind && has_lines) throw "a code that has lines of a kind is on a row of another kind";
    }
    return true;
}

// The rows are numbered first, first + 1, ... in table order: row i has the number
// first + i in its field `number`. A row left out, doubled or moved fails.
//     static_assert(rows_numbered_in_order(keywords, &keyword_entry::code, 0));
template <class Row, std::size_t N>
consteval bool rows_numbered_in_order(const Row (&rows)[N], int Row::*number, int first)
{
    for (std::size_t i = 0; i < N; ++i)
        if (rows[i].*number != first + static_cast<int>(i)) throw "a row's number is not its place in the table";
    return true;
}
