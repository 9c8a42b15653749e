// Every message of the console functions, and their exits (messages.h).
//
// Kept as they are on purpose; each looks like a slip, and each is relied on:
//  - "guassj": the public names guassj and guassj_vec, and the "guassj()"
//    that begins their messages ("guassj() error: singular matrix.",
//    "guassj() error: virtual memory exhausted."). The names are exported by
//    libmtrx.so.0 and called by programs built against it; the messages are
//    pinned by the Gauss-Jordan, status and solve tests, fuzz_status_solve
//    and mtrx_gauss_jordan(3).
//  - "maxtix not square (R x C).": the cofactor solver's message for a block
//    that is not square (not_square below), pinned by the cofactor tests
//    and quoted in mtrx_cofactor(3).
//  - "<unknown>": the name slot of every "%s() error" message holds this
//    literal, never the function's name (`unknown` below). The tests of
//    every console family, the allocation sweeps' expected words and the
//    manual pages spell it out.
//  - one allocation failure that says nothing: mtrx_solve_cofactor_aug
//    returns null without a message when the record for its copy of the
//    coefficients cannot be had (cofactor_console.cpp); every other failure
//    is told. The cofactor tests' allocation sweep counts exactly one such
//    silent failure for the augmented entry.
#include "messages.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

using mtrx_detail::alloc_fault;
using mtrx_detail::alloc_site;

namespace mtrx_console {

namespace {

// The name slot of every "%s() error" message.
const char *const unknown = "<unknown>";

// perror with errno as the failing request left it.
void perror_as(const char *label, int errnum)
{
    errno = errnum;
    std::perror(label);
}

} // namespace

namespace {

// What each allocation site says: a perror label, then a message whose
// "%s" is the name slot and whose "%zu", where there is one, the index.
struct site_words {
    alloc_site site;
    const char *label;   // null: no perror line
    const char *message; // null: no message line
};
const site_words words[] = {
    {alloc_site::record, nullptr, "%s() error: calloc-m.\n"},
    {alloc_site::record_rows, nullptr, "%s() error: malloc m->mtrx failed.\n"},
    {alloc_site::array_rows, "calloc-pointers", "%s() error: calloc mtrx failed.\n"},
    {alloc_site::array_row, "calloc-mtrx[i]", "%s() error: calloc-mtrx[%zu] failed.\n"},
    {alloc_site::result_record, nullptr, "%s() error: calloc-result.\n"},
    {alloc_site::scratch, nullptr, "%s() error: virtual memory exhausted.\n"},
    {alloc_site::solution, nullptr, "%s() error: memory exhausted 'sol'.\n"},
    {alloc_site::parsed_row, "calloc-array", nullptr},
    {alloc_site::growth, "realloc(): virtual memory exhausted.", nullptr},
};

} // namespace

void tell(const alloc_fault &fault)
{
    for (const site_words &w : words) {
        if (w.site != fault.site)
            continue;
        if (w.label)
            perror_as(w.label, fault.errnum);
        if (w.message)
            std::fprintf(stderr, w.message, unknown, fault.index);
    }
}

void die(const alloc_fault &fault)
{
    tell(fault);
    std::exit(1);
}

void die_exhausted()
{
    std::perror("realloc(): virtual memory exhausted.");
    std::exit(1);
}

void null_record() { std::fprintf(stderr, "%s() error: struct parameter NULL.\n", unknown); }

void rows_not_grown()
{
    std::fprintf(stderr, "%s() error: ptr realloc failed.\n", unknown);
    std::exit(1);
}

void row_not_grown(std::size_t row)
{
    std::fprintf(stderr, "%s() error: realloc failed row[%zu].\n", unknown, row);
    std::exit(1);
}

void vector_not_made()
{
    std::perror("calloc-vector");
    std::fprintf(stderr, "%s() error: calloc-vect failed.\n", unknown);
}

void bad_number(mtrx_detail::scan_stop stop)
{
    if (stop == mtrx_detail::scan_stop::no_digits)
        std::fputs("error: no digits converted.\n", stderr);
    else if (stop == mtrx_detail::scan_stop::out_of_range)
        std::fputs("error: in conversion.\n", stderr);
}

void no_values(std::size_t row, std::size_t col)
{
    std::fprintf(stderr, "%s() error: no values for mtrx[%zu][%zu].\n", unknown, row, col);
    std::exit(1);
}

void column_mismatch(std::size_t row)
{
    std::fprintf(stderr, "%s() error: column mismatch row[%zu]\n", unknown, row);
}

void failed_conversion(std::size_t row, std::size_t col)
{
    std::fprintf(stderr, "%s() error: failed conversion mtrx[%zu][%zu].\n", unknown, row, col);
}

void singular() { std::fputs("guassj() error: singular matrix.\n", stderr); }

void elimination_out_of_memory()
{
    std::fputs("guassj() error: virtual memory exhausted.\n", stderr);
}

void too_narrow()
{
    std::fprintf(stderr, "%s() error: invalid mtrx_t size (cols <= rows)\n", unknown);
}

void solution_not_made()
{
    std::fprintf(stderr, "%s() error: memory exhausted calloc-sol.\n", unknown);
}

void unequal_dimensions(std::size_t ar, std::size_t ac, std::size_t br, std::size_t bc,
                        bool product)
{
    std::fprintf(stderr, "%s() error: unequal dimensions, (%zu x %zu) != (%zu x %zu)\n%s", unknown,
                 ar, ac, br, bc, product ? " [not (m x n) * (n x p) => (m x p)]\n" : "");
}

void not_square(std::size_t rows, std::size_t cols)
{
    std::fprintf(stderr, "%s() error: maxtix not square (%zu x %zu).\n", unknown, rows, cols);
}

void constants_not_made() { std::fprintf(stderr, "%s() error: calloc-v\n", unknown); }

void infinite_solutions() { std::fputs("The system is consistent - infinite solutions.\n", stdout); }
void no_solution() { std::fputs("The system has no solution.\n", stdout); }
void trivial_solution() { std::fputs("The system has a trivial solution.\n", stdout); }

void not_a_system()
{
    std::fprintf(stderr, "%s() error - not a linear system matrix, (rows >= cols).\n", unknown);
}

void no_square_part()
{
    std::fprintf(stderr, "%s() error - square of m->rows not possible, (rows > cols).\n",
                 unknown);
}

} // namespace mtrx_console
