"""The laboratory of bessel-recurrence, from Python.

The same experiment as the program ``bessel-recurrence-lab``, over the same C++ core: one
Bessel function's forward recurrence from the seeds of several IEEE formats, carried out in
one arithmetic format, its relative errors (computed - true) / true measured against a truth
from Arb's ball arithmetic, predicted from the seeds' errors alone, and beside it the
backward recurrence (Miller's algorithm for J, I and j).

Every number is the one the command line prints, digit for digit, and proven: an error with
7 significant digits, a bound with 3 (rounded up), the truth with 17. Each column comes twice:
as float64, the printed decimal's nearest float64 (so ``0.0`` or ``inf`` where the value lies
beyond float64's range, as it does at ``x=1e-200``), and as text, the printed decimal itself,
which holds every value exactly, whatever its exponent (``"1.234567e-401"``).

Routine listings
----------------
run
    The experiment, as a `Result`.
round_to
    float64 values rounded correctly into any of the formats.

Examples
--------
>>> import bessel_recurrence as br
>>> result = br.run(x=1, orders=10)
>>> float(result.formats["binary64"].measured[10])
-27.28592
>>> str(result.formats["binary64"].measured_text[10])
'-2.728592e+01'
"""

from __future__ import annotations

import dataclasses
import decimal
import numbers
import operator
from typing import Any, Dict, Sequence, Union

import numpy as np
import numpy.typing as npt

from . import _lab

__all__ = ["FORMATS", "FUNCTIONS", "FormatColumns", "Result", "round_to", "run"]

__version__: str = _lab.__version__

#: The IEEE formats, narrowest first, by the names the command line takes.
FORMATS: tuple = _lab.FORMATS

#: The functions, by their letters: J, Y, I, K and the spherical j, y.
FUNCTIONS: tuple = ("J", "Y", "I", "K", "j", "y")


@dataclasses.dataclass(frozen=True, eq=False)
class FormatColumns:
    """One seed format's columns, one value per order m = 0 ... M.

    Attributes
    ----------
    measured : numpy.ndarray of float64
        The forward recurrence's relative error (computed - true) / true.
    predicted : numpy.ndarray of float64
        The part the seeds' errors alone give, as theory predicts it (the table's, the CSV's
        and the JSON's "predicted").
    rounding : numpy.ndarray of float64
        The part the arithmetic's own roundings add: measured = predicted + rounding.
    rounding_bound : numpy.ndarray of float64
        The bound on that part known beforehand, rounded up to 3 digits.
    measured_text, predicted_text, rounding_text, rounding_bound_text : numpy.ndarray of str
        The same, exactly as printed.
    """

    measured: np.ndarray
    predicted: np.ndarray
    rounding: np.ndarray
    rounding_bound: np.ndarray
    measured_text: np.ndarray
    predicted_text: np.ndarray
    rounding_text: np.ndarray
    rounding_bound_text: np.ndarray


@dataclasses.dataclass(frozen=True, eq=False)
class Result:
    """What `run` measured: the parameters, every column and mark of the table, the summary.

    Attributes
    ----------
    parameters : dict
        As the JSON output has them: ``function``, ``x`` (as given), ``x_used`` (the binary
        value computed with, ``{"decimal": ..., "hexadecimal": ...}``), ``arithmetic``,
        ``seeds``, ``formats`` (a tuple), ``orders`` (M) and ``miller`` (``{"start": N,
        "rule": ...}``, or None for a dominant function).
    m : numpy.ndarray of int64
        The orders 0 ... M.
    truth, truth_text : numpy.ndarray of float64, numpy.ndarray of str
        f_m(x), to 17 significant digits.
    near_zero, below_range, overflowed : numpy.ndarray of bool
        The marks: near a zero of f_m(x) ("*"), f_m(x) below the arithmetic format's range
        ("u"), a forward value overflowed ("o").
    backward, backward_text : numpy.ndarray of float64, numpy.ndarray of str
        The backward recurrence's relative error.
    formats : dict of str to FormatColumns
        Each seed format's columns, in the order the formats were given.
    summary : dict
        As the JSON output has it: ``formats`` maps each seed format to
        ``every_digit_lost_at`` (int or None), ``digits_lost_per_step`` and
        ``theory_digits_lost_per_step`` (float, NaN where there is no step; not rounded to
        the JSON's 4 decimals) and ``dominant`` ("predicted", "rounding" or None);
        ``backward`` holds ``largest_ulps`` and ``at`` (None where no row counts).
    """

    parameters: Dict[str, Any]
    m: np.ndarray
    truth: np.ndarray
    truth_text: np.ndarray
    near_zero: np.ndarray
    below_range: np.ndarray
    overflowed: np.ndarray
    backward: np.ndarray
    backward_text: np.ndarray
    formats: Dict[str, FormatColumns]
    summary: Dict[str, Any]


def _text(name: str, value: Any) -> bytes:
    # The bytes the command line would be given: a str's UTF-8, undecodable bytes carried as
    # the surrogates that Python gives them (as it does for its own command line).
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    try:
        return value.encode("utf-8", "surrogateescape")
    except UnicodeEncodeError:
        raise ValueError(f"{name} {value!r} holds a lone surrogate, not text") from None


def _whole_text(value: int) -> str:
    # Every digit, however many: Decimal, unlike str(), has no limit on the digits it writes.
    return str(decimal.Decimal(value))


def _x_text(x: Union[str, int, float, decimal.Decimal]) -> bytes:
    if isinstance(x, (bool, np.bool_)):
        raise TypeError("x must be a number or a str, not bool")
    if isinstance(x, str):
        return _text("x", x)
    if isinstance(x, numbers.Integral):
        return _whole_text(operator.index(x)).encode()
    if isinstance(x, decimal.Decimal):
        return str(x).encode()
    if isinstance(x, float):
        # The shortest decimal that reads back as this float, as the command line would be
        # given it: 0.1 is the decimal 0.1, rounded once into the arithmetic format.
        return repr(float(x)).encode()
    if isinstance(x, np.floating):
        # The same for numpy's other floats, in their own precision (float32, longdouble).
        return np.format_float_scientific(x, unique=True, trim="-").encode()
    raise TypeError(f"x must be a str, int, float or Decimal, not {type(x).__name__}")


def run(
    x: Union[str, int, float, decimal.Decimal] = 1,
    orders: int = 10,
    formats: Union[str, Sequence[str]] = ("binary32", "binary64", "binary128"),
    arithmetic: str = "binary128",
    seeds: str = "rounded",
    function: str = "J",
) -> Result:
    """Run the experiment: the forward recurrence from each format's seeds, and backward.

    Parameters
    ----------
    x : str, int, float or decimal.Decimal, default 1
        The argument, 0 < x <= 10000, rounded once into the arithmetic format; the truth is
        computed at that value. A str or Decimal is read as the decimal it writes; a float as
        its shortest repr (``0.1`` is the decimal 0.1, as ``--x 0.1`` is, not binary64's
        nearest value to it), a numpy float as its shortest in its own precision.
    orders : int, default 10
        M, the highest order: 1 <= M <= 100000.
    formats : str or sequence of str, default ("binary32", "binary64", "binary128")
        The seed formats, each at most once; a str is a comma-separated list, as on the
        command line. The names are those of `FORMATS`.
    arithmetic : str, default "binary128"
        The format every recurrence runs in.
    seeds : {"rounded", "series"}, default "rounded"
        f_0(x) and f_1(x) correctly rounded into each format, or their power series summed
        in it (J, I and j only).
    function : {"J", "Y", "I", "K", "j", "y"}, default "J"
        The function, and so its recurrence.

    Returns
    -------
    Result
        Its texts are the command line's, byte for byte, whatever locale the caller set
        (a decimal point even where ``locale.setlocale`` chose a decimal comma).

    Raises
    ------
    ValueError
        A parameter out of its range, with the command line's own message.
    TypeError
        A parameter of the wrong type.
    RuntimeError
        The truth could not be computed to the digits printed.

    Examples
    --------
    >>> r = run(x=20, orders=60, formats="binary64", arithmetic="binary64")
    >>> r.summary["formats"]["binary64"]["every_digit_lost_at"]
    40
    """
    if isinstance(orders, (bool, np.bool_)):
        raise TypeError("orders must be an int, not bool")
    orders_text = _whole_text(operator.index(orders)).encode()
    if isinstance(formats, str):
        names = _text("formats", formats).split(b",")
    else:
        names = [_text("each format", name) for name in formats]
    raw = _lab.run(
        function=_text("function", function),
        x=_x_text(x),
        orders=orders_text,
        formats=names,
        arithmetic=_text("arithmetic", arithmetic),
        seeds=_text("seeds", seeds),
    )
    columns = {}
    for name, parts in raw["formats"].items():
        fields = {}
        for part, (values, texts) in parts.items():
            fields[part] = values
            fields[part + "_text"] = texts
        columns[name] = FormatColumns(**fields)
    return Result(
        parameters=raw["parameters"],
        m=raw["m"],
        truth=raw["truth"][0],
        truth_text=raw["truth"][1],
        near_zero=raw["near_zero"],
        below_range=raw["below_range"],
        overflowed=raw["overflowed"],
        backward=raw["backward"][0],
        backward_text=raw["backward"][1],
        formats=columns,
        summary=raw["summary"],
    )


def round_to(values: npt.ArrayLike, format: str) -> Union[np.ndarray, np.float64]:
    """Round float64 values correctly into an IEEE format.

    Each value is rounded once, to nearest with ties to even, with the format's subnormals,
    overflowing to infinity past its largest value, as the hardware's own conversions do
    (numpy's float16 and float32 among them). A NaN comes back as it was given.

    Parameters
    ----------
    values : array_like
        Converted to float64 first.
    format : str
        One of `FORMATS`.

    Returns
    -------
    numpy.ndarray of float64 or numpy.float64
        The rounded values, in the shape of `values` (a scalar for a scalar). float64 holds
        every value of the narrower formats exactly; a wider format holds every float64, so
        there the values come back unchanged.

    Raises
    ------
    ValueError
        An unknown format, with the command line's message.

    Examples
    --------
    >>> round_to([0.1, 65520.0], "binary16")
    array([0.09997559,        inf])
    """
    array = np.asarray(values, dtype=np.float64)
    rounded = _lab.round_to(array, _text("format", format))
    return rounded[()] if array.ndim == 0 else rounded
