// binary128's digits in the WebAssembly build: quad_digits (tests/wasm/quad_digits.cpp), run
// under node, must print the exact decimal digits of 1/3 and 2/3 rounded to binary128, which
// are computed here apart with integers. Emscripten's printf without PRINTF_LONG_DOUBLE prints a
// double's digits instead, from the 17th digit on wrong.
//
//   BESSEL_WASM_QUAD_DIGITS=build-wasm/tests/wasm/quad_digits.js node --test tests/wasm/
'use strict';

const assert = require('node:assert');
const { execFileSync } = require('node:child_process');
const { test } = require('node:test');

// n / d (1/4 <= n / d < 1) rounded to binary128, 113 significant bits to nearest, ties to
// even: q / 2^shift, q of 113 bits.
function binary128(n, d) {
  const shift = n * 2n < d ? 114n : 113n;
  const scaled = n << shift;
  let q = scaled / d;
  const r = scaled % d;
  if (2n * r > d || (2n * r === d && q % 2n === 1n)) q += 1n;
  return { q, shift };
}

// The first `count` significant digits of q / 2^shift (0.1 <= it < 1), rounded to nearest (the
// expansion ends, and no tie arises for these values), as "ddd... e-1".
function digits({ q, shift }, count) {
  const exact = (q * 10n ** shift / (1n << shift)).toString().padStart(Number(shift), '0');
  let kept = BigInt(exact.slice(0, count));
  if (Number(exact[count]) >= 5) kept += 1n;
  return `${kept} e-1`;
}

test('binary128 digits are printed in full, not as a double', () => {
  const module = process.env.BESSEL_WASM_QUAD_DIGITS;
  assert.ok(module, 'BESSEL_WASM_QUAD_DIGITS must name quad_digits.js');
  const printed = execFileSync(process.execPath, ['--no-experimental-fetch', module]).toString();
  const expected = [digits(binary128(1n, 3n), 40), digits(binary128(2n, 3n), 40)];
  assert.deepStrictEqual(printed.trim().split('\n'), expected);
});
