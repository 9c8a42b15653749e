"""The shared library and the C declarations of mtrx.h that the package uses.

The library is looked for beside this file (where `pip install` puts it),
then at the path in QUENDLE_MTRX_LIBRARY. ctypes releases the GIL for every
call, so threads solve in parallel. What the library allocates goes back
through the library's own release functions (mtrx_free, mtrx_free_vector,
mtrx_free_pivots, mtrx_general_free), never through a C runtime's free:
on Windows the library's C runtime need not be Python's.
"""

import ctypes
import os
import sys
from pathlib import Path

c_double_p = ctypes.POINTER(ctypes.c_double)
c_double_pp = ctypes.POINTER(c_double_p)


class Matrix(ctypes.Structure):
    """mtrx_t."""

    _fields_ = [
        ("rows", ctypes.c_size_t),
        ("cols", ctypes.c_size_t),
        ("maxrows", ctypes.c_size_t),
        ("maxcols", ctypes.c_size_t),
        ("mtrx", c_double_pp),
    ]


class Error(ctypes.Structure):
    """mtrx_error."""

    _fields_ = [
        ("status", ctypes.c_int),
        ("row", ctypes.c_size_t),
        ("count", ctypes.c_size_t),
        ("expected", ctypes.c_size_t),
        ("message", ctypes.c_char * 128),
        ("line", ctypes.c_size_t),
        ("column", ctypes.c_size_t),
    ]


class SolveInfo(ctypes.Structure):
    """mtrx_solve_info."""

    _fields_ = [
        ("rcond", ctypes.c_double),
        ("backward_error", ctypes.c_double),
        ("forward_error", ctypes.c_double),
        ("ill_conditioned", ctypes.c_int),
        ("refinement_steps", ctypes.c_int),
        ("bound_trusted", ctypes.c_int),
    ]


class GeneralSolution(ctypes.Structure):
    """mtrx_general_solution."""

    _fields_ = [
        ("unknowns", ctypes.c_size_t),
        ("rank", ctypes.c_size_t),
        ("consistent", ctypes.c_int),
        ("tolerance", ctypes.c_double),
        ("constants_tolerance", ctypes.c_double),
        ("nfree", ctypes.c_size_t),
        ("particular", c_double_p),
        ("free_unknowns", ctypes.POINTER(ctypes.c_size_t)),
        ("null_space", c_double_p),
    ]


# enum mtrx_status, in the header's order, and the flags.
STATUS_NAMES = (
    "MTRX_OK", "MTRX_ENOMEM", "MTRX_EEMPTY", "MTRX_ENONUMBER", "MTRX_EMALFORMED",
    "MTRX_ERANGE", "MTRX_ESHAPE", "MTRX_ESINGULAR", "MTRX_EINVAL", "MTRX_ENOSOLUTION",
    "MTRX_EINFINITE", "MTRX_ESYNTAX", "MTRX_ENONFINITE",
)
(MTRX_OK, MTRX_ENOMEM, MTRX_EEMPTY, MTRX_ENONUMBER, MTRX_EMALFORMED, MTRX_ERANGE, MTRX_ESHAPE,
 MTRX_ESINGULAR, MTRX_EINVAL, MTRX_ENOSOLUTION, MTRX_EINFINITE, MTRX_ESYNTAX,
 MTRX_ENONFINITE) = range(len(STATUS_NAMES))
MTRX_REFINE = 1
MTRX_COFACTOR = 2

_NAMES = {"win32": ("mtrx.dll",), "darwin": ("libmtrx.0.dylib",)}.get(sys.platform, ("libmtrx.so.0",))


def _load():
    here = Path(__file__).resolve().parent
    candidates = [here / name for name in _NAMES]
    if os.environ.get("QUENDLE_MTRX_LIBRARY"):
        candidates.append(Path(os.environ["QUENDLE_MTRX_LIBRARY"]))
    for path in candidates:
        if path.is_file():
            return ctypes.CDLL(str(path))
    raise ImportError(
        "Quendle's shared library is not installed with the package (looked for "
        + ", ".join(str(p) for p in candidates)
        + "); install it with `pip install --no-build-isolation ./python` from the source tree, "
        "or set QUENDLE_MTRX_LIBRARY to a libmtrx built with -DBUILD_SHARED_LIBS=ON"
    )


lib = _load()


def _declare(name, result, *arguments):
    function = getattr(lib, name)
    function.restype = result
    function.argtypes = list(arguments)
    return function


P = ctypes.POINTER
mtrx_strerror = _declare("mtrx_strerror", ctypes.c_char_p, ctypes.c_int)
mtrx_free = _declare("mtrx_free", None, P(Matrix))
mtrx_parse = _declare("mtrx_parse", ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t,
                      P(P(Matrix)), P(Error))
mtrx_reduce = _declare("mtrx_reduce", ctypes.c_int, c_double_pp, c_double_p, ctypes.c_size_t,
                       P(Error))
mtrx_solve_checked = _declare("mtrx_solve_checked", ctypes.c_int, P(Matrix), ctypes.c_uint,
                              P(c_double_p), P(SolveInfo), P(Error))
mtrx_rref = _declare("mtrx_rref", ctypes.c_int, P(Matrix), ctypes.c_double, P(P(Matrix)),
                     P(P(ctypes.c_size_t)), P(ctypes.c_size_t), P(Error))
mtrx_solve_general = _declare("mtrx_solve_general", ctypes.c_int, P(Matrix), P(GeneralSolution),
                              P(Error))
mtrx_general_free = _declare("mtrx_general_free", None, P(GeneralSolution))
mtrx_solve_many = _declare("mtrx_solve_many", ctypes.c_int, P(Matrix), P(Matrix), P(P(Matrix)),
                           P(Error))
mtrx_solve_many_checked = _declare("mtrx_solve_many_checked", ctypes.c_int, P(Matrix), P(Matrix),
                                   ctypes.c_uint, P(P(Matrix)), P(SolveInfo), P(Error))
mtrx_free_vector = _declare("mtrx_free_vector", None, c_double_p)
mtrx_free_pivots = _declare("mtrx_free_pivots", None, P(ctypes.c_size_t))
