// The unit table and the failure path that ends a run.
#include "output/units.hpp"

#include <array>

#include "output/file_io.hpp"
#include "output/traceback.hpp"

namespace {

struct Unit {
  bool connected = false;
  FileHandle handle = -1;
  std::string name;
  bool read_only = false;
  bool cut_pending = false;
};

std::array<Unit, kLastFileUnit + 1> file_units;  // index 0 unused
constexpr std::string_view kConsoleName = "stdout";
constexpr size_t kMaxNameLength = 256;

// The file unit of that number, or null for the console and numbers that name none.
Unit* FileUnit(int32_t unit) {
  if (unit < kFirstFileUnit || unit > kLastFileUnit) return nullptr;
  return &file_units[static_cast<size_t>(unit)];
}

std::string_view Trimmed(std::string_view name) {
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  return name.substr(0, kMaxNameLength);
}

// Closes every connected file unit; returns the first unit that did not close cleanly, or 0.
int32_t CloseAll() {
  int32_t failed = 0;
  for (int32_t unit = kFirstFileUnit; unit <= kLastFileUnit; ++unit) {
    Unit& u = *FileUnit(unit);
    if (!u.connected) continue;
    u.connected = false;
    if (!CloseFile(u.handle) && failed == 0) failed = unit;
  }
  return failed;
}

}  // namespace

void OpenUnit(int32_t unit, std::string_view name) {
  ActiveRoutine routine("OpenUnit");
  Unit* u = FileUnit(unit);
  if (u == nullptr) return;
  if (u->connected) CloseUnit(unit);
  const std::string path = FullPath(Trimmed(name));
  u->name = path;
  const OpenOutcome outcome = OpenReadWrite(path);
  if (!outcome.opened) Fail(outcome.failure, unit);
  u->connected = true;
  u->handle = outcome.handle;
  u->read_only = outcome.read_only;
  u->cut_pending = true;
}

void EmitRecord(int32_t unit, std::string_view bytes) {
  ActiveRoutine routine("EmitRecord");
  std::string line;
  line.reserve(bytes.size() + 2);
  line.append(bytes).append("\r\n");
  if (unit == kConsole) {
    if (WriteStandardOutput(line) == ConsoleWrite::kFailed) Fail(Severe::kWriteError, unit);
    return;
  }
  Unit* u = FileUnit(unit);
  if (u == nullptr || !u->connected) return;
  if (u->read_only) Fail(Severe::kWriteToReadOnly, unit);
  if (!WriteToFile(u->handle, line)) Fail(Severe::kWriteError, unit);
  if (u->cut_pending) {
    if (!CutFile(u->handle)) Fail(Severe::kWriteError, unit);
    u->cut_pending = false;
  }
}

void CloseUnit(int32_t unit) {
  ActiveRoutine routine("CloseUnit");
  Unit* u = FileUnit(unit);
  if (u == nullptr || !u->connected) return;
  u->connected = false;
  if (!CloseFile(u->handle)) Fail(Severe::kWriteError, unit);
}

void ListWrite(std::string_view text) {
  ActiveRoutine routine("ListWrite");
  std::string record = " ";
  record.append(text);
  EmitRecord(kConsole, record);
}

std::string UnitName(int32_t unit) {
  if (unit == kConsole) return std::string(kConsoleName);
  const Unit* u = FileUnit(unit);
  return u != nullptr && u->connected ? u->name : std::string();
}

void Finish() {
  ActiveRoutine routine("Finish");
  if (const int32_t failed = CloseAll(); failed != 0) Fail(Severe::kWriteError, failed);
  EndProcess(0);
}

void Fail(Severe severe, int32_t unit) {
  const Unit* u = FileUnit(unit);
  const std::string name = u != nullptr ? u->name : std::string(kConsoleName);
  std::string message(MessageText(severe));
  message.replace(message.find("%d"), 2, std::to_string(unit));
  message.replace(message.find("%s"), 2, name);
  WriteDiagnostic("tandrel: severe (" + std::to_string(static_cast<int>(severe)) + "): " + message +
                  "\n" + Traceback());
  (void)CloseAll();  // already failing: the first diagnostic is the one that counts
  EndProcess(static_cast<int>(severe));
}
