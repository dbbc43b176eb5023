// Edit descriptors, edit lists, and the write statement that walks an edit list against items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
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

// The state of one write statement. Position and length count columns from 1; the record
// holds at least `length` columns, blanks wherever nothing was written.
struct Statement {
  int32_t unit = 0;
  EditList list;
  size_t cursor = 0;
  int scale = 0;
  size_t position = 1;
  size_t length = 0;
  std::string record;
  std::string* internal = nullptr;  // the target text of an internal edit, else null
};

Statement BeginStatement(int32_t unit, EditList list);
// Carries out the control descriptors up to the next data descriptor and writes the item there.
void TransferItem(Statement& statement, const Item& item);
// Carries out the control descriptors up to the next data descriptor, ":" or the end of the
// list, then emits the current record.
void EndStatement(Statement& statement);

// One whole write statement to a unit. The items of a braced list are evaluated left to right.
void Write(int32_t unit, EditList list, std::initializer_list<Item> items);

// A write statement whose one record is a text of `length` columns: the target starts as
// blanks and receives the edited characters from its first column on. 7 under (I1) into two
// columns gives "7 ".
std::string InternalEdit(size_t length, EditList list, std::initializer_list<Item> items);
