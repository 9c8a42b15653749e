// How many row updates guassj's bound lets wait: the plain Gauss-Jordan loop
// with full pivoting on random, graded and badly scaled matrices, keeping
// beside it the bound guassj keeps for each row that may still hold a pivot
// (its largest magnitude when last brought up to date, plus |multiplier|
// times the pivot row's largest magnitude for each step since). In each step
// the row with the largest bound is brought up to date first, then every
// other row whose bound reaches the largest magnitude found so far, in row
// order, as one thread of guassj does; every 32 steps all rows are brought up
// to date. Prints, per kind of matrix, the share of the candidate rows'
// updates that could wait, overall and by tenths of the run.
//
//   gj-waiting-rows [n]      (n = 600 by default)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

enum class kind { random, graded, badly_scaled };

std::vector<std::vector<double>> make(kind k, int n)
{
    std::mt19937_64 g(7);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> rs(n), cs(n);
    for (int i = 0; i < n; ++i) {
        rs[i] = k == kind::graded ? std::pow(10.0, -12.0 * i / n) : std::pow(10.0, 8 * u(g));
        cs[i] = std::pow(10.0, 8 * u(g));
    }
    std::vector<std::vector<double>> a(n, std::vector<double>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            a[i][j] = u(g) * (k == kind::random ? 1.0 : k == kind::graded ? rs[i] : rs[i] * cs[j]);
    return a;
}

void measure(kind k, const char *name, int n, int block)
{
    auto a = make(k, n);
    std::vector<char> row_done(n), col_done(n);
    std::vector<double> bound(n), exact(n);
    long waited[10] = {}, total[10] = {};
    for (int s = 0; s < n; ++s) {
        // The plain search, the pivot row's scaling and the elimination.
        double big = -1;
        int pr = 0, pc = 0;
        for (int j = 0; j < n; ++j)
            for (int c = 0; c < n && !row_done[j]; ++c)
                if (!col_done[c] && std::fabs(a[j][c]) >= big)
                    big = std::fabs(a[j][c]), pr = j, pc = c;
        row_done[pr] = col_done[pc] = 1;
        const double r = 1.0 / a[pr][pc];
        for (double &x : a[pr])
            x *= r;
        double pmax = 0;
        for (int c = 0; c < n; ++c)
            if (!col_done[c])
                pmax = std::max(pmax, std::fabs(a[pr][c]));
        std::vector<int> cand;
        int seed = -1;
        for (int l = 0; l < n; ++l) {
            if (l == pr)
                continue;
            const double f = a[l][pc];
            for (int c = 0; c < n; ++c)
                a[l][c] -= a[pr][c] * f;
            if (row_done[l])
                continue;
            exact[l] = 0;
            for (int c = 0; c < n; ++c)
                if (!col_done[c])
                    exact[l] = std::max(exact[l], std::fabs(a[l][c]));
            bound[l] = s == 0 ? exact[l] : bound[l] + pmax * std::fabs(f);
            cand.push_back(l);
            if (seed < 0 || bound[l] > bound[seed])
                seed = l;
        }
        if (cand.empty())
            break;
        // Who is brought up to date, and who waits.
        double best = exact[seed];
        bound[seed] = exact[seed];
        const int tenth = s * 10 / n;
        for (int l : cand) {
            ++total[tenth];
            if (l == seed)
                continue;
            if (bound[l] < best) {
                ++waited[tenth];
            } else {
                bound[l] = exact[l];
                best = std::max(best, exact[l]);
            }
        }
        if ((s + 1) % block == 0)
            for (int l : cand)
                bound[l] = exact[l];
    }
    long w = 0, t = 0;
    for (int i = 0; i < 10; ++i)
        w += waited[i], t += total[i];
    std::printf("%-12s n = %d: %5.1f%% of %ld updates wait; by tenths of the run:", name, n,
                100.0 * w / t, t);
    for (int i = 0; i < 10; ++i)
        std::printf(" %2.0f", 100.0 * waited[i] / std::max(1L, total[i]));
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 600;
    if (n < 2)
        return 2;
    measure(kind::random, "random", n, 32);
    measure(kind::graded, "graded", n, 32);
    measure(kind::badly_scaled, "badly scaled", n, 32);
    return 0;
}
