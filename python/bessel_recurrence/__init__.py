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
which holds every value exactly, whatever its exponent (``"1.234567e-401"``). The forward
recurrence's own values come too, exactly (in hexadecimal) and as float64, and `truth` gives
the true values alone, to check a recurrence of one's own against.

A long experiment stops at Ctrl-C (KeyboardInterrupt) within a fraction of a second. While it
runs, other Python threads run too: the C++ core holds no lock of Python's.

Routine listings
----------------
run
    The experiment, as a `Result`.
truth
    The true values f_m(x) alone, as a `Truth`.
round_to
    float64 values rounded correctly into any of the formats.
check
    A recurrence of one's own checked against the lab's, bit for bit, as a `Check`.

Examples
--------
>>> import bessel_recurrence as br
>>> result = br.run(x=1, orders=10)
>>> float(result.formats["binary64"].measured[10])
-27.28592
>>> str(result.formats["binary64"].measured_text[10])
'-2.728592e+01'
>>> str(br.truth(x=1, orders=10, arithmetic="binary64").texts[10])
'2.6306151236874532e-10'
"""

import dataclasses as _dataclasses
import decimal as _decimal
import numbers as _numbers
import operator as _operator
import typing as _typing

import numpy as _np
import numpy.typing as _npt

from . import _lab

__all__ = [
    "BackwardSummary",
    "Check",
    "CheckParameters",
    "FORMATS",
    "FUNCTIONS",
    "FormatColumns",
    "FormatSummary",
    "Miller",
    "Parameters",
    "Result",
    "Summary",
    "Truth",
    "XUsed",
    "check",
    "round_to",
    "run",
    "truth",
]

__version__: str = _lab.__version__

#: The IEEE formats, narrowest first, by the names the command line takes.
FORMATS: _typing.Tuple[str, ...] = _lab.FORMATS

#: The functions, by their letters: J, Y, I, K and the spherical j, y.
FUNCTIONS: _typing.Tuple[str, ...] = _lab.FUNCTIONS

_Floats = _npt.NDArray[_np.float64]
_Texts = _npt.NDArray[_np.str_]


class XUsed(_typing.TypedDict):
    """x as the binary value computed with: rounded once into the arithmetic format."""

    #: To as many significant digits as tell it apart in its format:
    #: ``"1.0000000000000001e-01"`` for 0.1 in binary64.
    decimal: str
    #: Exactly: ``"0x1.999999999999ap-4"``.
    hexadecimal: str


class Miller(_typing.TypedDict):
    """Where Miller's backward recurrence starts, and the rule that chose it."""

    start: int
    rule: str


class Parameters(_typing.TypedDict):
    """`Result.parameters`: the experiment, as the JSON output has it."""

    function: str  #: one of `FUNCTIONS`
    x: str  #: as given, the decimal text the command line would be given
    x_used: XUsed
    arithmetic: str
    seeds: str  #: "rounded" or "series"
    formats: _typing.Tuple[str, ...]
    orders: int  #: M
    #: None for a dominant function (Y, K, y), whose backward recurrence starts at M.
    miller: _typing.Optional[Miller]


class FormatSummary(_typing.TypedDict):
    """What to take away from one seed format's column."""

    #: The first order where |measured| >= 1; None if none up to M.
    every_digit_lost_at: _typing.Optional[int]
    #: log10 |e_M / e_(M-1)|, measured and as theory says; NaN where there is no step.
    digits_lost_per_step: float
    theory_digits_lost_per_step: float
    #: The larger part at M; None where a part is not finite.
    dominant: _typing.Optional[_typing.Literal["predicted", "rounding"]]


class BackwardSummary(_typing.TypedDict):
    """The backward recurrence's largest error in units in the last place, and its order
    (None where no row counts: rows near a zero or below the range are left out)."""

    largest_ulps: float
    at: _typing.Optional[int]


class Summary(_typing.TypedDict):
    """`Result.summary`, as the JSON output has it (numbers not rounded to its 4 decimals)."""

    formats: _typing.Dict[str, FormatSummary]
    backward: BackwardSummary


class CheckParameters(_typing.TypedDict):
    """`Check.parameters`: what was checked, as the JSON output of ``--check`` has it."""

    function: str  #: one of `FUNCTIONS`
    x: str  #: as given
    x_used: XUsed
    arithmetic: str  #: the format the values were computed in
    seeds: str  #: the lab's seeds they are compared with: "rounded" or "series"
    orders: int  #: M: the values are f_0 ... f_M


def _shortened(text: str, most: int = 24) -> str:
    return text if len(text) <= most else text[: most - 3] + "..."


@_dataclasses.dataclass(frozen=True, eq=False, repr=False)
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
    values : numpy.ndarray of float64
        The forward recurrence's computed values c_m themselves, in the arithmetic format,
        from the seeds rounded to it (c_0, c_1): exact for binary16, bfloat16, binary32 and
        binary64 arithmetic, rounded to nearest float64 for the wider ones.
    measured_text, predicted_text, rounding_text, rounding_bound_text : numpy.ndarray of str
        The errors exactly as printed.
    values_text : numpy.ndarray of str
        The computed values exactly, whatever the format, in hexadecimal as MPFR's ``%Ra``
        writes it, the exponent a multiple of 4: ``"0x1.8p+0"`` (1.5),
        ``"0xc.3e3fedebdc78p-4"`` (binary64's J_0(1), 0.765...), ``"-0x0p+0"``, ``"inf"``,
        ``"nan"``. ``float.fromhex`` reads it, exactly for binary64 and the narrower formats.
    """

    measured: _Floats
    predicted: _Floats
    rounding: _Floats
    rounding_bound: _Floats
    values: _Floats
    measured_text: _Texts
    predicted_text: _Texts
    rounding_text: _Texts
    rounding_bound_text: _Texts
    values_text: _Texts

    def __repr__(self) -> str:
        last = len(self.measured) - 1
        return (f"FormatColumns(m = 0 ... {last}; at m = {last}: measured "
                f"{self.measured_text[last]}, predicted {self.predicted_text[last]}, rounding "
                f"{self.rounding_text[last]})")


@_dataclasses.dataclass(frozen=True, eq=False, repr=False)
class Result:
    """What `run` measured: the parameters, every column and mark of the table, the summary.

    Attributes
    ----------
    parameters : Parameters
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
    summary : Summary
        As the JSON output has it: ``formats`` maps each seed format to
        ``every_digit_lost_at`` (int or None), ``digits_lost_per_step`` and
        ``theory_digits_lost_per_step`` (float, NaN where there is no step; not rounded to
        the JSON's 4 decimals) and ``dominant`` ("predicted", "rounding" or None);
        ``backward`` holds ``largest_ulps`` and ``at`` (None where no row counts).
    """

    parameters: Parameters
    m: _npt.NDArray[_np.int64]
    truth: _Floats
    truth_text: _Texts
    near_zero: _npt.NDArray[_np.bool_]
    below_range: _npt.NDArray[_np.bool_]
    overflowed: _npt.NDArray[_np.bool_]
    backward: _Floats
    backward_text: _Texts
    formats: _typing.Dict[str, FormatColumns]
    summary: Summary

    def __repr__(self) -> str:
        # The parameters, then where each format lost every digit: "J, x = 1, M = 10, ...;
        # every digit lost at m = 6 (binary32), 10 (binary64), never (binary128)".
        p = self.parameters
        lost = ", ".join(
            f"{'never' if said['every_digit_lost_at'] is None else said['every_digit_lost_at']}"
            f" ({name})" for name, said in self.summary["formats"].items())
        return (f"Result(function={p['function']!r}, x={_shortened(p['x'])!r}, "
                f"orders={p['orders']}, arithmetic={p['arithmetic']!r}, seeds={p['seeds']!r}; "
                f"every digit lost at m = {lost})")


@_dataclasses.dataclass(frozen=True, eq=False, repr=False)
class Truth:
    """What `truth` computed: f_m(x), m = 0 ... M, proven with Arb's ball arithmetic.

    Attributes
    ----------
    function : str
        One of `FUNCTIONS`.
    x_used : str
        x rounded once into the arithmetic format, the value f_m is computed at, in decimal
        to as many digits as tell it apart there (as `Result.parameters` ``["x_used"]
        ["decimal"]``).
    m : numpy.ndarray of int64
        The orders 0 ... M.
    values : numpy.ndarray of float64
        f_m(x) rounded once to the nearest float64 (0.0 or inf beyond float64's range). That
        can differ in the last bit from the nearest float64 to ``texts``, a decimal rounding
        of its own.
    texts : numpy.ndarray of str
        f_m(x) to 17 significant digits, correctly rounded, as the lab prints its truth
        (`Result.truth_text`, for the same function, x, M and arithmetic).
    """

    function: str
    x_used: str
    m: _npt.NDArray[_np.int64]
    values: _Floats
    texts: _Texts

    def __repr__(self) -> str:
        return (f"Truth(function={self.function!r}, x_used={_shortened(self.x_used, 40)!r}, "
                f"m = 0 ... {len(self.m) - 1})")


@_dataclasses.dataclass(frozen=True, eq=False, repr=False)
class Check:
    """What `check` found, one value per order m = 0 ... M, and the verdict.

    Attributes
    ----------
    parameters : CheckParameters
    m : numpy.ndarray of int64
        The orders 0 ... M.
    yours, lab : numpy.ndarray of float64
        Your values as read (each the nearest number of the arithmetic format), and the lab's
        recurrence in that format from its own seeds: exact up to binary64, rounded to the
        nearest float64 beyond.
    yours_text, lab_text : numpy.ndarray of str
        The same, to as many digits as tell them apart in the format.
    same : numpy.ndarray of bool
        Whether your value is the lab's: bit for bit, or where your text's digits name no one
        value of the format, to the digits given.
    ulps_apart, ulps_apart_text : numpy.ndarray of float64, numpy.ndarray of str
        How far your value lies from the lab's, in units in the last place of the lab's (0
        where ``same``).
    step : numpy.ndarray of str
        The way of computing f_m from your own f_(m-1) and f_(m-2) that gives your f_m:
        "lab" ((n_m / x) f_m, each operation rounded), "fma" (a fused multiply-add), "nf/x"
        ((n_m f_m) / x), "x64" (x as a binary64 literal), "wide" (wider intermediates), "xw"
        (with "wide", x a literal of the wider format), or several joined by "+"; "seed" at
        m = 0 and 1, "none" where no variant tried gives it.
    measured, predicted, rounding, rounding_bound : numpy.ndarray of float64
        Your values' relative error against the proven truth, the part your seeds give, the
        part your steps' roundings add, and the bound on that part, as `FormatColumns` has
        them; with ``measured_text`` and the others, the texts printed.
    verdict : str
        In words: "your values equal the lab's binary64 recurrence exactly", or up to which
        order they do, whether your seeds are the lab's, and which variant explains the steps.
    """

    parameters: CheckParameters
    m: _npt.NDArray[_np.int64]
    yours: _Floats
    yours_text: _Texts
    lab: _Floats
    lab_text: _Texts
    same: _npt.NDArray[_np.bool_]
    ulps_apart: _Floats
    ulps_apart_text: _Texts
    step: _Texts
    measured: _Floats
    measured_text: _Texts
    predicted: _Floats
    predicted_text: _Texts
    rounding: _Floats
    rounding_text: _Texts
    rounding_bound: _Floats
    rounding_bound_text: _Texts
    verdict: str

    def __repr__(self) -> str:
        p = self.parameters
        return (f"Check(function={p['function']!r}, x={_shortened(p['x'])!r}, "
                f"orders={p['orders']}, arithmetic={p['arithmetic']!r}; "
                f"{_shortened(self.verdict, 160)})")


_XValue = _typing.Union[str, int, float, _decimal.Decimal, _np.floating[_typing.Any]]


def _text(name: str, value: object) -> bytes:
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
    return str(_decimal.Decimal(value))


def _orders_text(orders: int) -> bytes:
    if isinstance(orders, (bool, _np.bool_)):
        raise TypeError("orders must be an int, not bool")
    return _whole_text(_operator.index(orders)).encode()


def _x_text(x: _XValue) -> bytes:
    if isinstance(x, (bool, _np.bool_)):
        raise TypeError("x must be a number or a str, not bool")
    if isinstance(x, str):
        return _text("x", x)
    if isinstance(x, _numbers.Integral):
        return _whole_text(_operator.index(x)).encode()
    if isinstance(x, _decimal.Decimal):
        return str(x).encode()
    if isinstance(x, float):
        # The shortest decimal that reads back as this float, as the command line would be
        # given it: 0.1 is the decimal 0.1, rounded once into the arithmetic format.
        return repr(float(x)).encode()
    if isinstance(x, _np.floating):
        # The same for numpy's other floats, in their own precision (float32, longdouble).
        return _np.format_float_scientific(x, unique=True, trim="-").encode()
    raise TypeError(f"x must be a str, int, float or Decimal, not {type(x).__name__}")


# The error parts, as `FormatColumns` and `Check` have them.
_ERROR_PARTS = ("measured", "predicted", "rounding", "rounding_bound")


def _columns(raw: _typing.Mapping[str, _typing.Any],
             *names: str) -> _typing.Dict[str, _typing.Any]:
    # Each column the core gives as (float64s, texts): under its name, and its name + "_text".
    columns: _typing.Dict[str, _typing.Any] = {}
    for name in names:
        columns[name], columns[name + "_text"] = raw[name]
    return columns


def run(
    x: _XValue = 1,
    orders: int = 10,
    formats: _typing.Union[str, _typing.Sequence[str]] = ("binary32", "binary64", "binary128"),
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
        A parameter out of its range, with the command line's own message, naming the
        parameter as Python does (``x needs a number with 0 < X <= 10000, not 'abc'``).
    TypeError
        A parameter of the wrong type.
    RuntimeError
        The truth could not be computed to the digits printed.
    KeyboardInterrupt
        Ctrl-C, within a fraction of a second; nothing of the experiment is kept.

    Examples
    --------
    >>> r = run(x=20, orders=60, formats="binary64", arithmetic="binary64")
    >>> r.summary["formats"]["binary64"]["every_digit_lost_at"]
    40
    """
    orders_text = _orders_text(orders)
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
    return Result(
        parameters=raw["parameters"],
        m=raw["m"],
        near_zero=raw["near_zero"],
        below_range=raw["below_range"],
        overflowed=raw["overflowed"],
        formats={name: FormatColumns(**_columns(parts, *_ERROR_PARTS, "values"))
                 for name, parts in raw["formats"].items()},
        summary=raw["summary"],
        **_columns(raw, "truth", "backward"),
    )


def truth(
    x: _XValue = 1,
    orders: int = 10,
    arithmetic: str = "binary128",
    function: str = "J",
) -> Truth:
    """The true values f_m(x), m = 0 ... M, at x rounded once into the arithmetic format.

    The values `run` measures against, without the experiment: to check a recurrence of
    one's own. A numpy loop in float64 with x as a float64 computes at the x of
    ``arithmetic="binary64"``.

    Parameters
    ----------
    x, orders, function
        As for `run`.
    arithmetic : str, default "binary128"
        The format x is rounded into, once; f_m is computed exactly at that value.

    Returns
    -------
    Truth

    Raises
    ------
    ValueError, TypeError, RuntimeError, KeyboardInterrupt
        As for `run`.

    Examples
    --------
    >>> t = truth(x=0.1, orders=2, arithmetic="binary32")
    >>> t.x_used
    '1.00000001e-01'
    >>> [str(text) for text in t.texts]
    ['9.9750156199162732e-01', '4.9937526778508029e-02', '1.2489586959907630e-03']
    """
    raw = _lab.truth(
        function=_text("function", function),
        x=_x_text(x),
        orders=_orders_text(orders),
        arithmetic=_text("arithmetic", arithmetic),
    )
    return Truth(function=raw["function"], x_used=raw["x_used"], m=raw["m"],
                 values=raw["values"], texts=raw["texts"])


# The arithmetic a numpy array's values were computed in, by its dtype.
_DTYPE_FORMATS = {_np.dtype(_np.float16): "binary16", _np.dtype(_np.float32): "binary32",
                  _np.dtype(_np.float64): "binary64"}


def _value_text(value: object) -> bytes:
    # A value exactly: a str as given; a float (numpy's float16, float32 and float64 widen to
    # it exactly) in hexadecimal; a longdouble as its shortest decimal in its own precision.
    if isinstance(value, str):
        return _text("each value", value)
    if isinstance(value, (bool, _np.bool_)):
        raise TypeError("each value must be a number or a str, not bool")
    if isinstance(value, _np.longdouble) and _np.finfo(_np.longdouble).nmant > 52:
        return _np.format_float_scientific(value, unique=True).encode()
    if isinstance(value, (float, _np.floating)):
        return float(value).hex().encode()
    if isinstance(value, _numbers.Integral):
        return _whole_text(_operator.index(value)).encode()
    raise TypeError(f"each value must be a number or a str, not {type(value).__name__}")


def check(
    values: _typing.Union[_npt.ArrayLike, _typing.Sequence[str]],
    x: _XValue = 1,
    arithmetic: _typing.Optional[str] = None,
    function: str = "J",
    seeds: str = "rounded",
) -> Check:
    """Check a recurrence of one's own, f_0 ... f_M, against the lab's, bit for bit.

    Each value is read as the nearest number of the arithmetic format; each is compared with
    the lab's recurrence in that format from its own seeds, and each step, from your own two
    values before it, is tried as the usual variants compute it (a fused multiply-add,
    (n_m f_m) / x, x as a binary64 literal, wider intermediates) to name the one that gives
    your value. Your values' errors against the proven truth come beside it, split as `run`
    splits its own. The same as ``bessel-recurrence-lab --check``.

    Parameters
    ----------
    values : array_like of float, or sequence of str
        f_0 ... f_M, M >= 1 (at most 100001 values): numbers (numpy's float16, float32,
        float64 and longdouble are taken exactly), or texts as printed, decimal (to as many
        digits as printed: fewer than the format needs compare to those digits only) or C99
        hexadecimal (``float.hex``).
    x, function
        As for `run`: the argument your loop computed at (rounded once into the arithmetic
        format, as ``np.float32(1.3)`` is) and the function.
    arithmetic : str, optional
        The format your values were computed in, one of `FORMATS`; by default the numpy
        array's own (float16, float32, float64), or binary64 for Python floats. Texts need it.
    seeds : {"rounded", "series"}, default "rounded"
        The lab's seeds to compare with.

    Returns
    -------
    Check

    Raises
    ------
    ValueError
        A value that is not a number, nan or inf, too few or too many values, or a parameter
        out of its range, naming the item (``values: item 3: 'abc' is not a number ...``).
    TypeError, RuntimeError, KeyboardInterrupt
        As for `run`; also texts without ``arithmetic``.

    Examples
    --------
    >>> import numpy as np
    >>> f = np.zeros(12)
    >>> f[0], f[1] = truth(x=1.3, orders=1, arithmetic="binary64").values
    >>> for m in range(1, 11):
    ...     f[m + 1] = (2 * m / 1.3) * f[m] - f[m - 1]
    >>> check(f, x=1.3).verdict
    "your values equal the lab's binary64 recurrence exactly"
    """
    if isinstance(values, (str, bytes)):
        raise TypeError("values must be a sequence of values, not a single str")
    if arithmetic is None:
        array = _np.asarray(values)
        if array.dtype.kind in "US":
            raise TypeError("values given as texts need the arithmetic they were computed in")
        arithmetic = _DTYPE_FORMATS.get(array.dtype, "binary64")
        if array.dtype == _np.longdouble and array.dtype not in _DTYPE_FORMATS:
            raise TypeError("longdouble values need the arithmetic they were computed in")
    texts = [_value_text(value) for value in _typing.cast(_typing.Iterable[object], values)]
    raw = _lab.check(
        function=_text("function", function),
        x=_x_text(x),
        values=texts,
        arithmetic=_text("arithmetic", arithmetic),
        seeds=_text("seeds", seeds),
    )
    return Check(
        parameters=raw["parameters"], m=raw["m"], same=raw["same"], step=raw["step"],
        verdict=raw["verdict"],
        **_columns(raw, "yours", "lab", "ulps_apart", *_ERROR_PARTS),
    )


def round_to(values: _npt.ArrayLike,
             format_name: str) -> _typing.Union[_Floats, _np.float64]:
    """Round float64 values correctly into an IEEE format.

    Each value is rounded once, to nearest with ties to even, with the format's subnormals,
    overflowing to infinity past its largest value, as the hardware's own conversions do
    (numpy's float16 and float32 among them). A NaN comes back as it was given.

    Parameters
    ----------
    values : array_like
        Converted to float64 first.
    format_name : str
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
    array = _np.asarray(values, dtype=_np.float64)
    rounded = _lab.round_to(array, _text("format_name", format_name))
    return _np.float64(rounded[()]) if array.ndim == 0 else rounded


def __dir__() -> _typing.List[str]:
    """What dir() and tab completion offer: the names of `__all__`, and the dunder names."""
    return sorted([*__all__, *(name for name in globals()
                               if name.startswith("__") and name.endswith("__"))])
