// Generated texts for the readers' tests.
#ifndef QUENDLE_TESTS_SUPPORT_READER_TEXTS_H
#define QUENDLE_TESTS_SUPPORT_READER_TEXTS_H

#include <cstddef>
#include <string>
#include <vector>

#include <mtrx/mtrx.h>

#include "generators.h"
#include "matrix.h"

// A text of rows of numbers with blank lines, assorted separators and line
// ends, and at most one fault, with what the status readers must say of it.
struct reader_text {
    std::string text;
    Matrix rows;                    // the values of each row as written
    mtrx_status want = MTRX_OK;     // from mtrx_parse
    size_t row = 0, count = 0, expected = 0;
    size_t line = 0, column = 0;    // where, as mtrx_error counts them
    std::vector<size_t> row_lines;  // the line of each row
    bool natural_ends = false;      // mtrx_read_str would end the process
};

// One text; the fault, when there is one, is a "Solution Vector:" line before
// a row, "..5" or "1e999" inside a row, or a row one value longer or shorter
// than the first.
reader_text make_reader_text(random_source &src);

#endif
