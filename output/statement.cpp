// The write statement: one walk over the edit list with one switch over descriptor kinds.
#include "output/statement.hpp"

#include <algorithm>
#include <type_traits>

#include "output/fields.hpp"
#include "traceback/traceback.hpp"

namespace {

// The state of one write statement. Position and length count columns from 1; the record
// holds at least `length` columns, blanks wherever nothing was written.
struct Statement {
  EditList list;
  RecordSink sink;
  size_t cursor = 0;
  int scale = 0;
  size_t position = 1;
  size_t length = 0;
  std::string record{};
};

// Writes text into the record from the position on, overwriting what stands there.
void Place(Statement& s, std::string_view text) {
  const size_t end = s.position - 1 + text.size();
  if (s.record.size() < end) s.record.resize(end, ' ');
  s.record.replace(s.position - 1, text.size(), text);
  s.position = end + 1;
  s.length = std::max(s.length, end);
}

void FinishRecord(Statement& s) {
  s.sink(std::string_view(s.record.data(), s.length));
}

void NextRecord(Statement& s) {
  FinishRecord(s);
  s.record.clear();
  s.position = 1;
  s.length = 0;
}

enum class Stop { kData, kColon, kEnd };

// Carries out control descriptors from the cursor on until a data descriptor, a ":" that meets
// no remaining item, or the end of the list.
Stop Advance(Statement& s, bool item_in_hand) {
  for (; s.cursor < s.list.size(); ++s.cursor) {
    const EditDescriptor& e = s.list[s.cursor];
    switch (e.kind) {
      case EditKind::kLiteral:
        Place(s, e.text);
        break;
      case EditKind::kScale:
        s.scale = e.n;
        break;
      case EditKind::kTab:
        s.position = static_cast<size_t>(std::max(1, e.column != nullptr ? *e.column : e.n));
        break;
      case EditKind::kTabRight:
        s.position += static_cast<size_t>(std::max(0, e.n));
        break;
      case EditKind::kSlash:
        NextRecord(s);
        break;
      case EditKind::kColon:
        if (!item_in_hand) return Stop::kColon;
        break;
      case EditKind::kInteger:
      case EditKind::kText:
      case EditKind::kExponentE:
      case EditKind::kExponentD:
        return Stop::kData;
    }
  }
  return Stop::kEnd;
}

template <class T>
constexpr bool kIsKind =
    std::is_same_v<T, Single> || std::is_same_v<T, Double> || std::is_same_v<T, Quad>;

// The field a data descriptor makes of an item. An item that does not suit its descriptor
// gives a field of asterisks (no text for A).
std::string Field(const EditDescriptor& e, int scale, const Item& item) {
  switch (e.kind) {
    case EditKind::kInteger:
      if (const auto* value = std::get_if<int32_t>(&item)) return IntegerField(*value, e.w);
      return Asterisks(e.w);
    case EditKind::kText:
      if (const auto* text = std::get_if<std::string_view>(&item)) return std::string(*text);
      return {};
    case EditKind::kExponentE:
    case EditKind::kExponentD:
      return std::visit(
          [&](auto value) -> std::string {
            if constexpr (kIsKind<decltype(value)>) {
              return ExponentField(value, e.w, e.d, scale,
                                   e.kind == EditKind::kExponentE ? 'E' : 'D');
            } else {
              return Asterisks(e.w);
            }
          },
          item);
    default:
      return {};
  }
}

// Carries out the control descriptors up to the next data descriptor and writes the item there.
void TransferItem(Statement& s, const Item& item) {
  ActiveRoutine routine("TransferItem");
  if (Advance(s, true) == Stop::kEnd) {
    // Items outlast the list: end the record and take the list again from its start.
    NextRecord(s);
    s.cursor = 0;
    if (Advance(s, true) != Stop::kData) return;  // a list without data descriptors
  }
  Place(s, Field(s.list[s.cursor], s.scale, item));
  ++s.cursor;
}

// Carries out the control descriptors up to the next data descriptor, ":" or the end of the
// list, then hands the current record to the sink.
void EndStatement(Statement& s) {
  ActiveRoutine routine("EndStatement");
  Advance(s, false);
  FinishRecord(s);
}

}  // namespace

void WriteRecords(EditList list, std::initializer_list<Item> items, const RecordSink& sink) {
  Statement s{.list = list, .sink = sink};
  for (const Item& item : items) TransferItem(s, item);
  EndStatement(s);
}

std::string InternalEdit(size_t length, EditList list, std::initializer_list<Item> items) {
  // The target keeps its one record, cut or blank-filled to its length.
  std::string target(length, ' ');
  WriteRecords(list, items, [&target, length](std::string_view record) {
    target.assign(record.substr(0, length));
    target.resize(length, ' ');
  });
  return target;
}
