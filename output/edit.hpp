// Edit descriptors, edit lists and output items: the notation in which every line is laid out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "numeric/precision.hpp"

enum class EditKind {
  kLiteral,    // its text
  kInteger,    // Iw
  kText,       // A
  kScale,      // kP
  kExponentE,  // Ew.d
  kExponentD,  // Dw.d
  kTab,        // Tn
  kTabRight,   // TRn
  kSlash,      // "/"
  kColon,      // ":"
};

struct EditDescriptor {
  EditKind kind = EditKind::kColon;
  int w = 0;                        // field width of Iw, Ew.d, Dw.d
  int d = 0;                        // digits behind the point of Ew.d, Dw.d
  int n = 0;                        // k of kP, column of Tn, count of TRn
  std::string_view text = {};       // a literal's bytes
  const int32_t* column = nullptr;  // a Tn whose column is read from here at every visit
};

using EditList = std::span<const EditDescriptor>;

// The notation of edit lists: {Lit(" "), I(3), T(8), P(1), E(13, 6)} reads (" ", I3, T8, 1P,
// E13.6).
namespace edit {
constexpr EditDescriptor Lit(std::string_view text) {
  return {.kind = EditKind::kLiteral, .text = text};
}
constexpr EditDescriptor I(int w) {
  return {.kind = EditKind::kInteger, .w = w};
}
inline constexpr EditDescriptor A{.kind = EditKind::kText};
constexpr EditDescriptor P(int k) {
  return {.kind = EditKind::kScale, .n = k};
}
constexpr EditDescriptor E(int w, int d) {
  return {.kind = EditKind::kExponentE, .w = w, .d = d};
}
constexpr EditDescriptor D(int w, int d) {
  return {.kind = EditKind::kExponentD, .w = w, .d = d};
}
constexpr EditDescriptor T(int n) {
  return {.kind = EditKind::kTab, .n = n};
}
constexpr EditDescriptor T(const int32_t* column) {
  return {.kind = EditKind::kTab, .column = column};
}
constexpr EditDescriptor TR(int n) {
  return {.kind = EditKind::kTabRight, .n = n};
}
inline constexpr EditDescriptor Slash{.kind = EditKind::kSlash};
inline constexpr EditDescriptor Colon{.kind = EditKind::kColon};
}  // namespace edit

// An output item: an integer for Iw, text for A, a value of one of the kinds for Ew.d and Dw.d.
using Item = std::variant<int32_t, std::string_view, Single, Double, Quad>;
