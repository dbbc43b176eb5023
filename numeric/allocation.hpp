// What happens when memory runs out: one function for every allocator under the numbers (GMP's,
// which GNU MPFR uses, FLINT's, which Arb uses, and the C++ library's operator new).
#pragma once

// From here on, an allocation any of them cannot make calls `end` instead of their own reports
// (GMP's and FLINT's write a line, FLINT's to standard output, and abort the process; operator
// new throws std::bad_alloc). `end` must end the process: it is given no way to go on. It must
// allocate nothing. Call first thing in a program's main, before any number is made.
void OnAllocationFailure(void (*end)());
