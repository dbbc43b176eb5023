// Numbers written in exponent form ("7.65e-01", "1e+07", as %e and std::to_chars write them)
// read back as their significant digits and decimal exponent; and printf-like text of any
// length.
#pragma once

#include <string>
#include <string_view>

#include "numeric/precision.hpp"

// "7.651977e-01" -> digits "7651977", exponent -1. The text must be of that form.
DecimalSignificand SignificandOf(std::string_view exponent_form);

// What `print(buffer, size)` writes, whatever its length: `print` behaves as snprintf does,
// returning the length the whole text needs. Empty when `print` fails.
template <class Print>
std::string PrintedText(Print print) {
  std::string text(64, '\0');
  int length = print(text.data(), text.size());
  if (length >= 0 && static_cast<size_t>(length) >= text.size()) {
    text.resize(static_cast<size_t>(length) + 1);  // room for the terminating zero as well
    length = print(text.data(), text.size());
  }
  text.resize(length >= 0 && static_cast<size_t>(length) < text.size() ? static_cast<size_t>(length)
                                                                       : 0);
  return text;
}
