// e2e/<program>: a console solver as a new process on a 300 x 301 system
// file, output to /dev/null: quendle-solve against the plain console solver.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "harness.h"
#include "inputs.h"

namespace quendle_bench {

namespace {

// The 300 x 301 system as a console solver's input, in the layout people
// type: numbers with six decimals, blanks between them.
const temp_file &system_file()
{
    static temp_file f([] {
        const std::size_t n = 300;
        const system_data &s = system_of(n);
        std::string text;
        char buf[32];
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j <= n; ++j) {
                std::snprintf(buf, sizeof buf, "%.6f%s", s.rows[i * (n + 1) + j],
                              j < n ? " " : "\n");
                text += buf;
            }
        return text;
    }());
    return f;
}

void bm_console(benchmark::State &st, const char *program)
{
    const temp_file &f = system_file();
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    char *args[] = {const_cast<char *>(program), const_cast<char *>(f.path.c_str()), nullptr};
    for (auto _ : st) {
        pid_t pid;
        int status = 0;
        if (posix_spawn(&pid, program, &fa, nullptr, args, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            st.SkipWithError("the program failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&fa);
}

// The two console solvers write the same text.
bool check()
{
    bool ok = true;
    std::string outs[2];
    const char *programs[2] = {QUENDLE_SOLVE_PROGRAM, PLAIN_SOLVE_PROGRAM};
    for (int i = 0; i < 2; ++i) {
        const std::string cmd = std::string(programs[i]) + " " + system_file().path;
        FILE *p = popen(cmd.c_str(), "r");
        char buf[1 << 16];
        for (std::size_t got; p && (got = std::fread(buf, 1, sizeof buf, p)) > 0;)
            outs[i].append(buf, got);
        if (!p || pclose(p) != 0) {
            std::fprintf(stderr, "%s failed\n", programs[i]);
            ok = false;
        }
    }
    if (outs[0] != outs[1] || outs[0].find("Solution Vector:") == std::string::npos) {
        std::fprintf(stderr, "quendle-solve and the plain solver write different texts\n");
        ok = false;
    }
    return ok;
}

void add()
{
    for (auto *b : {benchmark::RegisterBenchmark("e2e/quendle-solve", bm_console,
                                                 QUENDLE_SOLVE_PROGRAM),
                    benchmark::RegisterBenchmark("e2e/plain-solve", bm_console,
                                                 PLAIN_SOLVE_PROGRAM)})
        repeated(b, benchmark::kMillisecond, 10)->UseRealTime()->MinTime(0.5);
}

void tables(const results &r)
{
    const double qs = r.seconds("e2e/quendle-solve"), ps = r.seconds("e2e/plain-solve");
    std::printf("| program, 300 x 301 file | time | plain solver |\n|---|---|---|\n");
    if (qs > 0)
        std::printf("| quendle-solve | %.2f ms | %s |\n", qs * 1e3, ratio(ps, qs).c_str());
    if (ps > 0)
        std::printf("| plain solver | %.2f ms | 1.00x |\n", ps * 1e3);
    std::printf("\n");
}

[[maybe_unused]] const bool added = add_family({"e2e/", 50, check, add, tables});

} // namespace

} // namespace quendle_bench
