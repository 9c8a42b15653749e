// The Solve core on any text: it never ends the process, and what it
// appends is either a solution report with one line per unknown, numbered
// from 0, followed by the warning exactly when rcond < DBL_EPSILON, or
// exactly one error line. Whatever it writes is recognised as its report:
// solving the text as Solve leaves it (the kept text, then the report)
// keeps the same text and writes the same report.
#include <cfloat>

#include "fuzz_common.h"
#include "solve_core.h"

namespace {

bool starts_with(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    quendle::solve_outcome out = quendle::solve_text(text);
    const std::string &r = out.report;
    if (out.kept > text.size() || quendle::report_start(text.data(), text.size()) != out.kept)
        std::abort();
    const std::string once = text.substr(0, out.kept) + r;
    const quendle::solve_outcome again = quendle::solve_text(once);
    if (again.kept != out.kept || again.report != r)
        std::abort();
    const std::string head = "\r\n\r\nSolution Vector:\r\n\r\n";
    if (out.solved) {
        if (!starts_with(r, head))
            std::abort();
        std::size_t o = head.size(), index = 0;
        const std::string warning = "\r\n WARNING: " + quendle::warning_text(out.info.rcond) + "\r\n";
        const bool warned = r.size() >= warning.size() &&
                            r.compare(r.size() - warning.size(), warning.size(), warning) == 0;
        if (warned != (out.info.rcond < DBL_EPSILON) || warned != (out.info.ill_conditioned != 0))
            std::abort();
        const std::size_t end = r.size() - (warned ? warning.size() : 0);
        while (o < end) {
            std::size_t e = r.find("\r\n", o);
            if (e == std::string::npos)
                std::abort();
            char want[32];
            std::snprintf(want, sizeof want, " x[%3u] : ", static_cast<unsigned>(index));
            if (r.compare(o, std::strlen(want), want) != 0)
                std::abort();
            ++index;
            o = e + 2;
        }
        if (index == 0 || index != out.x.size())
            std::abort();
    } else {
        const std::string lead = "\r\n\r\n ERROR: ";
        if (!starts_with(r, lead) || r.size() < lead.size() + 2 ||
            r.compare(r.size() - 2, 2, "\r\n") != 0 ||
            r.find('\n', lead.size()) != r.size() - 1)
            std::abort();
    }
    return 0;
}
