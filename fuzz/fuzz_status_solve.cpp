// The status solvers and arithmetic on small records of awkward values: they
// never end the process or write a word. A system holding a NaN or an
// infinity is refused by every status solver and only by them; any other
// system is eliminated by mtrx_reduce exactly as guassj does it. Where a
// solver takes the system as it stands (scaling.h) and its natural form
// gives a finite solution, or none, the status solver gives the same, with
// the same bits, the cofactor solver's verdicts as the statuses of the lines
// the natural one prints; elsewhere a solution it gives is finite. The
// arithmetic succeeds exactly when its natural form does so without a
// message, with the same bits. A X = B by one elimination gives each
// column's own status and bits: the first column that fails decides, once
// [A B] is finite; a NaN or an infinity anywhere in it refuses the whole
// call before any column is solved.
#include <cmath>
#include <vector>

#include "core/checked/scaling.h"
#include "core/cofactor/cofactor.h"
#include "fuzz_common.h"

using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Bytes b(data, size);
    const std::size_t n = b.byte() % 7;
    mtrx_t *ab = fuzz::record(b, n, n + 1);
    const std::size_t rows = b.byte() % 4, cols = b.byte() % 4;
    mtrx_t *q = fuzz::record(b, rows, cols);
    mtrx_t *reduced = mtrx_copy(ab), *before = mtrx_copy(ab);

    // Every status call, with nothing written on either stream.
    mtrx_status red, sol, cof, arith[4];
    double *x = nullptr, *xc = nullptr;
    mtrx_t *r[4] = {};
    std::string out, said;
    out = fuzz::written(1, [&] {
        said = fuzz::written(2, [&] {
            red = mtrx_reduce(reduced->mtrx, nullptr, n, nullptr);
            sol = mtrx_solve_system(ab, &x, nullptr);
            cof = mtrx_solve_system_cofactor(ab, &xc, nullptr);
            arith[0] = mtrx_sum(ab, q, &r[0], nullptr);
            arith[1] = mtrx_difference(q, ab, &r[1], nullptr);
            arith[2] = mtrx_product(ab, q, &r[2], nullptr);
            arith[3] = mtrx_transposed(q, &r[3], nullptr);
        });
    });
    require(out.empty() && said.empty() && same_bits(ab, before, nans::any));

    bool finite = true;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j <= n; ++j)
            finite = finite && std::isfinite(ab->mtrx[i][j]);
    auto finite_solution = [n](mtrx_status st, const double *v) {
        bool ok = true;
        for (std::size_t i = 0; st == MTRX_OK && i < n; ++i)
            ok = ok && std::isfinite(v[i]);
        return ok;
    };
    require(finite_solution(sol, x) && finite_solution(cof, xc));
    mtrx_t *gj = nullptr;
    double *nat = nullptr;
    if (!finite) {
        require(red == MTRX_ENONFINITE && sol == MTRX_ENONFINITE && cof == MTRX_ENONFINITE);
        require(!x && !xc && same_bits(reduced, before, nans::any));
    } else {
        // mtrx_reduce against guassj (through mtrx_solve_gj), and
        // mtrx_solve_system against it where elimination takes the system as
        // it stands and solves it to a finite solution, or finds it singular.
        said = fuzz::written(2, [&] { gj = mtrx_solve_gj(ab); });
        require(red == MTRX_OK || red == MTRX_ESINGULAR);
        require(said == (red == MTRX_ESINGULAR ? "guassj() error: singular matrix.\n" : ""));
        require(same_bits(gj, reduced, nans::any));
        mtrx_detail::system_scaling plan;
        require(plan.plan(ab->mtrx, n, mtrx_detail::survey(ab->mtrx, n), mtrx_detail::elimination_band));
        bool natural_finite = true;
        for (std::size_t i = 0; red == MTRX_OK && i < n; ++i)
            natural_finite = natural_finite && std::isfinite(gj->mtrx[i][n]);
        if (plan.how() == mtrx_detail::system_scaling::kind::none && natural_finite) {
            require(sol == red && (x != nullptr) == (sol == MTRX_OK));
            for (std::size_t i = 0; x && i < n; ++i)
                require(same_bits(x[i], gj->mtrx[i][n]));
        } else {
            require(sol == MTRX_OK || sol == MTRX_ESINGULAR || sol == MTRX_ERANGE);
        }

        // The cofactor solver's verdicts, where it takes the system as it
        // stands and gives a finite solution or a verdict. Whether its
        // solution is finite is judged on the method's own result (`own`):
        // the natural form drops a solution it calls trivial, and a NaN
        // counts as zero there, so an inverse that overflowed can be called
        // trivial while the status solver, rescaling, finds the true one.
        out = fuzz::written(1, [&] {
            said = fuzz::written(2, [&] { nat = mtrx_solve_cofactor_aug(ab); });
        });
        require(said.empty());
        std::vector<double> bcol(n);
        for (std::size_t i = 0; i < n; ++i)
            bcol[i] = ab->mtrx[i][n];
        double *own = nullptr;
        mtrx_detail::alloc_fault fault;
        const mtrx_status by_method =
            mtrx_detail::solve_by_cofactors(ab->mtrx, bcol.data(), n, &own, fault);
        require(by_method != MTRX_ENOMEM);
        for (std::size_t i = 0; nat && i < n; ++i)
            require(same_bits(own[i], nat[i]));
        require(plan.plan(ab->mtrx, n, mtrx_detail::survey(ab->mtrx, n), mtrx_detail::cofactor_band(n)));
        const bool trivial = out == "The system has a trivial solution.\n";
        if (plan.how() == mtrx_detail::system_scaling::kind::none &&
            finite_solution(by_method, own)) {
            if (cof == MTRX_ENOSOLUTION)
                require(out == "The system has no solution.\n");
            else if (cof == MTRX_EINFINITE)
                require(out == "The system is consistent - infinite solutions.\n");
            else if (cof == MTRX_OK && !nat)
                require(trivial && vect_is_zero(xc, n));
            else
                require(cof == MTRX_OK && out.empty());
            for (std::size_t i = 0; own && i < n; ++i)
                require(same_bits(xc[i], own[i]));
        } else {
            require(cof == MTRX_OK || cof == MTRX_ENOSOLUTION || cof == MTRX_EINFINITE ||
                    cof == MTRX_ESINGULAR || cof == MTRX_ERANGE);
        }
        std::free(own);
    }

    // A X = B for B = [b, two more columns], against each column alone.
    {
        mtrx_t *bm = fuzz::record(b, n, 3), *aug = mtrx_copy(ab), a = *ab;
        a.cols = n;
        for (std::size_t i = 0; i < n; ++i)
            bm->mtrx[i][0] = ab->mtrx[i][n];
        mtrx_t *xs = nullptr;
        const mtrx_status many = mtrx_solve_many(&a, bm, &xs, nullptr);
        mtrx_status first = MTRX_OK;
        bool all_finite = finite;
        for (std::size_t c = 0; c < 3; ++c) {
            for (std::size_t i = 0; i < n; ++i) {
                aug->mtrx[i][n] = bm->mtrx[i][c];
                all_finite = all_finite && std::isfinite(bm->mtrx[i][c]);
            }
            double *y = nullptr;
            const mtrx_status one = mtrx_solve_system(aug, &y, nullptr);
            first = first == MTRX_OK ? one : first;
            for (std::size_t i = 0; many == MTRX_OK && i < n; ++i)
                require(same_bits(xs->mtrx[i][c], y[i]));
            mtrx_free_vector(y);
        }
        // A NaN or an infinity in a later column of B is input refused
        // outright, over an earlier column's singular verdict (as one
        // system's NaN in b is over its singular A).
        require(many == (all_finite ? first : MTRX_ENONFINITE) &&
                (xs != nullptr) == (many == MTRX_OK));
        mtrx_free(xs);
        mtrx_free(aug);
        mtrx_free(bm);
    }

    // The arithmetic against its natural forms.
    mtrx_t *natural[4] = {};
    said = fuzz::written(2, [&] {
        natural[0] = mtrx_add(ab, q);
        natural[1] = mtrx_sub(q, ab);
        natural[2] = mtrx_mult(ab, q);
    });
    natural[3] = mtrx_transpose(q);
    std::size_t mismatches = 0;
    for (int k = 0; k < 4; ++k) {
        require(arith[k] == (natural[k] ? MTRX_OK : MTRX_ESHAPE));
        require(same_bits(r[k], natural[k], nans::any));
        mismatches += arith[k] == MTRX_ESHAPE;
        mtrx_free(r[k]);
        mtrx_free(natural[k]);
    }
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = said.find("unequal dimensions", p)) != std::string::npos; ++p)
        ++lines;
    require(lines == mismatches);

    std::free(x);
    std::free(xc);
    std::free(nat);
    mtrx_free(gj);
    mtrx_free(reduced);
    mtrx_free(before);
    mtrx_free(q);
    mtrx_free(ab);
    return 0;
}
