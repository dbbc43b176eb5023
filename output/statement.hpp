// The write statement: walks an edit list against its items and hands each finished record to a
// sink, which decides where the record goes (a unit, a text, a test's buffer).
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "output/edit.hpp"

// Receives each finished record, columns 1 to record length, without a line end.
using RecordSink = std::function<void(std::string_view record)>;

// One whole statement: every item in order, then the end. The items of a braced list are
// evaluated left to right.
void WriteRecords(EditList list, std::initializer_list<Item> items, const RecordSink& sink);

// A write statement whose one record is a text of `length` columns: the target starts as
// blanks and receives the edited characters from its first column on. 7 under (I1) into two
// columns gives "7 ".
std::string InternalEdit(size_t length, EditList list, std::initializer_list<Item> items);
