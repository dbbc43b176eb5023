"""The Python module against the command line it shares its core with; round_to against
numpy's own conversions and a rounding written here from frexp and rint; the truth against
mpmath, and the forward values against numpy's own arithmetic in float16, float32 and float64
and mpmath's in binary128's 113 bits; Ctrl-C and threads against the clock.

BESSEL_LAB_PROGRAM names the lab program; PYTHONPATH holds the built package."""

import csv
import ctypes
import decimal
import fractions
import io
import json
import math
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time

import mpmath
import numpy as np
import pytest

import bessel_recurrence as br

LAB = os.environ["BESSEL_LAB_PROGRAM"]


def lab(*arguments):
    return subprocess.run([LAB, *arguments], capture_output=True, text=True, timeout=120)


# (run's keywords, the same as options): every function kind, narrow and wide formats, series
# seeds, and values beyond float64's range (x = 1e-200 in binary256).
CASES = [
    ({}, []),
    (
        dict(x=20, orders=60, formats="binary16,bfloat16,binary32", arithmetic="binary64"),
        ["--x", "20", "--orders", "60", "--formats", "binary16,bfloat16,binary32",
         "--arithmetic", "binary64"],
    ),
    (
        dict(function="Y", x=2.5, orders=30, formats=["binary64"], arithmetic="binary32"),
        ["--function", "Y", "--x", "2.5", "--orders", "30", "--formats", "binary64",
         "--arithmetic", "binary32"],
    ),
    (
        dict(x="1e-200", orders=5, formats=("binary256", "x87"), arithmetic="binary256"),
        ["--x", "1e-200", "--orders", "5", "--formats", "binary256,x87",
         "--arithmetic", "binary256"],
    ),
    (
        dict(function="j", x=0.5, orders=20, seeds="series"),
        ["--function", "j", "--x", "0.5", "--orders", "20", "--seeds", "series"],
    ),
    (
        dict(function="K", x=3, orders=200, formats="binary16", arithmetic="binary16"),
        ["--function", "K", "--x", "3", "--orders", "200", "--formats", "binary16",
         "--arithmetic", "binary16"],
    ),
]


def test_the_module_tested_is_the_one_built():
    built = os.path.join(os.environ["BESSEL_BINARY_DIR"], "python", "bessel_recurrence")
    assert os.path.dirname(br.__file__) == built


def same_float(a, b):
    return (math.isnan(a) and math.isnan(b)) or a == b


def check_column(values, texts, printed):
    """The module's column holds the printed texts, and as float64 their nearest values
    (Python's float(), an independent correctly rounded reading)."""
    assert list(texts) == printed
    assert values.dtype == np.float64
    for value, text in zip(values, printed):
        assert same_float(value, float(text)), text


@pytest.mark.parametrize("keywords,options", CASES)
def test_arrays_equal_the_csv(keywords, options):
    result = br.run(**keywords)
    ran = lab(*options, "--csv")
    assert ran.returncode == 0, ran.stderr
    rows = list(csv.DictReader(io.StringIO(ran.stdout)))
    letter = result.parameters["function"]
    assert list(result.m) == [int(row["m"]) for row in rows]
    check_column(result.truth, result.truth_text, [row[letter + "_m"] for row in rows])
    check_column(result.backward, result.backward_text, [row["backward"] for row in rows])
    assert list(result.formats) == list(result.parameters["formats"])
    for name, columns in result.formats.items():
        for part, header in [("measured", "measured"), ("predicted", "predicted"),
                             ("rounding", "rounding"), ("rounding_bound", "rounding_bound")]:
            check_column(getattr(columns, part), getattr(columns, part + "_text"),
                         [row[name + "_" + header] for row in rows])


@pytest.mark.parametrize("keywords,options", CASES)
def test_parameters_marks_and_summary_equal_the_json(keywords, options):
    result = br.run(**keywords)
    ran = lab(*options, "--json")
    assert ran.returncode == 0, ran.stderr
    printed = json.loads(ran.stdout)
    expected = dict(printed["parameters"], formats=tuple(printed["parameters"]["formats"]))
    assert result.parameters == expected
    for mark in ("near_zero", "below_range", "overflowed"):
        assert list(getattr(result, mark)) == [row[mark] for row in printed["rows"]], mark
    # The seeds' part as the JSON names it: null where the text is infinite or NaN.
    for name, columns in result.formats.items():
        assert [None if text.lstrip("-") in ("inf", "nan") else float(text)
                for text in columns.predicted_text] == [
            row["formats"][name]["predicted"] for row in printed["rows"]]

    def four(value, format="%.4f"):
        return None if value is None or not math.isfinite(value) else float(format % value)

    for name, said in result.summary["formats"].items():
        json_said = printed["summary"]["formats"][name]
        assert said["every_digit_lost_at"] == json_said["every_digit_lost_at"]
        assert said["dominant"] == json_said["dominant"]
        assert four(said["digits_lost_per_step"]) == json_said["digits_lost_per_step"]
        assert four(said["theory_digits_lost_per_step"]) == json_said[
            "theory_digits_lost_per_step"]
    backward = result.summary["backward"]
    assert four(backward["largest_ulps"], "%.4g") == printed["summary"]["backward"]["largest_ulps"]
    assert backward["at"] == printed["summary"]["backward"]["at"]


# (run's keywords, the options that make the command line say the same).
BAD = [
    (dict(x="abc"), ["--x", "abc"]),
    (dict(x=0), ["--x", "0"]),
    (dict(x=float("nan")), ["--x", "nan"]),
    (dict(x="1e-30", arithmetic="binary16"), ["--x", "1e-30", "--arithmetic", "binary16"]),
    (dict(orders=0), ["--orders", "0"]),
    (dict(orders=100001), ["--orders", "100001"]),
    (dict(formats="binary32,binary32"), ["--formats", "binary32,binary32"]),
    (dict(formats=["binary8"]), ["--formats", "binary8"]),
    (dict(arithmetic="decimal64"), ["--arithmetic", "decimal64"]),
    (dict(seeds="exact"), ["--seeds", "exact"]),
    (dict(function="H"), ["--function", "H"]),
    (dict(function="Y", seeds="series"), ["--function", "Y", "--seeds", "series"]),
    # Every digit of a huge int, as the command line would print them.
    (dict(x=10**5000), ["--x", "1" + "0" * 5000]),
    (dict(orders=-(10**5000)), ["--orders", "-1" + "0" * 5000]),
    # A byte that is no UTF-8, as Python carries it (subprocess passes it on as the byte).
    (dict(function="\udcff"), ["--function", "\udcff"]),
    (dict(formats=["binary32", "\udc80"]), ["--formats", "binary32,\udc80"]),
]


OPTIONS = ("function", "x", "orders", "formats", "arithmetic", "seeds")


@pytest.mark.parametrize("keywords,options", BAD)
def test_bad_arguments_raise_the_command_lines_message_naming_the_keyword(keywords, options):
    # The lab's message, each of its options named as run's keyword ("--x" as "x"); none of
    # these gives a text that holds an option's name itself.
    ran = lab(*options)
    assert ran.returncode == 2
    said = ran.stderr.splitlines()[0].removeprefix("bessel-recurrence-lab: ")
    for name in OPTIONS:
        said = re.sub(rf"--{name}\b", name, said)
    with pytest.raises(ValueError) as raised:
        br.run(**keywords)
    assert str(raised.value) == said
    assert "--" not in str(raised.value)


@pytest.mark.parametrize("call,message", [
    (lambda: br.run(x="abc"), "x needs a number with 0 < X <= 10000, not 'abc'"),
    (lambda: br.truth(x="abc"), "x needs a number with 0 < X <= 10000, not 'abc'"),
    (lambda: br.run(orders=0), "orders needs a whole number from 1 to 100000, not '0'"),
    (lambda: br.truth(x="1e-30", arithmetic="binary16"),
     "x '1e-30' is 0 in binary16, out of 0 < X <= 10000; give a larger X or a wider arithmetic"),
    # What the caller gave is quoted as given, an option's name in it too.
    (lambda: br.run(function="--x"), "function is J, Y, I, K, j or y, not '--x'"),
    (lambda: br.run(x="--arithmetic"),
     "x needs a number with 0 < X <= 10000, not '--arithmetic'"),
])
def test_messages_name_the_python_parameter(call, message):
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value) == message


@pytest.mark.parametrize("keywords,error", [
    (dict(formats=()), ValueError),
    (dict(orders=True), TypeError),
    (dict(orders=2.0), TypeError),
    (dict(x=[1]), TypeError),
    (dict(formats=[32]), TypeError),
    (dict(x="1" * 200000), ValueError),
    (dict(function="\ud800"), ValueError),
    (dict(orders=np.bool_(True)), TypeError),
    (dict(x=fractions.Fraction(1, 3)), TypeError),
])
def test_arguments_the_command_line_cannot_give(keywords, error):
    with pytest.raises(error):
        br.run(**keywords)


@pytest.mark.parametrize("x,text,arithmetic", [
    (3, "3", "binary128"),
    (0.1, "0.1", "binary128"),
    (decimal.Decimal("2.50"), "2.50", "binary128"),
    (np.float32(0.1), "1e-01", "binary128"),
    (np.longdouble("1e-400"), "1e-400", "x87"),
])
def test_x_is_read_as_the_decimal_it_writes(x, text, arithmetic):
    result = br.run(x=x, orders=1, formats="binary64", arithmetic=arithmetic)
    assert result.parameters["x"] == text
    same = br.run(x=text, orders=1, formats="binary64", arithmetic=arithmetic)
    assert result.parameters["x_used"] == same.parameters["x_used"]


def test_another_users_mpfr_exponent_range_is_neither_used_nor_changed():
    # Another MPFR user in the process (here through ctypes) narrows the exponent range of
    # the same library: x = 1e-50 is still read, and the range given back as it was.
    mpfr = ctypes.CDLL("libmpfr.so.6")
    mpfr.mpfr_get_emin.restype = mpfr.mpfr_get_emax.restype = ctypes.c_long
    old_emin, old_emax = mpfr.mpfr_get_emin(), mpfr.mpfr_get_emax()
    mpfr.mpfr_set_emin(ctypes.c_long(-148))
    mpfr.mpfr_set_emax(ctypes.c_long(128))
    try:
        result = br.run(x="1e-50", orders=1)
        assert result.truth_text[1] == "5.0000000000000000e-51"
        assert br.round_to(1e-300, "binary64") == 1e-300
        assert (mpfr.mpfr_get_emin(), mpfr.mpfr_get_emax()) == (-148, 128)
    finally:
        mpfr.mpfr_set_emin(ctypes.c_long(old_emin))
        mpfr.mpfr_set_emax(ctypes.c_long(old_emax))


def reference_round(values, precision, min_exponent, max_exponent):
    """Round to nearest, ties to even, into the binary format with `precision` bits, normal
    exponents min_exponent ... max_exponent (values 2^e ... 2^(e+1)) and subnormals below: the
    quantum of x is 2^(max(e, min_exponent) - precision + 1), and x / quantum is rounded by
    rint, exact in float64 for precision <= 52."""
    out = np.empty_like(values)
    for i, x in enumerate(values):
        if not math.isfinite(x) or x == 0:
            out[i] = x
            continue
        exponent = max(math.frexp(x)[1] - 1, min_exponent)
        quantum = math.ldexp(1.0, exponent - precision + 1)
        rounded = np.rint(x / quantum) * quantum
        largest = math.ldexp(2.0 - math.ldexp(1.0, 1 - precision), max_exponent)
        out[i] = math.copysign(math.inf, x) if abs(rounded) > largest else rounded
    return out


def samples(rng, low, high, precision):
    """Values across the exponents low ... high: random ones, and the exact halfway points
    between neighbours of `precision` bits and their neighbours in float64, where a rounding
    that goes wrong at a tie shows."""
    random = np.ldexp(rng.uniform(1, 2, 4000), rng.integers(low, high, 4000))
    random *= rng.choice([-1.0, 1.0], random.size)
    ties = np.ldexp(np.floor(rng.uniform(2**precision, 2**(precision + 1), 2000)) + 0.5,
                    rng.integers(low, high, 2000) - precision)
    specials = np.array([0.0, -0.0, np.inf, -np.inf, np.nan, 65504.0, 65519.99, 65520.0,
                         6.0e-8, 2.98e-8, 2.9802322387695312e-08, 5.96e-8, 1e-45, 7.006e-46,
                         3.4028235677973366e38, 3.4028234663852886e+38, 1e39, 5e-324])
    return np.concatenate([random, ties, np.nextafter(ties, np.inf),
                           np.nextafter(ties, -np.inf), specials])


@pytest.mark.parametrize("name,dtype,precision,min_exponent,max_exponent", [
    ("binary16", np.float16, 11, -14, 15),
    ("binary32", np.float32, 24, -126, 127),
    ("bfloat16", None, 8, -126, 127),
])
def test_round_to_matches_numpy_and_the_reference(name, dtype, precision, min_exponent,
                                                  max_exponent):
    rng = np.random.default_rng(20261209)
    values = samples(rng, min_exponent - precision - 3, max_exponent + 2, precision)
    rounded = br.round_to(values, name)
    assert rounded.dtype == np.float64 and rounded.shape == values.shape
    expected = reference_round(values, precision, min_exponent, max_exponent)
    np.testing.assert_array_equal(rounded, expected)
    assert np.array_equal(np.signbit(rounded), np.signbit(expected))
    if dtype is not None:
        with np.errstate(over="ignore"):
            np.testing.assert_array_equal(rounded, values.astype(dtype).astype(np.float64))


def test_round_to_keeps_the_shape_and_the_wide_formats_keep_every_float64():
    values = np.array([[0.1, -1e-310], [1e308, 5e-324]])
    for name in ("binary64", "x87", "binary128", "binary256"):
        np.testing.assert_array_equal(br.round_to(values, name), values)
    assert br.round_to(0.1, "binary16") == np.float16(0.1)
    assert np.ndim(br.round_to(0.1, "binary16")) == 0
    with pytest.raises(ValueError, match="unknown format 'binary8'"):
        br.round_to(values, "binary8")


def test_the_notebook_is_kept_without_outputs():
    # Its outputs are made by executing it (the test command does), never stored.
    path = os.path.join(os.path.dirname(__file__), "..", "..", "doc", "laboratory.ipynb")
    with open(path, encoding="utf-8") as file:
        notebook = json.load(file)
    code = [cell for cell in notebook["cells"] if cell["cell_type"] == "code"]
    assert code and all(not cell["outputs"] and cell["execution_count"] is None for cell in code)


def test_cmake_installs_a_package_that_imports_and_runs():
    # Into a DESTDIR, under the prefix /usr/local: where the site directory is relative, it lies
    # under the prefix, as the build configured it.
    with tempfile.TemporaryDirectory() as dest:
        installed = subprocess.run(
            [os.environ["BESSEL_CMAKE"], "--install", os.environ["BESSEL_BINARY_DIR"],
             "--component", "python", "--prefix", "/usr/local"],
            env=dict(os.environ, DESTDIR=dest), capture_output=True, text=True, timeout=120)
        assert installed.returncode == 0, installed.stderr
        site = os.path.join("/usr/local", os.environ["BESSEL_PYTHON_INSTALL_DIR"])
        package = dest + site
        files = sorted(os.listdir(os.path.join(package, "bessel_recurrence")))
        assert files[0] == "__init__.py" and {"_lab.pyi", "py.typed"} <= set(files)
        imported = subprocess.run(
            [sys.executable, "-c",
             "import bessel_recurrence as b; print(b.__file__); "
             "print(b.run(orders=3).formats['binary64'].measured_text[3])"],
            env=dict(os.environ, PYTHONPATH=package), cwd=dest, capture_output=True, text=True,
            timeout=120)
        assert imported.returncode == 0, imported.stderr
        assert imported.stdout.splitlines() == [
            os.path.join(package, "bessel_recurrence", "__init__.py"), "-1.749900e-14"]


def test_the_callers_decimal_comma_changes_no_text(tmp_path):
    # A German user's locale (as locale.setlocale(locale.LC_ALL, "") gives it), built here from
    # Debian's locale sources into a folder of the test's own (LOCPATH): the texts are the C
    # locale's, x_used can be read back by float.fromhex, and nothing aborts where the lab reads
    # its own texts back (tiny x, many orders).
    localedef = subprocess.run(["localedef", "-i", "de_DE", "-f", "UTF-8",
                                str(tmp_path / "de_DE.UTF-8")], capture_output=True, text=True)
    if localedef.returncode not in (0, 1) or not (tmp_path / "de_DE.UTF-8").is_dir():
        pytest.skip("no de_DE locale could be built (Debian's package locales): " +
                    localedef.stderr)
    cases = [dict(x=1, orders=3000), dict(x="1e-4000", orders=400, formats="binary256",
                                          arithmetic="binary256"), dict(function="j", x=2.5)]
    script = """if True:
        import json, locale, sys
        import bessel_recurrence as br
        if len(sys.argv) > 2:
            locale.setlocale(locale.LC_ALL, sys.argv[2])
        seen = [locale.localeconv()["decimal_point"]]
        for keywords in json.loads(sys.argv[1]):
            result = br.run(**keywords)
            x_used = result.parameters["x_used"]
            seen.append([x_used, float.fromhex(x_used["hexadecimal"]) if keywords["x"] != "1e-4000" else 0,
                         list(result.truth_text), list(result.backward_text),
                         {name: [list(c.measured_text), list(c.rounding_bound_text)]
                          for name, c in result.formats.items()}])
        print(json.dumps(seen))
    """
    environment = dict(os.environ, LOCPATH=str(tmp_path))
    runs = [subprocess.run([sys.executable, "-c", script, json.dumps(cases), *locale_name],
                           capture_output=True, text=True, env=environment, timeout=240)
            for locale_name in ([], ["de_DE.UTF-8"])]
    for ran in runs:
        assert ran.returncode == 0, ran.stderr
    in_c, in_german = (json.loads(ran.stdout) for ran in runs)
    assert (in_c[0], in_german[0]) == (".", ",")
    assert in_german[1:] == in_c[1:]


# The public surface.

def test_dir_lists_the_api_and_nothing_else():
    def dunder(name):
        return name.startswith("__") and name.endswith("__")

    assert [name for name in dir(br) if not dunder(name)] == sorted(br.__all__)
    assert all(hasattr(br, name) for name in br.__all__)
    # What dir() leaves out is private by its name too.
    assert all(name in br.__all__ or name.startswith("_") for name in vars(br))
    assert {"run", "truth", "round_to", "Result", "Truth", "FormatColumns", "FORMATS",
            "FUNCTIONS", "Parameters", "Summary"} <= set(br.__all__)


def test_formats_and_functions_are_the_command_lines():
    # As the lab lists them when it refuses a name.
    said = lab("--formats", "none").stderr.splitlines()[0]
    assert br.FORMATS == tuple(said.split("the formats are ")[1].split(", "))
    said = lab("--function", "none").stderr.splitlines()[0]
    letters = re.search(r"--function is (.*) or (\w), not", said)
    assert br.FUNCTIONS == (*letters.group(1).split(", "), letters.group(2))


def test_the_typed_dicts_name_every_key_of_the_parameters_and_the_summary():
    for function in ("J", "Y"):
        result = br.run(function=function, formats=("binary16", "binary64"))
        parameters, summary = result.parameters, result.summary
        assert set(parameters) == set(br.Parameters.__annotations__)
        assert set(parameters["x_used"]) == set(br.XUsed.__annotations__)
        if parameters["miller"] is not None:
            assert set(parameters["miller"]) == set(br.Miller.__annotations__)
        assert set(summary) == set(br.Summary.__annotations__)
        assert set(summary["backward"]) == set(br.BackwardSummary.__annotations__)
        for said in summary["formats"].values():
            assert set(said) == set(br.FormatSummary.__annotations__)


def test_round_to_takes_format_name():
    assert br.round_to(0.1, format_name="binary32") == np.float32(0.1)
    with pytest.raises(TypeError):
        br.round_to(0.1, format="binary32")


def test_reprs_are_short():
    long_x = "1." + "0" * 5000 + "1"
    result = br.run(x=long_x, orders=12, formats=br.FORMATS, arithmetic="binary256")
    shown = repr(result)
    assert len(shown) < 300, shown
    assert shown.startswith("Result(function='J', x='1.0000") and "orders=12" in shown
    assert "arithmetic='binary256'" in shown
    default = repr(br.run())
    # Where binary32 and binary64 seeds at x = 1 lose every digit (the README's first lesson).
    assert default.endswith(
        "every digit lost at m = 6 (binary32), 10 (binary64), never (binary128))"), default
    columns = repr(result.formats["binary256"])
    assert len(columns) < 200 and columns.startswith("FormatColumns(m = 0 ... 12"), columns
    truth = repr(br.truth(x=long_x, orders=100, arithmetic="binary256"))
    assert len(truth) < 120 and truth.startswith("Truth(function='J'"), truth


# The true values, against mpmath.

def mpmath_bessel(function, m, x):
    """f_m(x) from mpmath, at the working precision; the spherical ones from J and Y of order
    m + 1/2."""
    if function in "jy":
        whole = mpmath.besselj if function == "j" else mpmath.bessely
        return mpmath.sqrt(mpmath.pi / (2 * x)) * whole(m + mpmath.mpf(1) / 2, x)
    return {"J": mpmath.besselj, "Y": mpmath.bessely, "I": mpmath.besseli,
            "K": mpmath.besselk}[function](m, x)


def exponent_form(value, digits):
    """A decimal as the lab prints it: `digits` significant digits, correctly rounded, the
    exponent with two digits at least ("1.1490348493190048e-01")."""
    text = format(decimal.Decimal(value), f".{digits - 1}e")
    return re.sub(r"e([+-])(\d)$", r"e\g<1>0\2", text)


@pytest.mark.parametrize("function,x", [
    ("J", 1), ("J", 20), ("Y", 2.5), ("I", 3), ("K", 0.5), ("j", 1.5), ("y", 7),
])
def test_truth_is_mpmaths_to_17_digits_and_to_the_nearest_float64(function, x):
    truth = br.truth(function=function, x=x, orders=12, arithmetic="binary64")
    assert truth.function == function and list(truth.m) == list(range(13))
    with mpmath.workdps(60):
        exact = [mpmath_bessel(function, m, mpmath.mpf(x)) for m in range(13)]
        assert list(truth.texts) == [exponent_form(mpmath.nstr(v, 50), 17) for v in exact]
        # mpmath's float() rounds its 60 digits to nearest.
        assert list(truth.values) == [float(v) for v in exact]
    assert truth.values.dtype == np.float64


@pytest.mark.parametrize("x,arithmetic,binary_x,digits", [
    # numpy's float32 and float64 of the decimal, each rounded once.
    (0.1, "binary32", float(np.float32(0.1)), 9),
    ("0.1", "binary64", 0.1, 17),
    (1 / 3, "binary64", 1 / 3, 17),
])
def test_truth_is_at_x_rounded_once_into_the_arithmetic(x, arithmetic, binary_x, digits):
    truth = br.truth(x=x, orders=3, arithmetic=arithmetic)
    assert truth.x_used == exponent_form(binary_x, digits)
    with mpmath.workdps(60):
        assert list(truth.values) == [float(mpmath.besselj(m, mpmath.mpf(binary_x)))
                                      for m in range(4)]


@pytest.mark.parametrize("keywords,options", CASES)
def test_truth_prints_what_run_prints(keywords, options):
    result = br.run(**keywords)
    parameters = result.parameters
    truth = br.truth(x=keywords.get("x", 1), orders=parameters["orders"],
                     arithmetic=parameters["arithmetic"], function=parameters["function"])
    assert list(truth.texts) == list(result.truth_text)
    assert truth.x_used == parameters["x_used"]["decimal"]


# The forward values, against a recurrence of one's own.

def seed(value, bits):
    """An mpmath value rounded once to `bits` significant bits, to nearest, ties to even."""
    with mpmath.workprec(bits):
        return +value


def numpy_forward(start_0, start_1, x, last, dtype):
    """J's forward recurrence c_(m+1) = (2m / x) c_m - c_(m-1) in numpy's `dtype`, each
    operation rounded to it, as a student writes it."""
    c = [dtype(start_0), dtype(start_1)]
    with np.errstate(all="ignore"):
        for m in range(1, last):
            c.append(dtype(2 * m) / dtype(x) * c[m] - c[m - 1])
    return np.array(c, dtype=np.float64)


@pytest.mark.parametrize("arithmetic,dtype,bits", [
    ("binary64", np.float64, 53), ("binary32", np.float32, 24), ("binary16", np.float16, 11),
])
def test_forward_values_are_a_numpy_loops_to_the_bit(arithmetic, dtype, bits):
    # J at x = 1 up to M = 40: the narrow formats overflow on the way (inf, then nan).
    result = br.run(x=1, orders=40, formats=("binary16", "binary32", "binary64"),
                    arithmetic=arithmetic)
    with mpmath.workdps(50):
        true_seeds = [mpmath.besselj(0, 1), mpmath.besselj(1, 1)]
    for name, columns in result.formats.items():
        seed_bits = {"binary16": 11, "binary32": 24, "binary64": 53}[name]
        # The lab's seeds: correctly rounded into the seed format, then into the arithmetic.
        starts = [float(seed(seed(v, seed_bits), bits)) for v in true_seeds]
        assert list(columns.values[:2]) == starts
        expected = numpy_forward(starts[0], starts[1], 1, 40, dtype)
        np.testing.assert_array_equal(columns.values, expected)
        assert np.array_equal(np.signbit(columns.values), np.signbit(expected))
        # The texts are the same values, exactly.
        read = np.array([float.fromhex(text) for text in columns.values_text])
        np.testing.assert_array_equal(read, columns.values)
    assert np.isinf(result.formats["binary16"].values).any() or arithmetic != "binary16"


def hexadecimal_value(text):
    """The exact value of a hexadecimal text ("-0xc.3e3fp-4") as a Fraction."""
    sign, whole, point, exponent = re.fullmatch(
        r"(-?)0x([0-9a-f]+)(?:\.([0-9a-f]*))?p([+-]\d+)", text).groups()
    point = point or ""
    value = fractions.Fraction(int(whole + point, 16)) * fractions.Fraction(2) ** (
        int(exponent) - 4 * len(point))
    return -value if sign else value


def mpf_value(value):
    """An mpmath number's exact value as a Fraction (its man_exp holds |mantissa|)."""
    mantissa, exponent = value.man_exp
    magnitude = fractions.Fraction(mantissa) * fractions.Fraction(2) ** exponent
    return -magnitude if value < 0 else magnitude


def test_forward_values_in_binary128_are_exact():
    # mpmath at 113 bits rounds each operation as binary128 does where nothing leaves its
    # range: J at x = 0.75, M = 30, from binary64 seeds.
    result = br.run(x=0.75, orders=30, formats="binary64", arithmetic="binary128")
    columns = result.formats["binary64"]
    exact = [hexadecimal_value(text) for text in columns.values_text]
    with mpmath.workprec(113):
        x = mpmath.mpf(3) / 4
        c = [mpmath.mpf(exact[0].numerator) / exact[0].denominator,
             mpmath.mpf(exact[1].numerator) / exact[1].denominator]
        for m in range(1, 30):
            c.append(mpmath.mpf(2 * m) / x * c[m] - c[m - 1])
        assert [mpf_value(value) for value in c] == exact
    assert list(columns.values) == [float(value) for value in exact]  # each rounded once


# Ctrl-C, and other threads while the core works.

INTERRUPTED = textwrap.dedent("""
    import json, os, sys, time
    import bessel_recurrence as br
    call = br.truth if sys.argv[1] == "truth" else br.run
    keywords = json.loads(sys.argv[2])
    print("ready", flush=True)
    try:
        while True:
            call(**keywords)
    except KeyboardInterrupt:
        stopped = time.monotonic()
    # Nothing left behind: no thread of the core's, and the next run as a fresh one.
    threads = len(os.listdir("/proc/self/task"))
    again = br.run(orders=3).formats["binary64"].measured_text[3]
    print(json.dumps([stopped, threads, again]), flush=True)
""")


def eventually(condition, limit=60.0):
    # Whether `condition` holds within `limit` seconds, asked again every 2 ms.
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            return False
        threading.Event().wait(0.002)
    return True


def processor_seconds(pid):
    # The user and system time a process has used so far, from /proc (fields 14 and 15, after
    # the command's parenthesis).
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


@pytest.mark.parametrize("call,work", [("run", 0.3), ("run", 1.0), ("run", 1.5), ("run", 3.0),
                                       ("truth", 1.0)])
def test_ctrl_c_stops_a_long_run_within_a_fifth_of_a_second(call, work):
    # M = 100000 at x = 10000 in every format takes seconds, the truth alone too; the signal
    # comes once the child has worked `work` seconds of processor time (at 1.0, on a 2-core
    # machine, while run() makes its columns on both cores). The clock is the system's monotonic
    # one, the same in both processes.
    keywords = dict(x=10000, orders=100000)
    if call == "run":
        keywords["formats"] = list(br.FORMATS)
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED, call, json.dumps(keywords)],
                             stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "ready\n"
        assert eventually(lambda: processor_seconds(child.pid) >= work)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        stopped, threads, again = json.loads(child.stdout.readline())
        assert child.wait(timeout=60) == 0
    finally:
        child.kill()
    assert stopped - sent < 0.2
    assert threads == 1
    assert again == "-1.749900e-14"


def test_other_threads_run_while_the_core_works():
    # A thread that notes the clock as often as it can: while run() works it is never held
    # up for long (the core holds the GIL only to make the result, and a moment each 20 ms).
    stamps, working, noting = [], threading.Event(), threading.Event()

    def note():
        while working.is_set():
            stamps.append(time.perf_counter())
            noting.set()

    working.set()
    noter = threading.Thread(target=note)
    noter.start()
    assert noting.wait(timeout=10)
    began = time.perf_counter()
    br.run(x=1000, orders=80000, formats=("binary32", "binary64", "binary128"))
    ended = time.perf_counter()
    working.clear()
    noter.join()
    took = ended - began
    assert took > 0.3  # long enough to tell
    during = [began, *(stamp for stamp in stamps if began < stamp < ended), ended]
    assert max(np.diff(during)) < took / 4


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def test_each_runs_thread_gives_back_what_arb_kept_for_it():
    # Each run's thread of its own leaves Arb's caches (200 KB and more for J) to no one,
    # unless it frees them as it ends: 300 runs would hold 60 MB.
    for function in ("J", "I", "j"):
        br.run(x=2.5, orders=10, function=function)
        before = resident_kib()
        for _ in range(300):
            br.run(x=2.5, orders=10, function=function)
        assert resident_kib() - before < 8 * 1024, function


def test_runs_in_two_threads_give_what_one_gives():
    keywords = dict(x=30, orders=400, formats=br.FORMATS, arithmetic="binary64")
    alone = br.run(**keywords)
    results = [None, None]

    def work(i):
        results[i] = br.run(**keywords)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        assert list(result.truth_text) == list(alone.truth_text)
        for name, columns in result.formats.items():
            assert list(columns.measured_text) == list(alone.formats[name].measured_text)
            assert list(columns.values_text) == list(alone.formats[name].values_text)


ALONE = textwrap.dedent("""
    import json
    import bessel_recurrence as br
    result = br.run(x=20, orders=60, formats=br.FORMATS)
    print(json.dumps([list(map(str, c.measured_text)) + list(map(str, c.values_text))
                      for c in result.formats.values()]))
""")


@pytest.mark.skipif(os.geteuid() != 0, reason="only root can run a child as a user of its own")
def test_a_run_with_no_thread_to_spare_makes_its_columns_alone():
    # A child as a user id of its own (no other process has it), allowed two threads: Python's
    # and the one the experiment runs on, none for the columns' helpers.
    user = 50000 + os.getpid() % 10000

    def as_user(threads):
        def become():
            if threads:
                resource.setrlimit(resource.RLIMIT_NPROC, (threads, threads))
            os.setgroups([])
            os.setgid(user)
            os.setuid(user)
        return become

    if subprocess.run([sys.executable, "-c", "import bessel_recurrence"], cwd="/",
                      preexec_fn=as_user(0), capture_output=True, timeout=60,
                      check=False).returncode != 0:
        pytest.skip("the module's folder is closed to other users")
    child = subprocess.run([sys.executable, "-c", ALONE], capture_output=True, text=True, cwd="/",
                           preexec_fn=as_user(2), timeout=120, check=False)
    assert child.returncode == 0, child.stderr
    result = br.run(x=20, orders=60, formats=br.FORMATS)
    assert json.loads(child.stdout) == [
        list(map(str, c.measured_text)) + list(map(str, c.values_text))
        for c in result.formats.values()]


# Typing: mypy --strict reads the package's types as a user's program meets them.

TYPED_USE_ERRORS = textwrap.dedent("""
    import bessel_recurrence as br
    result = br.run(x=1)
    reveal_type(result.formats["binary64"].values)
    reveal_type(result.summary["formats"]["binary64"]["every_digit_lost_at"])
    reveal_type(br.truth().texts)
    result.parameters["no_such_key"]
    br.round_to([1.0], format="binary16")
    br.run(orders="10")
""")


@pytest.mark.skipif(shutil.which("mypy") is None, reason="no mypy (Debian's package mypy)")
def test_mypy_knows_the_types(tmp_path):
    user = tmp_path / "user.py"
    user.write_text(TYPED_USE_ERRORS)
    checked = subprocess.run(
        ["mypy", "--strict", "--no-error-summary", "--python-executable", sys.executable,
         "--cache-dir", str(tmp_path / "cache"), str(user)],
        env=dict(os.environ, MYPYPATH=os.environ["PYTHONPATH"]), capture_output=True, text=True,
        timeout=300)
    said = checked.stdout
    assert checked.returncode == 1, said + checked.stderr
    lines = said.splitlines()
    assert re.search(r':4: note: Revealed type is "numpy.ndarray\[.*float.*_64Bit', lines[0])
    assert lines[1].endswith(':5: note: Revealed type is "Union[builtins.int, None]"')
    assert re.search(r':6: note: Revealed type is "numpy.ndarray\[.*numpy.str_', lines[2])
    assert ':7: error: TypedDict "Parameters" has no key "no_such_key"' in said
    assert ':8: error: Unexpected keyword argument "format" for "round_to"' in said
    assert ':9: error: Argument "orders" to "run" has incompatible type "str"' in said
