// The six Bessel functions of integer order the laboratory recurs, and the one three-term
// recurrence each satisfies: f_(m+1) = s (n_m / x) f_m + t f_(m-1), n_m = 2m + offset. Each
// recurrence has two independent solutions: the function and its companion. Of the two, the
// minimal one falls away from the other as m grows, so recurring upwards it is swamped by any
// error that carries the other (the dominant) one, and recurring downwards the other way round.
#pragma once

#include <array>
#include <string_view>

enum class BesselKind { kJ, kY, kI, kK, kSphericalJ, kSphericalY };

struct BesselFunction {
  BesselKind kind;
  std::string_view letter;      // "J", "Y", "I", "K", "j", "y"
  std::string_view recurrence;  // as the output states it
  std::string_view name;        // in words
  int offset;                   // n_m = 2m + offset
  int factor_sign;              // s
  int previous_sign;            // t
  bool minimal;
  BesselKind companion;
  // The companion solution is (-1)^m times the companion function (I_m and (-1)^m K_m solve
  // the recurrence of I; K_m and (-1)^m I_m that of K).
  bool companion_alternates;
  bool has_zeros;
};

inline constexpr BesselFunction kBesselJ{BesselKind::kJ,
                                         "J",
                                         "J_(m+1) = (2m / x) J_m - J_(m-1)",
                                         "the Bessel function of the first kind",
                                         0,
                                         1,
                                         -1,
                                         true,
                                         BesselKind::kY,
                                         false,
                                         true};
inline constexpr BesselFunction kBesselY{BesselKind::kY,
                                         "Y",
                                         "Y_(m+1) = (2m / x) Y_m - Y_(m-1)",
                                         "the Bessel function of the second kind",
                                         0,
                                         1,
                                         -1,
                                         false,
                                         BesselKind::kJ,
                                         false,
                                         true};
inline constexpr BesselFunction kBesselI{BesselKind::kI,
                                         "I",
                                         "I_(m+1) = I_(m-1) - (2m / x) I_m",
                                         "the modified Bessel function of the first kind",
                                         0,
                                         -1,
                                         1,
                                         true,
                                         BesselKind::kK,
                                         true,
                                         false};
inline constexpr BesselFunction kBesselK{BesselKind::kK,
                                         "K",
                                         "K_(m+1) = K_(m-1) + (2m / x) K_m",
                                         "the modified Bessel function of the second kind",
                                         0,
                                         1,
                                         1,
                                         false,
                                         BesselKind::kI,
                                         true,
                                         false};
inline constexpr BesselFunction kSphericalJ{BesselKind::kSphericalJ,
                                            "j",
                                            "j_(m+1) = ((2m + 1) / x) j_m - j_(m-1)",
                                            "the spherical Bessel function of the first kind",
                                            1,
                                            1,
                                            -1,
                                            true,
                                            BesselKind::kSphericalY,
                                            false,
                                            true};
inline constexpr BesselFunction kSphericalY{BesselKind::kSphericalY,
                                            "y",
                                            "y_(m+1) = ((2m + 1) / x) y_m - y_(m-1)",
                                            "the spherical Bessel function of the second kind",
                                            1,
                                            1,
                                            -1,
                                            false,
                                            BesselKind::kSphericalJ,
                                            false,
                                            true};

inline constexpr std::array<const BesselFunction*, 6> kBesselFunctions = {
    &kBesselJ, &kBesselY, &kBesselI, &kBesselK, &kSphericalJ, &kSphericalY};

// The function of that letter, or null.
inline const BesselFunction* BesselFunctionNamed(std::string_view letter) {
  for (const BesselFunction* function : kBesselFunctions) {
    if (function->letter == letter) return function;
  }
  return nullptr;
}

inline const BesselFunction& BesselFunctionOf(BesselKind kind) {
  for (const BesselFunction* function : kBesselFunctions) {
    if (function->kind == kind) return *function;
  }
  return kBesselJ;
}
