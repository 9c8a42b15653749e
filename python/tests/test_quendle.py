"""The Python package against the C library: the same bits as the library's
own console tool on the same systems (QUENDLE_SOLVE names it), its errors
as exceptions, and threads solving at once."""

import os
import re
import subprocess
import threading
import warnings

import numpy as np
import pytest

import quendle

TOOL = os.environ.get("QUENDLE_SOLVE")


def system_text(A, b):
    """The system as the console tool reads it, every double written so that
    it reads back as itself."""
    return "".join(" ".join(repr(float(v)) for v in list(row) + [c]) + "\n" for row, c in zip(A, b))


def tool_values(A, b, *options):
    """x and the diagnostics quendle-solve --values --check gives."""
    out = subprocess.run([TOOL, "--values", "--check", *options], input=system_text(A, b),
                         capture_output=True, text=True, check=True).stdout.split()
    n = len(b)
    x = np.array([float(v) for v in out[:n]])
    info = dict(zip(out[n::2], out[n + 1::2]))
    return x, {k: float(v) for k, v in info.items()}


def hilbert(n):
    A = 1.0 / (np.arange(n)[:, None] + np.arange(n)[None, :] + 1.0)
    b = np.array([sum(row) for row in A.tolist()])  # (summed left to right)
    return A, b


def generated_systems():
    rng = np.random.default_rng(2026)
    systems = [(np.array([[3.0, 2, -4], [2, 3, 3], [5, -3, 1]]), np.array([3.0, 15, 14])),
               hilbert(12)]
    for n in (1, 4, 17, 60):
        A = rng.uniform(-1, 1, (n, n))
        systems.append((A, rng.uniform(-1, 1, n)))
    # graded: rows and columns from 1 down to 2^-40
    A = rng.uniform(-1, 1, (9, 9)) * np.exp2(-5.0 * np.arange(9))[:, None] * np.exp2(-5.0 * np.arange(9))
    systems.append((A, rng.uniform(-1, 1, 9)))
    # near underflow (the reader takes no subnormal), near overflow, and rows
    # and columns far apart
    A = rng.uniform(-1, 1, (5, 5)) + 3 * np.eye(5)
    systems.append((A * 2.0**-990, rng.uniform(0.5, 1, 5) * 2.0**-1000))
    systems.append((A * 2.0**1020, rng.uniform(-1, 1, 5) * 2.0**1020))
    rows = np.exp2(np.arange(5) * 300.0 - 600)
    systems.append((A * rows[:, None] * np.exp2(np.arange(5) * -200.0), rng.uniform(-1, 1, 5) * rows))
    return systems


@pytest.mark.skipif(not TOOL, reason="QUENDLE_SOLVE names no console tool to compare with")
@pytest.mark.parametrize("method", ["gauss-jordan", "cofactor"])
@pytest.mark.parametrize("refine", [False, True])
def test_same_bits_as_the_c_library(method, refine):
    options = (["--cofactor"] if method == "cofactor" else []) + (["--refine"] if refine else [])
    for A, b in generated_systems():
        x, info = quendle.solve_checked(A, b, refine=refine, method=method)
        cx, cinfo = tool_values(A, b, *options)
        assert x.tobytes() == cx.tobytes(), (A.shape, method, refine)
        assert info.rcond == cinfo["rcond"]
        assert info.backward_error == cinfo["backward_error"]
        assert info.forward_error == cinfo["forward_error"]
        assert info.refinement_steps == cinfo["refinement_steps"]
        assert info.bound_trusted == bool(cinfo["bound_trusted"])
        assert info.ill_conditioned == (info.rcond < np.finfo(float).eps)


def test_solutions_and_their_trust():
    A, b = generated_systems()[0]
    x = quendle.solve(A, b)
    assert x.tolist() == [3.0, 0.99999999999999967, 2.0]  # the C library's bits
    assert quendle.solve(A, b, refine=True).tolist() == [3.0, 1.0, 2.0]
    # Agrees with numpy where the system is well conditioned, also for
    # several right-hand sides at once.
    rng = np.random.default_rng(5)
    A = rng.uniform(-1, 1, (30, 30)) + 5 * np.eye(30)
    B = rng.uniform(-1, 1, (30, 3))
    X, infos = quendle.solve_checked(A, B)
    np.testing.assert_allclose(X, np.linalg.solve(A, B), rtol=1e-12, atol=1e-14)
    assert len(infos) == 3 and all(0.01 < i.rcond <= 1 for i in infos)
    np.testing.assert_allclose(quendle.inv(A) @ A, np.eye(30), atol=1e-12)
    # Hilbert 12: solved, and warned about.
    A, b = hilbert(12)
    with pytest.warns(quendle.IllConditionedWarning, match=r"rcond = 2\.6e-17"):
        quendle.solve(A, b)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        quendle.solve(*generated_systems()[0])


def test_errors_are_exceptions_never_nan():
    singular = np.array([[1.0, 2, 3], [2, 4, 6], [1, 1, 1]])
    with pytest.raises(quendle.SingularMatrixError) as e:
        quendle.solve(singular, [1.0, 2, 3])
    assert e.value.status == "MTRX_ESINGULAR" and isinstance(e.value, np.linalg.LinAlgError)
    with pytest.raises(quendle.InfiniteSolutionsError):
        quendle.solve(singular, [1.0, 2, 3], method="cofactor")
    with pytest.raises(quendle.NoSolutionError):
        quendle.solve(singular, [1.0, 5, 3], method="cofactor", refine=True)
    with pytest.raises(quendle.SingularMatrixError):
        quendle.inv(np.zeros((4, 4)))
    with pytest.raises(ValueError):
        quendle.solve(np.ones((2, 3)), [1.0, 2])
    with pytest.raises(ValueError):
        quendle.solve(np.eye(2), [1.0, 2], method="lu")


def test_edges_of_the_range_and_trust():
    """Systems near the ends of the double range are solved to full accuracy
    with finite diagnostics; a NaN or an infinity is refused as SciPy's
    check_finite refuses it; an untrusted bound is 1, never a small number."""
    rng = np.random.default_rng(24)
    for _ in range(20):
        # integers, so that every scaled element is exact, even a subnormal one
        n = int(rng.integers(1, 8))
        A = rng.integers(-1000, 1001, (n, n)) + 4000 * n * np.eye(n)
        x = rng.integers(1, 4, n).astype(float)
        b = A @ x
        for scale in (2.0**-1060, 2.0**-1000, 2.0**1000):
            for method in ("gauss-jordan", "cofactor"):
                y, info = quendle.solve_checked(A * scale, b * scale, method=method)
                assert info.bound_trusted and not info.ill_conditioned
                np.testing.assert_allclose(y, x, rtol=4 * n * np.finfo(float).eps)
                assert np.isfinite([info.rcond, info.backward_error, info.forward_error]).all()
    for bad in (np.nan, np.inf, -np.inf):
        A = np.eye(3)
        A[2, 2] = bad
        for call in (lambda: quendle.solve(A, np.ones(3)), lambda: quendle.inv(A),
                     lambda: quendle.solve_checked(A, np.ones(3), method="cofactor")):
            with pytest.raises(ValueError, match="row 2, column 2"):
                call()
        with pytest.raises(quendle.NonFiniteError) as e:
            quendle.solve(np.eye(3), [1.0, bad, 3.0])
        assert e.value.row == 1 and e.value.status == "MTRX_ENONFINITE"
    with pytest.raises(OverflowError):
        quendle.solve([[1e-300]], [1e300])
    A, b = hilbert(14)
    x, info = quendle.solve_checked(A, b)
    assert info.ill_conditioned and not info.bound_trusted and info.forward_error == 1.0


def test_parse():
    np.testing.assert_array_equal(quendle.parse("3,2,-4,3\n2 3 3 15\n\n5;-3;1;14\n"),
                                  [[3, 2, -4, 3], [2, 3, 3, 15], [5, -3, 1, 14]])
    for text, status, row in [("1 2 3\n4 5\n", "MTRX_ESHAPE", 1), ("1 2\nno number\n", "MTRX_ENONUMBER", 1),
                              ("1e999 1\n", "MTRX_ERANGE", 0), ("words", "MTRX_EEMPTY", None)]:
        with pytest.raises(quendle.ParseError) as e:
            quendle.parse(text)
        assert (e.value.status, e.value.row) == (status, row)


def test_threads_solve_at_once_with_the_same_bits():
    rng = np.random.default_rng(9)
    systems = [(rng.uniform(-1, 1, (200, 200)), rng.uniform(-1, 1, 200)) for _ in range(8)]
    alone = [quendle.solve_checked(A, b, refine=True) for A, b in systems]
    together = [None] * len(systems)

    def work(k):
        together[k] = quendle.solve_checked(*systems[k], refine=True)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(len(systems))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for (x, info), (y, info2) in zip(alone, together):
        assert x.tobytes() == y.tobytes() and info == info2


def integer_system(rng, m, n, r, consistent):
    """[A | b] of small integers, A of rank r exactly (A = U [I_r 0; 0 0] V,
    U and V unimodular), b in A's column space exactly when consistent."""
    def unimodular(k):
        u = np.eye(k)
        for _ in range(2 * k if k > 1 else 0):
            i, j = rng.choice(k, 2, replace=False)
            if rng.integers(4) == 0:
                u[[i, j]] = u[[j, i]]
            elif np.abs(u[i] + 2 * u[j]).max() <= 12:
                u[i] += rng.integers(-2, 3) * u[j]
        return u
    U, V = unimodular(m), unimodular(n)
    A = U[:, :r] @ V[:r, :]
    c = rng.integers(-4, 5, m).astype(float)
    c[r:] = 0
    if not consistent:
        c[r] = 1
    return A, U @ c


def test_solve_general_on_systems_of_known_rank():
    rng = np.random.default_rng(23)
    seen = set()
    for _ in range(400):
        m, n = rng.integers(1, 8, 2)
        r = int(rng.integers(0, min(m, n) + 1))
        consistent = r == m or rng.integers(3) > 0
        A, b = integer_system(rng, m, n, r, consistent)
        seen.add(consistent)
        if not consistent:
            with pytest.raises(quendle.NoSolutionError, match=rf"\(rank {r}; {r + 1} with") as e:
                quendle.solve_general(A, b)
            assert e.value.rank == r and e.value.status == "MTRX_ENOSOLUTION"
            continue
        x, N, rank = quendle.solve_general(A, b)
        assert rank == r == np.linalg.matrix_rank(A) == quendle.matrix_rank(A)
        assert N.shape == (n, n - r)
        scale = np.abs(np.column_stack([A, b])).sum(axis=1).max() * (n + 1) ** 2 * 16 * np.finfo(float).eps
        np.testing.assert_allclose(A @ x, b, rtol=0, atol=scale * max(1, np.abs(x).max()))
        np.testing.assert_allclose(A @ N, 0, rtol=0, atol=scale * max(1, np.abs(N).max(initial=0)))
        # Rows of the free unknowns: the identity in N, zeros in x.
        free = [j for j in range(n) if j not in quendle.rref(A)[1]]
        assert (N[free] == np.eye(n - r)).all() and (x[free] == 0).all()
    assert seen == {True, False}


def test_rref_and_rank():
    R, pivots = quendle.rref([[1, 2, 3], [2, 4, 6], [1, 1, 1]])
    assert pivots == (0, 1)
    np.testing.assert_allclose(R, [[1, 0, -1], [0, 1, 2], [0, 0, 0]], atol=1e-15)
    # A pivot counts as zero at most at the tolerance, by default
    # max(m, n) * eps * ||M||_inf.
    assert quendle.rref(np.diag([1.0, 1e-10]))[1] == (0, 1)
    assert quendle.rref(np.diag([1.0, 1e-10]), tol=1e-9)[1] == (0,)
    assert quendle.matrix_rank(np.diag([1.0, 2 * np.finfo(float).eps])) == 1
    assert quendle.matrix_rank(np.zeros((3, 2))) == 0
    # Against numpy's rank (from the SVD) on matrices of clearly chosen rank.
    rng = np.random.default_rng(7)
    for _ in range(50):
        m, n = rng.integers(1, 30, 2)
        r = int(rng.integers(0, min(m, n) + 1))
        M = rng.uniform(-1, 1, (m, r)) @ rng.uniform(-1, 1, (r, n))
        assert quendle.matrix_rank(M) == np.linalg.matrix_rank(M) == r
    for bad, error in [(np.array([[1.0, np.nan]]), ValueError), (np.ones(3), ValueError),
                       (np.ones((2, 2)) * 1j, TypeError)]:
        with pytest.raises(error):
            quendle.rref(bad)
    with pytest.raises(ValueError):
        quendle.rref(np.eye(2), tol=-1)
    with pytest.raises(OverflowError):
        quendle.rref([[1e300, 1e308], [1e300, -1e308]])
    with pytest.raises(ValueError):
        quendle.solve_general(np.eye(2), [1.0, 2, 3])
    with pytest.raises(ValueError):
        quendle.solve_general(np.ones((2, 0)), [1.0, 2])


def right_hand_sides(rng, a_shape):
    """b shapes numpy.linalg.solve (numpy 1.x) takes beside A of a_shape:
    vectors with one dimension fewer than A, matrices of k columns, with
    stacks that broadcast (size-1 dimensions and missing ones)."""
    n, batch = a_shape[-1], a_shape[:-2]
    shapes = [batch + (n,), batch + (n, int(rng.integers(0, 18))), (2,) + (1,) * len(batch) + (n, 1)]
    if batch:
        shapes.append((1,) * len(batch) + (n, 3))
    if len(batch) != 1:  # (a stack of vectors beside a stack of one dimension)
        shapes.append((n, 2))
    return shapes


def test_stacks_and_many_columns_as_numpy_shapes_them():
    """Against numpy.linalg.solve on generated stacks, shapes and real
    dtypes: the same shape, float64 always, values as numpy's; and each
    column with exactly the bits of its own system solved alone."""
    rng = np.random.default_rng(25)
    dtypes = [np.float64, np.float32, np.float16, np.int64, np.int32, np.uint8, np.bool_]
    for trial in range(60):
        n = int(rng.integers(1, 7))
        a_shape = [(n, n), (3, n, n), (2, 1, n, n), (1, 2, n, n)][trial % 4]
        dtype = dtypes[trial % 5]  # (A regular in each: no bool, no wrapped uint8)
        A = (rng.integers(-5, 6, a_shape) + 12 * np.eye(n)).astype(dtype)
        for b_shape in right_hand_sides(rng, a_shape):
            B = rng.integers(-9, 10, b_shape).astype(dtypes[(trial + 3) % len(dtypes)])
            want = np.linalg.solve(A.astype(np.float64), B.astype(np.float64))
            got = quendle.solve(A, B)
            assert got.dtype == np.float64 and got.shape == want.shape, (a_shape, b_shape)
            np.testing.assert_allclose(got, want, rtol=1e-12, atol=1e-12)
            # Column by column, system by system: the same bits alone.
            vectors = B.ndim == A.ndim - 1
            Bm, Xb = (B[..., None], got[..., None]) if vectors else (B, got)
            batch = Xb.shape[:-2]
            Ab, Bb = np.broadcast_to(A, batch + (n, n)), np.broadcast_to(Bm, Xb.shape)
            for idx in np.ndindex(*batch):
                for c in range(Bb.shape[-1]):
                    alone = quendle.solve(Ab[idx], Bb[idx][:, c])
                    assert alone.tobytes() == np.ascontiguousarray(Xb[idx][:, c]).tobytes()
    # What numpy refuses for its shapes, refused alike.
    for A, B in [(np.eye(3), np.ones((2, 3))), (np.ones((2, 3, 3)), np.ones(3)),
                 (np.ones((2, 3, 3)), np.ones((3, 3, 1))), (np.eye(3), np.ones(4))]:
        with pytest.raises(ValueError):
            np.linalg.solve(A, B)
        with pytest.raises(ValueError):
            quendle.solve(A, B)
    for A in (np.ones(3), np.ones((2, 3)), np.ones((2, 2, 3))):
        with pytest.raises(np.linalg.LinAlgError):
            np.linalg.solve(A, np.ones(A.shape[-1]))
        with pytest.raises(quendle.ShapeError) as e:
            quendle.solve(A, np.ones(A.shape[-1]))
        assert isinstance(e.value, np.linalg.LinAlgError) and isinstance(e.value, ValueError)
    assert quendle.solve(np.ones((0, 3, 3)), np.ones((0, 3))).shape == (0, 3)
    assert quendle.solve(np.eye(2), np.ones((2, 0))).shape == (2, 0)


@pytest.mark.skipif(not TOOL, reason="QUENDLE_SOLVE names no console tool to compare with")
@pytest.mark.parametrize("refine", [False, True])
def test_many_columns_and_the_inverse_have_the_c_library_bits(refine):
    """Every column of one elimination, and of the inverse (the identity's
    columns), as the C library's console tool solves it alone."""
    for A, b in generated_systems():
        n = len(b)
        rng = np.random.default_rng(n)
        B = np.column_stack([b, b * rng.uniform(-2, 2, n), b * 2.0**-1000, np.zeros(n)])
        X, infos = quendle.solve_checked(A, B, refine=refine)
        for c in range(B.shape[1]):
            cx, cinfo = tool_values(A, B[:, c], *(["--refine"] if refine else []))
            assert X[:, c].tobytes() == cx.tobytes(), (n, c, refine)
            assert (infos[c].rcond, infos[c].forward_error, infos[c].refinement_steps) == \
                (cinfo["rcond"], cinfo["forward_error"], cinfo["refinement_steps"])
        if not refine and n <= 17 and 2.0**-500 < np.abs(A[A != 0]).min() and np.abs(A).max() < 2.0**500:
            inverse = quendle.inv(A)
            for c in range(n):
                assert inverse[:, c].tobytes() == tool_values(A, np.eye(n)[:, c])[0].tobytes()


def test_refused_before_any_work_and_the_version():
    """Complex and non-numeric input is a TypeError even where the system
    would fail otherwise (singular, NaN); the version is the project's."""
    singular = np.zeros((2, 2))
    for call in (lambda: quendle.solve(singular, [1 + 1j, 2]),
                 lambda: quendle.solve(singular * 1j, [1.0, 2]),
                 lambda: quendle.solve(singular, ["1", "2"]),
                 lambda: quendle.solve(np.array([[1, None], [0, 1]]), [1.0, np.nan]),
                 lambda: quendle.solve_checked(singular, np.array([1, 2], dtype=object)),
                 lambda: quendle.inv(np.array([["1", "0"], ["0", "1"]])),
                 lambda: quendle.solve(np.eye(2, dtype=np.longdouble) if np.finfo(np.longdouble).bits > 64
                                       else np.eye(2) * 1j, [1.0, 2]),
                 lambda: quendle.solve_general(np.eye(2), [1j, 2]),
                 lambda: quendle.rref([["a", "b"]])):
        with pytest.raises(TypeError):
            call()
    x = quendle.solve(np.eye(3, dtype=np.float32) * 4, np.arange(3, dtype=np.int8))
    assert x.dtype == np.float64 and x.tolist() == [0.0, 0.25, 0.5]
    with pytest.raises(quendle.NonFiniteError):
        quendle.solve(np.eye(2), [[1.0, np.inf], [2.0, 3.0]])
    cmake = open(os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt")).read()
    assert quendle.__version__ == re.search(r"project\(\s*quendle\s+VERSION\s+([0-9.]+)", cmake).group(1)
