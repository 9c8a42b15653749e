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
    "solve", "solve_checked", "inv", "parse", "SolveInfo",
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
    """A singular system whose equations contradict each other (cofactor method)."""


class InfiniteSolutionsError(SingularMatrixError):
    """A singular system with infinitely many solutions (cofactor method)."""


class ParseError(QuendleError, ValueError):
    """Text that holds no matrix, or a malformed one."""


class NonFiniteError(QuendleError, ValueError):
    """A NaN or an infinity in the coefficients or the constants (`row` is its
    row, the message names its row and column); refused before any work."""


class SolutionOverflowError(QuendleError, OverflowError):
    """The system's solution has an element too large for a double (`row` is
    its index)."""


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
    _c.MTRX_ENONFINITE: NonFiniteError,
}
_WITH_ROW = (_c.MTRX_ENONUMBER, _c.MTRX_EMALFORMED, _c.MTRX_ERANGE, _c.MTRX_ESHAPE,
             _c.MTRX_ENONFINITE)


def _raise(code, err, solving=False):
    """The exception for the library's status `code`; from a solver, an
    MTRX_ERANGE is a solution out of range, not a number in a text."""
    message = err.message.decode("ascii", "replace")
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
        raise ValueError(f"A must be a square matrix, not of shape {a.shape}")
    return a


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
