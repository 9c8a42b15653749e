// The checked solve on small systems of awkward values (NaN, infinities,
// extremes, subnormals, ties), with every flag: it never ends the process or
// writes a word; without refinement its solution has the bits of the solver
// it stands for, and its status is that solver's; a system holding a NaN or
// an infinity is refused, and only such a one; a solution is finite, and so
// is every diagnostic of it; ill_conditioned is set exactly when rcond <
// DBL_EPSILON, and a bound is untrusted only then, reported as 1; a failure
// leaves no solution and the diagnostics of none; refinement takes at most
// ten steps and leaves the record as it was.
#include <cfloat>
#include <cmath>

#include "fuzz_common.h"

using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes b(data, size);
    const unsigned flags = b.byte() % 4;
    const std::size_t n = b.byte() % 9;
    mtrx_t *ab = fuzz::record(b, n, n + 1);
    mtrx_t *before = mtrx_copy(ab);

    double *x = nullptr, *plain = nullptr;
    mtrx_solve_info info;
    mtrx_error err;
    mtrx_status st = MTRX_OK, solver = MTRX_OK;
    std::string out, said;
    out = fuzz::written(1, [&] {
        said = fuzz::written(2, [&] {
            st = mtrx_solve_checked(ab, flags, &x, &info, &err);
            solver = flags & MTRX_COFACTOR ? mtrx_solve_system_cofactor(ab, &plain, nullptr)
                                           : mtrx_solve_system(ab, &plain, nullptr);
        });
    });
    require(out.empty() && said.empty() && same_bits(ab, before, nans::any));
    require(st == solver && err.status == st && (x != nullptr) == (st == MTRX_OK));
    bool finite = true;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j <= n; ++j)
            finite = finite && std::isfinite(ab->mtrx[i][j]);
    require((st == MTRX_ENONFINITE) == !finite);
    require(info.ill_conditioned == (info.rcond < DBL_EPSILON));
    require(info.bound_trusted == 0 || info.bound_trusted == 1);
    require(info.bound_trusted || info.ill_conditioned);
    require(info.refinement_steps >= 0 && info.refinement_steps <= 10);
    require((flags & MTRX_REFINE) || info.refinement_steps == 0);
    if (st == MTRX_OK) {
        for (std::size_t i = 0; i < n; ++i)
            require(std::isfinite(x[i]));
        for (double d : {info.rcond, info.backward_error, info.forward_error})
            require(std::isfinite(d) && d >= 0.0);
        require(info.bound_trusted || info.forward_error == 1.0);
        for (std::size_t i = 0; !(flags & MTRX_REFINE) && i < n; ++i)
            require(same_bits(x[i], plain[i]));
    } else {
        require(info.rcond == 0.0 && info.refinement_steps == 0 && !info.bound_trusted &&
                std::isinf(info.backward_error) && std::isinf(info.forward_error));
    }

    std::free(x);
    std::free(plain);
    mtrx_free(before);
    mtrx_free(ab);
    return 0;
}
