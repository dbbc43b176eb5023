"""The Python module against the command line it shares its core with, and round_to against
numpy's own conversions and a rounding written here from frexp and rint.

BESSEL_LAB_PROGRAM names the lab program; PYTHONPATH holds the built package."""

import csv
import ctypes
import decimal
import fractions
import io
import json
import math
import os
import subprocess
import sys
import tempfile

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


@pytest.mark.parametrize("keywords,options", BAD)
def test_bad_arguments_raise_the_command_lines_message(keywords, options):
    ran = lab(*options)
    assert ran.returncode == 2
    said = ran.stderr.splitlines()[0].removeprefix("bessel-recurrence-lab: ")
    with pytest.raises(ValueError) as raised:
        br.run(**keywords)
    assert str(raised.value) == said


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
        assert sorted(os.listdir(os.path.join(package, "bessel_recurrence")))[0] == "__init__.py"
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
