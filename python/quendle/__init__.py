"""Quendle's matrix library for numpy.

Linear systems solved by Gauss-Jordan elimination with full pivoting (or
through the adjugate and the determinant), with the same bits on every
platform, processor and thread count, whatever numpy's own BLAS does; each
solution can come with its exact reciprocal condition number, error bounds
and iterative refinement.

    >>> import numpy as np, quendle
    >>> A = np.array([[3.0, 2, -4], [2, 3, 3], [5, -3, 1]])
    >>> quendle.solve(A, [3.0, 15, 14])
    array([3., 1., 2.])

As numpy.linalg.solve, solve takes many right-hand sides at once (b of
shape (n, k), all of them in one elimination) and stacks of systems (A of
shape (..., n, n), b of shape (..., n) or (..., n, k), broadcast as numpy
broadcasts them); inv takes stacks too. Input may be of any real type
(bool, integers, float16, float32, float64): it is computed in double and
the result is float64. Complex and non-numeric input (strings, objects) is
refused with TypeError before any work.

Systems of any shape have their general solution (solve_general), and any
matrix its reduced row echelon form (rref) and rank (matrix_rank).

Errors are exceptions that carry the library's status and row; a singular
system raises SingularMatrixError (a numpy.linalg.LinAlgError), never a
silent NaN, and a NaN or an infinity in the input NonFiniteError (a
ValueError), as SciPy's check_finite refuses them. The calls release the
GIL, so threads solve in parallel.
"""

import ctypes
import math
import warnings
from dataclasses import dataclass

import numpy as np

from . import _library as _c

try:
    from ._version import __version__  # written when the package is built
except ImportError:  # (the sources themselves, not built)
    from importlib import metadata as _metadata

    try:
        __version__ = _metadata.version("quendle")
    except _metadata.PackageNotFoundError:
        __version__ = "unknown"

__all__ = [
    "solve", "solve_checked", "inv", "parse", "solve_general", "rref", "matrix_rank", "SolveInfo",
    "QuendleError", "SingularMatrixError", "NoSolutionError", "InfiniteSolutionsError",
    "ParseError", "NonFiniteError", "SolutionOverflowError", "ShapeError", "IllConditionedWarning",
    "__version__",
]

_METHODS = {"gauss-jordan": 0, "cofactor": _c.MTRX_COFACTOR}


class QuendleError(Exception):
    """A failure the library reported: `status` is the name of its status
    (such as "MTRX_ESINGULAR"), `code` its value, `row` the matrix row
    concerned (from 0) where there is one, and the message its sentence."""

    def __init__(self, message, status, code, row=None):
        super().__init__(message)
        self.status = status
        self.code = code
        self.row = row


class SingularMatrixError(QuendleError, np.linalg.LinAlgError):
    """The system has no unique solution (a zero pivot, or a zero determinant)."""


class NoSolutionError(SingularMatrixError):
    """A system whose equations contradict each other (the cofactor method;
    solve_general, which sets `rank`, the rank of A)."""


class InfiniteSolutionsError(SingularMatrixError):
    """A singular system with infinitely many solutions (cofactor method)."""


class ParseError(QuendleError, ValueError):
    """Text that holds no matrix, or a malformed one."""


class NonFiniteError(QuendleError, ValueError):
    """A NaN or an infinity in the coefficients or the constants (`row` is its
    row, the message names its row and column); refused before any work."""


class SolutionOverflowError(QuendleError, OverflowError):
    """A solution, or an elimination on the way to one, has an element too
    large for a double (`row` is the solution's index where there is one)."""


class ShapeError(np.linalg.LinAlgError, ValueError):
    """A that is not a square matrix, or a stack of them, as numpy.linalg's
    LinAlgError says (and a ValueError, as quendle said before)."""


class IllConditionedWarning(RuntimeWarning):
    """The matrix is so close to singular (rcond below the machine epsilon)
    that the solution may carry no correct digit."""


@dataclass(frozen=True)
class SolveInfo:
    """How far a solution can be trusted (mtrx_solve_info; mtrx_solve_checked(3)).

    Whatever the method, the diagnostics come from the inverse Gauss-Jordan
    elimination makes. forward_error is a bound when bound_trusted is True,
    which it always is unless ill_conditioned: an ill-conditioned matrix's
    bound is trusted only while it stays below (n + 1) / max(10, sqrt(n)),
    that is while the condition number of the solution stays below
    1 / (max(10, sqrt(n)) eps). Otherwise forward_error is 1: no digit of x
    is promised. No field is NaN or infinite.
    """

    rcond: float  # 1 / (||A||_1 ||A^-1||_1), from elimination's inverse
    backward_error: float  # max_i |b - A x|_i / (|A| |x| + |b|)_i
    forward_error: float  # bound on ||x - x_exact||_inf / ||x||_inf, or 1 when not trusted
    ill_conditioned: bool  # rcond < machine epsilon
    refinement_steps: int
    bound_trusted: bool  # forward_error is a bound


_ERRORS = {
    _c.MTRX_ESINGULAR: SingularMatrixError,
    _c.MTRX_ENOSOLUTION: NoSolutionError,
    _c.MTRX_EINFINITE: InfiniteSolutionsError,
    _c.MTRX_EEMPTY: ParseError,
    _c.MTRX_ENONUMBER: ParseError,
    _c.MTRX_EMALFORMED: ParseError,
    _c.MTRX_ERANGE: ParseError,
    _c.MTRX_ESHAPE: ParseError,
    _c.MTRX_ESYNTAX: ParseError,
    _c.MTRX_ENONFINITE: NonFiniteError,
}
_WITH_ROW = (_c.MTRX_ENONUMBER, _c.MTRX_EMALFORMED, _c.MTRX_ERANGE, _c.MTRX_ESHAPE, _c.MTRX_ESYNTAX,
             _c.MTRX_ENONFINITE)


def _raise(code, err, solving=False):
    """Raises the exception for the library's status `code`. With `solving`
    (from a solver or an elimination), MTRX_ERANGE is a result out of range,
    SolutionOverflowError, not a number in a text."""
    message = err.message.decode("utf-8", "replace")
    if code == _c.MTRX_ENOMEM:
        raise MemoryError(message)
    name = _c.STATUS_NAMES[code] if 0 <= code < len(_c.STATUS_NAMES) else str(code)
    kind = SolutionOverflowError if solving and code == _c.MTRX_ERANGE else _ERRORS.get(code, QuendleError)
    raise kind(message, name, code, err.row if code in _WITH_ROW else None)


def _rows(a):
    """Row pointers into the C-contiguous 2-D float64 array `a`."""
    addresses = a.ctypes.data + np.arange(a.shape[0], dtype=np.uintp) * np.uintp(a.strides[0])
    return addresses, addresses.ctypes.data_as(_c.c_double_pp)


def _real(x, name):
    """x as a new C-contiguous float64 array. Any real type whose values a
    double holds is taken (bool, integers, float16 to float64); complex and
    anything else (strings, objects, a wider long double) is a TypeError."""
    a = np.asarray(x)
    kind = a.dtype.kind
    if kind == "c":
        raise TypeError(f"{name} is complex: quendle works on real matrices only")
    if kind not in "biuf" or (kind == "f" and a.dtype.itemsize > 8):
        raise TypeError(f"{name} holds {a.dtype}, not real numbers "
                        "(bool, integers or float16 to float64)")
    return np.array(a, dtype=np.float64, order="C", copy=True)


def _square_stack(A):
    """A as float64, a square matrix or a stack of them (..., n, n)."""
    a = _real(A, "A")
    if a.ndim < 2:
        raise ShapeError(f"A of shape {a.shape} is no matrix: a square matrix, or a stack of "
                         "them (..., n, n), is needed")
    if a.shape[-1] != a.shape[-2]:
        raise ShapeError(f"A must be square in its last two dimensions, not of shape {a.shape} "
                         "(solve_general takes any shape)")
    return a


def _square(A):
    a = _square_stack(A)
    if a.ndim != 2:
        raise ValueError(f"A must be one square matrix, not a stack of shape {a.shape}")
    return a


def _finite_matrix(M, name):
    """M as a new C-contiguous 2-D float64 array of finite values."""
    a = _real(M, name)
    if a.ndim != 2:
        raise ValueError(f"{name} must be a matrix, not of shape {a.shape}")
    if not np.isfinite(a).all():
        raise ValueError(f"{name} must not hold NaN or infinity")
    return a


def _record(a):
    """The mtrx_t over the 2-D array `a`, and what keeps its row pointers."""
    keep, rows = _rows(a)
    return keep, _c.Matrix(a.shape[0], a.shape[1], a.shape[0], a.shape[1], rows)


def _info(i):
    return SolveInfo(i.rcond, i.backward_error, i.forward_error, bool(i.ill_conditioned),
                     i.refinement_steps, bool(i.bound_trusted))


def _taken(m, shape):
    """The values of the library's record `m` (a pointer) as a new array of
    `shape` (its rows x cols), the record released."""
    try:
        result = np.empty(shape)
        if shape[0] and shape[1]:
            rows = m.contents.mtrx
            for i in range(shape[0]):
                result[i] = np.ctypeslib.as_array(rows[i], shape=(shape[1],))
    finally:
        _c.mtrx_free(m)
    return result


def _solve_many(a, B, flags=None):
    """A X = B for the float64 matrices a (n x n) and B (n x k) in one
    elimination (mtrx_solve_many_checked with `flags`, or mtrx_solve_many
    with None): X and, when checked, one SolveInfo per column."""
    B = np.ascontiguousarray(B)
    n, k = B.shape
    keep_a, ra = _record(a)
    keep_b, rb = _record(B)
    x = ctypes.POINTER(_c.Matrix)()
    err = _c.Error()
    if flags is None:
        info = None
        code = _c.mtrx_solve_many(ctypes.byref(ra), ctypes.byref(rb), ctypes.byref(x),
                                  ctypes.byref(err))
    else:
        info = (_c.SolveInfo * max(k, 1))()
        code = _c.mtrx_solve_many_checked(ctypes.byref(ra), ctypes.byref(rb), flags,
                                          ctypes.byref(x), info, ctypes.byref(err))
    del keep_a, keep_b
    if code != _c.MTRX_OK:
        _raise(code, err, solving=True)
    X = _taken(x, (n, k))
    return X, None if info is None else [_info(info[c]) for c in range(k)]


def _solve_one(a, b, flags):
    """The system [a | b] by mtrx_solve_checked: x and its SolveInfo."""
    n = a.shape[0]
    aug = np.empty((n, n + 1), dtype=np.float64)
    aug[:, :n] = a
    aug[:, n] = b
    keep, rows = _rows(aug)
    record = _c.Matrix(n, n + 1, n, n + 1, rows)
    x = _c.c_double_p()
    info = _c.SolveInfo()
    err = _c.Error()
    code = _c.mtrx_solve_checked(ctypes.byref(record), flags, ctypes.byref(x), ctypes.byref(info),
                                 ctypes.byref(err))
    del keep
    if code != _c.MTRX_OK:
        _raise(code, err, solving=True)
    try:
        solution = np.ctypeslib.as_array(x, shape=(n,)).copy() if n else np.empty(0)
    finally:
        _c.mtrx_free_vector(x)
    return solution, _info(info)


def _columns(a, B, flags, method):
    """The columns of B (n x k) solved with the matrix a: by one elimination,
    or by cofactors one column at a time. X and a SolveInfo per column."""
    if method == "gauss-jordan":
        return _solve_many(a, B, flags)
    solved = [_solve_one(a, B[:, c], flags | _c.MTRX_COFACTOR) for c in range(B.shape[1])]
    X = np.stack([x for x, _ in solved], axis=1) if solved else np.empty(B.shape)
    return X, [i for _, i in solved]


def _flags(refine, method):
    if method not in _METHODS:
        raise ValueError(f"method must be one of {sorted(_METHODS)}, not {method!r}")
    return _c.MTRX_REFINE if refine else 0


def _right_hand_sides(a, B):
    """b as float64 and how it stands beside the stack a (..., n, n), by
    numpy.linalg.solve's rules (numpy 1.x): b is a stack of vectors
    (..., n) when it has one dimension fewer than a, else of matrices
    (..., n, k). Returns b as (..., n, k), the broadcast batch shape, and
    whether b was vectors."""
    b = _real(B, "b")
    n = a.shape[-1]
    vectors = b.ndim == a.ndim - 1
    if vectors:
        if b.shape[-1] != n:
            raise ValueError(f"b must hold vectors of {n} values beside A of shape {a.shape}, "
                             f"not of shape {b.shape}")
        b = b[..., None]
    elif b.ndim < 2 or b.shape[-2] != n:
        raise ValueError(f"b must be of shape (..., {n}) or (..., {n}, k) beside A of shape "
                         f"{a.shape}, not {b.shape}")
    try:
        batch = np.broadcast_shapes(a.shape[:-2], b.shape[:-2])
    except ValueError:
        raise ValueError(f"the stacks of A {a.shape} and b {np.shape(B)} do not broadcast") from None
    return b, batch, vectors


def _solve_stack(A, B, flags, method):
    """X for A X = B as numpy.linalg.solve shapes it, and the SolveInfo of
    every column solved (a flat list)."""
    a = _square_stack(A)
    b, batch, vectors = _right_hand_sides(a, B)
    n, k = a.shape[-1], b.shape[-1]
    count = math.prod(batch)
    if count == 0:
        X, infos = np.empty(batch + (n, k)), []
    elif math.prod(a.shape[:-2]) == 1:
        # One matrix for every system: all their columns in one elimination
        # (each column's bits are its own whatever stands beside it).
        bs = np.broadcast_to(b, batch + (n, k)).reshape(count, n, k)
        X, infos = _columns(a.reshape(n, n), bs.transpose(1, 0, 2).reshape(n, count * k), flags,
                            method)
        X = X.reshape(n, count, k).transpose(1, 0, 2)
    else:
        As = np.broadcast_to(a, batch + (n, n)).reshape(count, n, n)
        Bs = np.broadcast_to(b, batch + (n, k)).reshape(count, n, k)
        X, infos = np.empty((count, n, k)), []
        for s in range(count):
            X[s], more = _columns(np.ascontiguousarray(As[s]), Bs[s], flags, method)
            infos += more
    X = X.reshape(batch + (n, k))
    return (np.ascontiguousarray(X[..., 0]) if vectors else X), infos


def solve_checked(A, b, refine=False, method="gauss-jordan"):
    """Solves A x = b and tells how far x can be trusted.

    A is a square matrix, b a vector or a matrix of k columns, all of them
    solved in one elimination (the cofactor method takes them one by one).
    `method` is "gauss-jordan" (elimination with full pivoting) or
    "cofactor" (the adjugate over the determinant up to 3 x 3, the
    factorisation it comes from beyond); with `refine`, the solution is
    refined with residuals in twice the working precision. Systems near the
    ends of the double range are scaled by powers of two first. Returns
    (x, info), x a new float64 array; for a matrix b, info is a list with
    one SolveInfo per column. Each column of x, refined or not, has the bits
    of the C library's mtrx_solve_checked on that column alone, on every
    platform. NonFiniteError (a ValueError) for a NaN or an infinity in A or
    b, SolutionOverflowError (an OverflowError) for a solution beyond a
    double's range. Stacks of systems: solve.
    """
    flags = _flags(refine, method)
    a = _square(A)
    rhs = _real(b, "b")
    if rhs.ndim not in (1, 2) or rhs.shape[0] != a.shape[0]:
        raise ValueError(f"b must have {a.shape[0]} rows, not shape {rhs.shape}")
    X, infos = _columns(a, rhs.reshape(a.shape[0], -1) if rhs.ndim == 1 else rhs, flags, method)
    if rhs.ndim == 1:
        return X[:, 0], infos[0]
    return X, infos


def solve(A, b, refine=False, method="gauss-jordan"):
    """Solves A x = b (see solve_checked) and returns x, a new float64
    array. As numpy.linalg.solve: A may be a stack (..., n, n), b of shape
    (..., n) when it has one dimension fewer than A, else (..., n, k), the
    stacks broadcast against each other; one matrix's columns, however many
    and from however many systems, are solved in one elimination. Warns with
    IllConditionedWarning when a matrix is so close to singular that x may
    carry no correct digit."""
    x, infos = _solve_stack(A, b, _flags(refine, method), method)
    for i in infos:
        if i.ill_conditioned:
            warnings.warn(IllConditionedWarning(
                f"Matrix is close to singular (rcond = {i.rcond:.1e}); "
                "the solution may be inaccurate."), stacklevel=2)
            break
    return x


def inv(A):
    """The inverse of the square matrix A (or of each of a stack of them,
    (..., n, n)), as a new float64 array: the identity's columns solved in
    one elimination, each with the bits solve gives it; SingularMatrixError
    when a pivot is zero, NonFiniteError (a ValueError) for a NaN or an
    infinity in A."""
    a = _square_stack(A)
    n = a.shape[-1]
    stack = a.reshape(-1, n, n)
    result = np.empty(stack.shape)
    for s in range(stack.shape[0]):
        result[s] = _solve_many(np.ascontiguousarray(stack[s]), np.eye(n))[0]
    return result.reshape(a.shape)


def parse(text):
    """A matrix from text by the library's reader: one row per line, numbers
    separated by blanks, commas or anything that cannot begin one, blank
    lines passed over. Returns a new 2-D array; ParseError (with `row`) when
    a line holds no number or a malformed one, or the rows differ in length."""
    data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
    out = ctypes.POINTER(_c.Matrix)()
    err = _c.Error()
    code = _c.mtrx_parse(data, len(data), ctypes.byref(out), ctypes.byref(err))
    if code != _c.MTRX_OK:
        _raise(code, err)
    try:
        m = out.contents
        result = np.empty((m.rows, m.cols))
        for i in range(m.rows):
            result[i] = np.ctypeslib.as_array(m.mtrx[i], shape=(m.cols,))
    finally:
        _c.mtrx_free(out)
    return result


def rref(M, tol=None):
    """The reduced row echelon form of the matrix M, of any shape: (R, pivots),
    R a new array, pivots the tuple of pivot columns. Gauss-Jordan elimination
    with the columns taken in order, in each the largest element of the rows
    still without a pivot as pivot; a pivot counts as zero when |p| <= tol,
    by default max(m, n) * eps * ||M||_inf (mtrx_rref(3))."""
    a = _finite_matrix(M, "M")
    if tol is None:
        t = -1.0
    else:
        t = float(tol)
        if not t >= 0:
            raise ValueError(f"tol must be a number >= 0, not {tol!r}")
    keep, record = _record(a)
    out = ctypes.POINTER(_c.Matrix)()
    pivots = ctypes.POINTER(ctypes.c_size_t)()
    rank = ctypes.c_size_t()
    err = _c.Error()
    code = _c.mtrx_rref(ctypes.byref(record), t, ctypes.byref(out), ctypes.byref(pivots),
                        ctypes.byref(rank), ctypes.byref(err))
    del keep
    if code != _c.MTRX_OK:
        _raise(code, err, solving=True)
    try:
        m = out.contents
        result = np.zeros(a.shape)
        for i in range(m.rows if m.cols else 0):
            result[i] = np.ctypeslib.as_array(m.mtrx[i], shape=(m.cols,))
        columns = tuple(int(pivots[k]) for k in range(rank.value))
    finally:
        _c.mtrx_free(out)
        _c.mtrx_free_pivots(pivots)
    return result, columns


def matrix_rank(A, tol=None):
    """The rank of the matrix A: the number of pivots of rref(A, tol)."""
    return len(rref(A, tol)[1])


def solve_general(A, b):
    """Every solution of A x = b, for A of any shape m x n (n >= 1) and b of
    m values: (x, N, rank), x a particular solution (its free unknowns 0), N
    the n x (n - rank) null space of A, one column per free unknown (1 at
    it, 0 at the other free ones), so that x + N t solves the system for
    every t. From the reduced row echelon form of [A b] (see rref), A's
    pivots at A's default tolerance and the constants at that of [A b];
    raises NoSolutionError (with `rank`) when the equations are
    inconsistent."""
    a = _finite_matrix(A, "A")
    m, n = a.shape
    if n == 0:
        raise ValueError("A must have a column at least")
    rhs = _real(b, "b")
    if rhs.shape != (m,):
        raise ValueError(f"b must be a vector of {m} values, not of shape {rhs.shape}")
    if not np.isfinite(rhs).all():
        raise ValueError("b must not hold NaN or infinity")
    aug = np.empty((m, n + 1))
    aug[:, :n] = a
    aug[:, n] = rhs
    keep, record = _record(aug)
    g = _c.GeneralSolution()
    err = _c.Error()
    code = _c.mtrx_solve_general(ctypes.byref(record), ctypes.byref(g), ctypes.byref(err))
    del keep
    if code == _c.MTRX_ENOSOLUTION:
        e = NoSolutionError(err.message.decode("utf-8", "replace"), _c.STATUS_NAMES[code], code)
        e.rank = g.rank
        raise e
    if code != _c.MTRX_OK:
        _raise(code, err, solving=True)
    try:
        x = np.ctypeslib.as_array(g.particular, shape=(n,)).copy()
        k = g.nfree
        if k:
            N = np.ctypeslib.as_array(g.null_space, shape=(k * n,)).reshape(k, n).T.copy()
        else:
            N = np.empty((n, 0))
        rank = int(g.rank)
    finally:
        _c.mtrx_general_free(ctypes.byref(g))
    return x, N, rank
