// mtrx_read_str on texts it reads without ending the process: the result
// agrees with the reporting reader, every row holds at least cols values,
// and the record is trimmed.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();
    std::vector<std::size_t> counts;
    mtrx_detail::read_result r = mtrx_detail::read_text(
        text.c_str(), text.size(), mtrx_detail::on_failure::report, &counts);
    // A line without a value ends the process in mtrx_read_str; a line with a
    // bad number may be such a line, so both are left to the other targets.
    if (r.status != mtrx_detail::read_status::ok && r.status != mtrx_detail::read_status::empty) {
        mtrx_free(r.m);
        return 0;
    }
    mtrx_t *m = mtrx_read_str(text.c_str());
    if ((m == nullptr) != (r.m == nullptr))
        std::abort();
    if (m) {
        if (m->rows != r.m->rows || m->cols != r.m->cols || m->maxrows != m->rows ||
            counts.size() != m->rows || counts[0] != m->cols || m->maxcols != counts.back())
            std::abort();
        for (std::size_t i = 0; i < m->rows; ++i) {
            std::size_t have = counts[i] > m->cols ? counts[i] : m->cols;
            for (std::size_t j = 0; j < have; ++j) {
                double a = m->mtrx[i][j], b = r.m->mtrx[i][j];
                if (std::memcmp(&a, &b, sizeof a) != 0)
                    std::abort();
            }
        }
    }
    mtrx_free(m);
    mtrx_free(r.m);
    return 0;
}
