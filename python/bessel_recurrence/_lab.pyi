"""The laboratory's C++ core, python/module.cpp: its types, for type checkers. The package
bessel_recurrence gives it its Python face; use that."""

from typing import Dict, List, Tuple, TypedDict

import numpy as np
import numpy.typing as npt

from . import CheckParameters, Parameters, Summary

__version__: str
FORMATS: Tuple[str, ...]
FUNCTIONS: Tuple[str, ...]

# A printed column: its texts' nearest float64s, and the texts.
_Column = Tuple[npt.NDArray[np.float64], npt.NDArray[np.str_]]

class _Run(TypedDict):
    parameters: Parameters
    m: npt.NDArray[np.int64]
    truth: _Column
    near_zero: npt.NDArray[np.bool_]
    below_range: npt.NDArray[np.bool_]
    overflowed: npt.NDArray[np.bool_]
    backward: _Column
    # Each seed format's parts (measured, predicted, rounding, rounding_bound) and its forward
    # values (the float64s and the hexadecimal texts).
    formats: Dict[str, Dict[str, _Column]]
    summary: Summary

class _Truth(TypedDict):
    function: str
    x_used: str
    m: npt.NDArray[np.int64]
    values: npt.NDArray[np.float64]
    texts: npt.NDArray[np.str_]

class _Check(TypedDict):
    parameters: CheckParameters
    m: npt.NDArray[np.int64]
    yours: _Column
    lab: _Column
    ulps_apart: _Column
    step: npt.NDArray[np.str_]
    same: npt.NDArray[np.bool_]
    measured: _Column
    predicted: _Column
    rounding: _Column
    rounding_bound: _Column
    verdict: str

# Each parameter as the bytes the command line would be given.
def run(function: bytes, x: bytes, orders: bytes, formats: List[bytes], arithmetic: bytes,
        seeds: bytes) -> _Run: ...
def truth(function: bytes, x: bytes, orders: bytes, arithmetic: bytes) -> _Truth: ...
def round_to(values: npt.NDArray[np.float64], format_name: bytes) -> npt.NDArray[np.float64]: ...
def check(function: bytes, x: bytes, values: List[bytes], arithmetic: bytes,
          seeds: bytes) -> _Check: ...
