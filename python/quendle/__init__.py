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

Systems of any shape have their general solution (solve_general), and any
matrix its reduced row echelon form (rref) and rank (matrix_rank).

Errors are exceptions that carry the library's status and row; a singular
system raises SingularMatrixError (a numpy.linalg.LinAlgError), never a
silent NaN, and a NaN or an infinity in the input NonFiniteError (a
ValueError), as SciPy's check_finite refuses them. The calls release the
GIL, so threads solve in parallel.
"""

import ctypes
import warnings
from dataclasses import dataclass

import numpy as np

from . import _library as _c

__all__ = [
    "solve", "solve_checked", "inv", "parse", "solve_general", "rref", "matrix_rank", "SolveInfo",
    "QuendleError", "SingularMatrixError", "NoSolutionError", "InfiniteSolutionsError",
    "ParseError", "NonFiniteError", "SolutionOverflowError", "IllConditionedWarning",
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


def _square(A):
    a = np.asarray(A)
    if np.iscomplexobj(a):
        raise TypeError("quendle works on real matrices only")
    a = np.array(a, dtype=np.float64, order="C", copy=True)
    if a.ndim != 2 or a.shape[0] != a.shape[1]:
        raise ValueError(f"A must be a square matrix, not of shape {a.shape} "
                         "(solve_general takes any shape)")
    return a


def _finite_matrix(M, name):
    """M as a new C-contiguous 2-D float64 array of finite values."""
    a = np.asarray(M)
    if np.iscomplexobj(a):
        raise TypeError("quendle works on real matrices only")
    a = np.array(a, dtype=np.float64, order="C", copy=True)
    if a.ndim != 2:
        raise ValueError(f"{name} must be a matrix, not of shape {a.shape}")
    if not np.isfinite(a).all():
        raise ValueError(f"{name} must not hold NaN or infinity")
    return a


def _record(a):
    """The mtrx_t over the 2-D array `a`, and what keeps its row pointers."""
    keep, rows = _rows(a)
    return keep, _c.Matrix(a.shape[0], a.shape[1], a.shape[0], a.shape[1], rows)


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
        _c.free(x)
    return solution, SolveInfo(info.rcond, info.backward_error, info.forward_error,
                               bool(info.ill_conditioned), info.refinement_steps,
                               bool(info.bound_trusted))


def solve_checked(A, b, refine=False, method="gauss-jordan"):
    """Solves A x = b and tells how far x can be trusted.

    A is a square matrix, b a vector (or a matrix whose columns are solved
    one by one). `method` is "gauss-jordan" (elimination with full pivoting)
    or "cofactor" (the adjugate over the determinant up to 3 x 3, the
    factorisation it comes from beyond); with `refine`, the solution is
    refined with residuals in twice the working precision. Systems near the
    ends of the double range are scaled by powers of two first. Returns
    (x, info), x a new array; for a matrix b, info is a list with one
    SolveInfo per column. Without refinement x has the bits of the C
    library's solver, on every platform. NonFiniteError (a ValueError) for a
    NaN or an infinity in A or b, SolutionOverflowError (an OverflowError)
    for a solution beyond a double's range.
    """
    if method not in _METHODS:
        raise ValueError(f"method must be one of {sorted(_METHODS)}, not {method!r}")
    flags = _METHODS[method] | (_c.MTRX_REFINE if refine else 0)
    a = _square(A)
    rhs = np.asarray(b, dtype=np.float64)
    if rhs.ndim not in (1, 2) or rhs.shape[0] != a.shape[0]:
        raise ValueError(f"b must have {a.shape[0]} rows, not shape {rhs.shape}")
    if rhs.ndim == 1:
        return _solve_one(a, rhs, flags)
    columns = [_solve_one(a, rhs[:, k], flags) for k in range(rhs.shape[1])]
    x = np.stack([c[0] for c in columns], axis=1) if columns else np.empty(rhs.shape)
    return x, [c[1] for c in columns]


def solve(A, b, refine=False, method="gauss-jordan"):
    """Solves A x = b (see solve_checked) and returns x, a new array. Warns
    with IllConditionedWarning when A is so close to singular that x may
    carry no correct digit."""
    x, info = solve_checked(A, b, refine=refine, method=method)
    for i in info if isinstance(info, list) else [info]:
        if i.ill_conditioned:
            warnings.warn(IllConditionedWarning(
                f"Matrix is close to singular (rcond = {i.rcond:.1e}); "
                "the solution may be inaccurate."), stacklevel=2)
            break
    return x


def inv(A):
    """The inverse of the square matrix A, by Gauss-Jordan elimination with
    full pivoting (the block the elimination leaves); SingularMatrixError
    when a pivot is zero, NonFiniteError (a ValueError) for a NaN or an
    infinity in A."""
    a = _square(A)
    n = a.shape[0]
    b = np.zeros(n)
    keep, rows = _rows(a)
    err = _c.Error()
    code = _c.mtrx_reduce(rows, b.ctypes.data_as(_c.c_double_p), n, ctypes.byref(err))
    del keep
    if code != _c.MTRX_OK:
        _raise(code, err)
    return a


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
        _c.free(pivots)
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
    rhs = np.asarray(b)
    if np.iscomplexobj(rhs):
        raise TypeError("quendle works on real matrices only")
    rhs = np.asarray(rhs, dtype=np.float64)
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
