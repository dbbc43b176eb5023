"""check() against students' loops written here in numpy's float16, float32 and float64, with
and without a fused multiply-add (the exact product and sum by fractions.Fraction, rounded once
by float()), and against the command line's --check.

BESSEL_LAB_PROGRAM names the lab program; PYTHONPATH holds the built package."""

import csv
import fractions
import io
import json
import os
import subprocess

import numpy as np
import pytest

import bessel_recurrence as br

X = 1.3
ORDERS = 14


def seeds(dtype, arithmetic):
    return br.truth(x=X, orders=1, arithmetic=arithmetic).values.astype(dtype)


def numpy_loop(dtype, arithmetic, orders=ORDERS):
    f = np.zeros(orders + 1, dtype=dtype)
    f[0], f[1] = seeds(dtype, arithmetic)
    x = dtype(X)
    for m in range(1, orders):
        f[m + 1] = (dtype(2 * m) / x) * f[m] - f[m - 1]
    return f


def fma_loop():
    f = list(seeds(np.float64, "binary64"))
    exact = fractions.Fraction
    for m in range(1, ORDERS):
        f.append(float(exact(2 * m / X) * exact(f[m]) - exact(f[m - 1])))
    return np.array(f)


def product_first_loop():
    f = list(seeds(np.float64, "binary64"))
    for m in range(1, ORDERS):
        f.append(2 * m * f[m] / X - f[m - 1])
    return np.array(f)


def float32_with_a_python_float_x():
    # x a Python float: numpy 1 computes the step in float64 (a float32 scalar times a float
    # gives float64), numpy 2 in float32 with the factor from x's float64.
    f = np.zeros(ORDERS + 1, dtype=np.float32)
    f[0], f[1] = seeds(np.float32, "binary32")
    for m in range(1, ORDERS):
        f[m + 1] = 2 * m / X * f[m] - f[m - 1]
    return f


WIDER_STEP = "x64+wide" if (np.float32(1) * 1.0).dtype == np.float64 else "x64"

LOOPS = [
    ("float64, the lab's way", lambda: numpy_loop(np.float64, "binary64"), "lab"),
    ("float32, the lab's way", lambda: numpy_loop(np.float32, "binary32"), "lab"),
    ("float16, the lab's way", lambda: numpy_loop(np.float16, "binary16", 8), "lab"),
    ("float64 with an FMA", fma_loop, "fma"),
    ("float64, (2m f_m) / x", product_first_loop, "nf/x"),
    ("float32 with x a Python float", float32_with_a_python_float_x, WIDER_STEP),
]


@pytest.mark.parametrize("name, loop, step", LOOPS, ids=[name for name, _, _ in LOOPS])
def test_each_students_loop_is_named_by_the_variant_that_gives_it(name, loop, step):
    values = loop()
    result = br.check(values, x=X)
    assert list(result.step) == ["seed", "seed"] + [step] * (len(values) - 2), result.verdict
    assert bool(result.same.all()) == (step == "lab"), result.verdict
    if step == "lab":
        assert result.verdict.endswith("recurrence exactly")
        assert not result.ulps_apart.any()


def test_a_seed_one_ulp_off_is_named_and_every_step_is_the_labs():
    values = numpy_loop(np.float64, "binary64")
    values[0] = np.nextafter(values[0], 1.0)
    for m in range(1, ORDERS):
        values[m + 1] = (2 * m / X) * values[m] - values[m - 1]
    result = br.check(values, x=X)
    assert "your seeds are not the lab's (f_0 1.00e+00 ulps off, f_1 the same)" in result.verdict
    assert list(result.step[2:]) == ["lab"] * (ORDERS - 1)
    assert result.ulps_apart[0] == 1.0


def test_texts_printed_short_compare_to_their_digits():
    values = numpy_loop(np.float32, "binary32")
    result = br.check([f"{v:.5g}" for v in values], x=X, arithmetic="binary32")
    assert result.same.all(), result.verdict
    assert result.verdict.startswith(
        "your values agree with the lab's binary32 recurrence to the digits you printed: ")


def test_the_check_is_the_command_lines(tmp_path):
    values = fma_loop()
    (tmp_path / "mine.txt").write_text("".join(f"{v.hex()}\n" for v in values))

    def lab(output):
        return subprocess.run(
            [os.environ["BESSEL_LAB_PROGRAM"], "--check", str(tmp_path / "mine.txt"), "--x",
             str(X), "--arithmetic", "binary64", output], capture_output=True, text=True,
            timeout=120, check=True).stdout

    expected = json.loads(lab("--json"))
    rows = list(csv.DictReader(io.StringIO(lab("--csv"))))
    result = br.check(values, x=X)
    assert result.parameters == expected["parameters"]
    assert result.verdict == expected["verdict"]
    for key in ("yours", "lab", "ulps_apart", "step", "measured", "predicted", "rounding",
                "rounding_bound"):
        texts = getattr(result, key if key == "step" else key + "_text")
        assert [str(t) for t in texts] == [row[key] for row in rows], key
    assert [bool(s) for s in result.same] == [row["same"] for row in expected["rows"]]


@pytest.mark.parametrize("values, keywords, error, message", [
    (["1", "abc"], dict(arithmetic="binary64"), ValueError,
     "values: item 1: 'abc' is not a number (decimal, or C99 hexadecimal such as 0x1.8p-3)"),
    ([1.0, float("inf")], {}, ValueError,
     "values: item 1: 'inf' is not finite: a value of the recurrence must be a number"),
    ([0.5], {}, ValueError, "values: at least two values are needed, f_0 and f_1; there is one"),
    (np.ones(100002), {}, ValueError, "values: more than 100001 values (the orders 0 ... 100000)"),
    (["1", "2"], {}, TypeError, "values given as texts need the arithmetic they were computed in"),
    ("1\n2\n", {}, TypeError, "values must be a sequence of values, not a single str"),
    ([1.0, True], {}, TypeError, "each value must be a number or a str, not bool"),
    ([1.0, 2.0], dict(arithmetic="binary8"), ValueError,
     "unknown format 'binary8'; the formats are binary16, bfloat16, binary32, binary64, x87, "
     "binary128, binary256"),
])
def test_what_cannot_be_checked_is_refused_by_name(values, keywords, error, message):
    with pytest.raises(error) as raised:
        br.check(values, x=X, **keywords)
    assert str(raised.value) == message
