// The unit table and the failure path that ends a run.
#include "runtime/units.hpp"

#include <array>
#include <filesystem>
#include <system_error>

#include "output/statement.hpp"
#include "runtime/file_io.hpp"
#include "traceback/traceback.hpp"

FileOperations FileOps;

namespace {

struct Unit {
  bool connected = false;
  FileHandle handle = -1;
  std::string name;
  bool read_only = false;
  bool cut_pending = false;  // a regular file, to be cut behind its first record
};

std::array<Unit, kLastFileUnit + 1> file_units;  // index 0 unused
constexpr std::string_view kConsoleName = "stdout";
constexpr size_t kMaxNameLength = 256;

// The file unit of that number, or null for the console and numbers that name none.
Unit* FileUnit(int32_t unit) {
  if (unit < kFirstFileUnit || unit > kLastFileUnit) return nullptr;
  return &file_units[static_cast<size_t>(unit)];
}

// The name resolved against the working directory when it names no directory:
// "x.rez" run in /tmp/x -> "/tmp/x/x.rez". A name with a directory stays as it is, and
// so does any name when the working directory cannot be named.
std::string FullPath(std::string_view name) {
  const std::filesystem::path path(name);
  if (path.has_root_path() || path.has_parent_path()) return std::string(name);
  std::error_code error;
  const std::filesystem::path directory = std::filesystem::current_path(error);
  if (error) return std::string(name);
  return (directory / path).string();
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
    if (!FileOps.close(u.handle) && failed == 0) failed = unit;
  }
  return failed;
}

}  // namespace

void OpenUnit(int32_t unit, std::string_view name) {
  ActiveRoutine routine("OpenUnit");
  Unit* u = FileUnit(unit);
  if (u == nullptr) return;
  if (u->connected) CloseUnit(unit);
  // Opened by the name as given, so that a working directory of any depth works; the full path
  // is for diagnostics only.
  const std::string_view trimmed = Trimmed(name);
  u->name = FullPath(trimmed);
  const OpenOutcome outcome = OpenReadWrite(std::string(trimmed));
  if (!outcome.opened) Fail(outcome.failure, unit);
  u->connected = true;
  u->handle = outcome.handle;
  u->read_only = outcome.read_only;
  u->cut_pending = outcome.regular;  // a device or FIFO has no length to cut
}

void EmitRecord(int32_t unit, std::string_view bytes) {
  ActiveRoutine routine("EmitRecord");
  const std::string line = std::string(bytes) + "\r\n";
  if (unit == kConsole) {
    WriteConsoleText(line);
    return;
  }
  Unit* u = FileUnit(unit);
  if (u == nullptr || !u->connected) return;
  if (u->read_only) Fail(Severe::kWriteToReadOnly, unit);
  if (!FileOps.write(u->handle, line)) Fail(Severe::kWriteError, unit);
  if (u->cut_pending) {
    if (!FileOps.cut(u->handle)) Fail(Severe::kWriteError, unit);
    u->cut_pending = false;
  }
}

void Write(int32_t unit, EditList list, std::initializer_list<Item> items) {
  WriteRecords(list, items, [unit](std::string_view record) { EmitRecord(unit, record); });
}

void CloseUnit(int32_t unit) {
  ActiveRoutine routine("CloseUnit");
  Unit* u = FileUnit(unit);
  if (u == nullptr || !u->connected) return;
  u->connected = false;
  if (!FileOps.close(u->handle)) Fail(Severe::kWriteError, unit);
}

void ListWrite(std::string_view text) {
  ActiveRoutine routine("ListWrite");
  EmitRecord(kConsole, " " + std::string(text));
}

void WriteConsoleText(std::string_view text) {
  if (WriteStandardOutput(text) == ConsoleWrite::kFailed) Fail(Severe::kWriteError, kConsole);
}

void WriteErrorText(std::string_view text) {
  WriteDiagnostic(text);
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
  WriteDiagnostic("tandrel: severe (" + std::to_string(static_cast<int>(severe)) +
                  "): " + std::string(MessageText(severe)) + ", unit " + std::to_string(unit) +
                  ", file " + name + "\n" + Traceback());
  (void)CloseAll();  // already failing: the first diagnostic is the one that counts
  EndProcess(static_cast<int>(severe));
}
