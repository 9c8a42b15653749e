// quendle-solve: the Solve command for files and pipes. Writes its input,
// then the report the window would write after it (in place of a report of
// this program's that ends the input); the exit status tells one solution
// (0), none or an error (1) and infinitely many (3) apart.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "buf.h"
#include "solve_core.h"

namespace {

constexpr const char *usage_text =
    "Usage: quendle-solve [OPTION]... [FILE]\n"
    "Solve a system of linear equations, given as equations or as an augmented\n"
    "matrix.\n"
    "\n"
    "Reads FILE, or standard input when FILE is absent or \"-\", one equation per\n"
    "line: written out (\"2x + 3y = 8\"), or as its coefficients and then the\n"
    "constant, separated by blanks, commas or any other characters that cannot\n"
    "begin a number. Text above the equations or the first number is kept as a\n"
    "heading. Writes the input unchanged followed by the report: the solution,\n"
    "found by Gauss-Jordan elimination with full pivoting; for a system without a\n"
    "unique solution (singular or not square), its general solution in reduced\n"
    "row echelon form or an error line saying it has none; or an error line\n"
    "saying what is wrong.\n"
    "When the matrix is close to singular (its reciprocal condition number below\n"
    "the machine epsilon), a warning line follows the solution. An input that\n"
    "ends with a report of this program's is solved without it, and the new\n"
    "report takes its place.\n"
    "\n"
    "Example:  printf '2x + 3y = 8\\nx - y = -1\\n' | quendle-solve\n"
    "\n"
    "Options:\n"
    "  --check     after the report, how far the answer can be trusted: the\n"
    "              reciprocal condition number, the backward error, a bound on\n"
    "              the forward error (\"untrusted\" beyond double precision),\n"
    "              and the refinement steps taken; for an answer from the\n"
    "              reduced row echelon form, the rank and the tolerances below\n"
    "              which a pivot counts as zero\n"
    "  --refine    refine the solution of a square system iteratively, with\n"
    "              residuals computed in twice the working precision\n"
    "  --values    write only the solution, one value per line in \"%.17g\" form\n"
    "              (the warning goes to standard error); a general solution and\n"
    "              errors as without it\n"
    "  --cofactor  solve a square system through the adjugate and the determinant\n"
    "              instead\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 when a solution was written, 1 when an error line was written\n"
    "(no solution included), 3 when a general solution was written (infinitely\n"
    "many solutions), 2 for a usage error or an input that cannot be read.\n";

// What the options ask for.
struct options {
    unsigned flags = 0; // of mtrx_solve_checked
    bool check = false;
    bool values = false;
};

// Records what `a` asks for; false when it is none of these options.
bool take_option(std::string_view a, options &opt)
{
    if (a == "--check")
        opt.check = true;
    else if (a == "--values")
        opt.values = true;
    else if (a == "--refine")
        opt.flags |= MTRX_REFINE;
    else if (a == "--cofactor")
        opt.flags |= MTRX_COFACTOR;
    else
        return false;
    return true;
}

// The whole stream in a buffer from buf_double, '\0'-terminated; false on a
// read error.
bool read_all(FILE *fp, char **out, std::size_t *len)
{
    std::size_t cap = 1 << 16, n = 0;
    auto *buf = static_cast<char *>(quendle::buf_resize(nullptr, 1, 0, cap));
    for (;;) {
        if (cap - n < 2)
            buf = static_cast<char *>(quendle::buf_double(buf, 1, &cap));
        std::size_t got = std::fread(buf + n, 1, cap - n - 1, fp);
        n += got;
        if (got == 0)
            break;
    }
    buf[n] = '\0';
    *out = buf;
    *len = n;
    return !std::ferror(fp);
}

// Why a text cannot be taken as the system's text, or null when it can.
// UTF-16 and binary data hold '\0' bytes that no text editor writes into a
// plain or UTF-8 text; solving what digits happen to be in them would give a
// meaningless answer, and appending to them would damage the file's form.
const char *not_text(const char *text, std::size_t len)
{
    if (len >= 2 && ((text[0] == '\xff' && text[1] == '\xfe') || (text[0] == '\xfe' && text[1] == '\xff')))
        return "is UTF-16 text; save it as UTF-8 or ASCII and try again";
    if (std::memchr(text, '\0', len))
        return "is not a text file (it holds NUL bytes)";
    return nullptr;
}

// The solution alone, for scripts, each value read back as the same double;
// with `check`, the diagnostics as "name value" lines after it.
void write_values(const quendle::solve_outcome &out, bool check)
{
    for (double v : out.x)
        std::printf("%.17g\n", v);
    if (check && out.reduced)
        std::printf("rank %zu\ntolerance %.17g\nconstants_tolerance %.17g\n", out.reduced->rank,
                    out.reduced->tolerance, out.reduced->constants_tolerance);
    else if (check)
        std::printf("rcond %.17g\nbackward_error %.17g\nforward_error %.17g\nrefinement_steps "
                    "%d\nbound_trusted %d\n",
                    out.info.rcond, out.info.backward_error, out.info.forward_error,
                    out.info.refinement_steps, out.info.bound_trusted);
    if (!out.reduced && out.info.ill_conditioned)
        std::fprintf(stderr, "quendle-solve: warning: %s\n",
                     quendle::warning_text(out.info.rcond).c_str());
}

int fail(const char *what, const char *name)
{
    std::fprintf(stderr, "quendle-solve: %s '%s': %s\n", what, name, std::strerror(errno));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const char *path = nullptr;
    bool only_files = false;
    options opt;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (!only_files && a == "--help") {
            std::fputs(usage_text, stdout);
            return 0;
        }
        if (!only_files && a == "--version") {
            std::puts("quendle-solve " QUENDLE_VERSION);
            return 0;
        }
        if (!only_files && take_option(a, opt))
            continue;
        if (!only_files && a == "--") {
            only_files = true;
            continue;
        }
        if (!only_files && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "quendle-solve: unknown option '%s'\nTry 'quendle-solve --help'.\n",
                         argv[i]);
            return 2;
        }
        if (path) {
            std::fputs("quendle-solve: more than one FILE given\nTry 'quendle-solve --help'.\n",
                       stderr);
            return 2;
        }
        path = argv[i];
    }

    FILE *in = stdin;
    const char *name = "standard input";
    if (path && std::strcmp(path, "-") != 0) {
        in = std::fopen(path, "rb");
        name = path;
        if (!in)
            return fail("cannot open", name);
    }

    char *text = nullptr;
    std::size_t len = 0;
    try {
        bool ok = read_all(in, &text, &len);
        int saved = errno;
        if (in != stdin)
            std::fclose(in);
        if (!ok) {
            errno = saved;
            quendle::buf_free(text);
            return fail("cannot read", name);
        }
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "quendle-solve: '%s' is too large to hold in memory\n", name);
        return 2;
    }

    if (const char *why = not_text(text, len)) {
        std::fprintf(stderr, "quendle-solve: '%s' %s\n", name, why);
        quendle::buf_free(text);
        return 2;
    }

    const quendle::solve_outcome out = quendle::solve_text(text, len, opt.flags);
    if (opt.values && out.solved) {
        quendle::buf_free(text);
        write_values(out, opt.check);
    } else {
        // The input up to the report it may end with, which the new one replaces.
        std::fwrite(text, 1, out.kept, stdout);
        quendle::buf_free(text);
        std::string report = out.report;
        if (opt.check && (out.solved || out.general))
            report += out.reduced ? quendle::reduction_text(*out.reduced)
                                  : quendle::diagnostics_text(out.info);
        std::fwrite(report.data(), 1, report.size(), stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "quendle-solve: cannot write the result: %s\n", std::strerror(errno));
        return 2;
    }
    return out.solved ? 0 : out.general ? 3 : 1;
}
