// A student's binary64 loop as a compiler may contract it (see contracted_loop.cpp).
#pragma once

// f_0 = f0, f_1 = f1, f_(m+1) = (2m / x) f_m - f_(m-1) up to f_orders, into f[0 ... orders].
void ContractedLoop(double x, double f0, double f1, int orders, double* f);
