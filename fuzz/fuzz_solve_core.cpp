// The Solve core on any text: it never ends the process, and what it
// appends is exactly one of
//  - a solution report: one line per unknown, x[i] numbered from 0 or the
//    equations' names, followed by the warning exactly when a square system
//    solved as such has rcond < DBL_EPSILON (an answer from the reduced row
//    echelon form has none);
//  - a general solution: one line per unknown, one of them free at least;
//  - exactly one error line.
// Whatever it writes is recognised as its report: solving the text as
// Solve leaves it (the kept text, then the report) keeps the same text and
// writes the same report, and so it does with --check's diagnostics after
// a solution or a general solution.
#include <cfloat>

#include "fuzz_common.h"
#include "solve_core.h"

namespace {

bool starts_with(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

// The lines from `o` to `end`, each " <label> : <rest>" with x[i] labels
// numbered from 0 or labels that are names (no blank, no ':', padded);
// how many there are, and how many of them are `free`.
std::size_t unknown_lines(const std::string &r, std::size_t o, std::size_t end, std::size_t &free)
{
    std::size_t index = 0;
    bool indexed = false;
    free = 0;
    while (o < end) {
        const std::size_t e = r.find("\r\n", o);
        fuzz::require(e != std::string::npos && e < end);
        const std::string line = r.substr(o, e - o);
        const std::size_t colon = line.find(" : ");
        fuzz::require(line.size() > 4 && line[0] == ' ' && line[1] != ' ' &&
                      colon != std::string::npos);
        char want[32];
        std::snprintf(want, sizeof want, " x[%3u]", static_cast<unsigned>(index));
        if (index == 0)
            indexed = line.compare(0, colon, want) == 0;
        if (indexed) {
            fuzz::require(line.compare(0, colon, want) == 0);
        } else {
            const std::string label = line.substr(1, colon - 1);
            const std::size_t name_end = label.find(' ');
            fuzz::require(label.find(':') == std::string::npos &&
                          (name_end == std::string::npos ||
                           label.find_first_not_of(' ', name_end) == std::string::npos));
        }
        if (line.compare(colon, std::string::npos, " :        free") == 0)
            ++free;
        ++index;
        o = e + 2;
    }
    return index;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    quendle::solve_outcome out = quendle::solve_text(text);
    const std::string &r = out.report;
    fuzz::require(out.kept <= text.size() && quendle::report_start(text.data(), text.size()) == out.kept);
    const std::string once = text.substr(0, out.kept) + r;
    const quendle::solve_outcome again = quendle::solve_text(once);
    fuzz::require(again.kept == out.kept && again.report == r);
    fuzz::require(!(out.solved && out.general));
    if (out.solved || out.general) {
        const std::string check =
            out.reduced ? quendle::reduction_text(*out.reduced) : quendle::diagnostics_text(out.info);
        fuzz::require(quendle::solve_text(once + check).kept == out.kept);
    }

    const std::string solution_head = "\r\n\r\nSolution Vector:\r\n\r\n";
    const std::string general_head = "\r\n\r\nGeneral Solution:\r\n\r\n";
    std::size_t free = 0;
    if (out.solved) {
        fuzz::require(starts_with(r, solution_head));
        const std::string warning = "\r\n WARNING: " + quendle::warning_text(out.info.rcond) + "\r\n";
        const bool warned = r.size() >= warning.size() &&
                            r.compare(r.size() - warning.size(), warning.size(), warning) == 0;
        if (out.reduced)
            fuzz::require(!warned && r.find("WARNING") == std::string::npos);
        else
            fuzz::require(warned == (out.info.rcond < DBL_EPSILON) &&
                          warned == (out.info.ill_conditioned != 0));
        const std::size_t end = r.size() - (warned ? warning.size() : 0);
        const std::size_t n = unknown_lines(r, solution_head.size(), end, free);
        fuzz::require(n > 0 && n == out.x.size() && free == 0);
    } else if (out.general) {
        fuzz::require(starts_with(r, general_head) && out.reduced);
        const std::size_t n = unknown_lines(r, general_head.size(), r.size(), free);
        fuzz::require(n > 0 && n == out.x.size() && free > 0 && free == n - out.reduced->rank);
    } else {
        const std::string lead = "\r\n\r\n ERROR: ";
        fuzz::require(starts_with(r, lead) && r.size() >= lead.size() + 2 &&
                      r.compare(r.size() - 2, 2, "\r\n") == 0 &&
                      r.find('\n', lead.size()) == r.size() - 1);
    }
    return 0;
}
