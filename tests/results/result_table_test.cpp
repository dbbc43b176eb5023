// The result-file reader: the expected files read back whole, and every refusal of a damaged
// copy, by the file, the line, what is wrong and what to do.
#include "results/result_table.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::GoldenPath;
using testing_support::ReadFile;
using testing_support::RunningAsRoot;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const std::string kAnew = "run bessel-recurrence again to write it anew";
const std::string kEachAnew = "run bessel-recurrence again to write each file anew";
const std::string kRemoveIt = "remove it, then run bessel-recurrence again to write it anew";
const std::string kNotANumber =
    " is not a finite number as bessel-recurrence writes them (like -1.297E-07)";
const std::string kForeign = ": a result file holds printable ASCII only";

// The lines of an expected file, without their CR LF.
std::vector<std::string> GoldenLines(const std::string& file) {
  std::istringstream text(ReadFile(GoldenPath(file)));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    line.pop_back();  // the CR
    lines.push_back(line);
  }
  return lines;
}

// Lines `first` to `last` (from 1) of an expected file, each ending in CR LF.
std::string GoldenLinesFrom(const std::string& file, int first, int last) {
  const std::vector<std::string> lines = GoldenLines(file);
  std::string bytes;
  for (int n = first; n <= last; ++n) bytes += lines[static_cast<size_t>(n - 1)] + "\r\n";
  return bytes;
}

// The expected file with line `n` (from 1) replaced by `text`, its CR LF kept.
std::string WithLine(const std::string& file, int n, const std::string& text) {
  return GoldenLinesFrom(file, 1, n - 1) + text + "\r\n" + GoldenLinesFrom(file, n + 1, 17);
}

// The expected file with the CR LF that ends line `n` replaced by `end`.
std::string WithLineEnd(const std::string& file, int n, const std::string& end) {
  std::string bytes = GoldenLinesFrom(file, 1, n);
  bytes.resize(bytes.size() - 2);
  return bytes + end + GoldenLinesFrom(file, n + 1, 17);
}

// `bytes` with their first `from` replaced by `to`.
std::string Replaced(std::string bytes, const std::string& from, const std::string& to) {
  const size_t at = bytes.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
}

// The expected file with its first `from` replaced by `to`.
std::string Edited(const std::string& file, const std::string& from, const std::string& to) {
  return Replaced(ReadFile(GoldenPath(file)), from, to);
}

// The digit count of the table the file `file` holds: 7 for bess-7.rez.
int DigitsOf(const std::string& file) {
  for (int32_t i = 1; i <= kResultFiles; ++i) {
    if (ResultFileName(i) == file) return SignificantDigits[static_cast<size_t>(i - 1)];
  }
  ADD_FAILURE() << file << " is not a result file's name";
  return 0;
}

// ReadResultTable on the name `file` in `directory`, for the digit count `file` is named for.
std::optional<ReadFailure> ReadIn(const fs::path& directory, const std::string& file,
                                  ResultTable* table = nullptr) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  EXPECT_GE(fd, 0) << directory;
  std::optional<ReadFailure> failure;
  const ResultTable read = ReadResultTable(fd, file, DigitsOf(file), failure);
  close(fd);
  if (table != nullptr) *table = read;
  return failure;
}

// The failure's fields (file, line, what, fix), to compare and to show at once.
using Fields = std::tuple<std::string, int, std::string, std::string>;
Fields FieldsOf(const std::optional<ReadFailure>& failure) {
  if (!failure) return {"(read without failure)", -1, "", ""};
  return {failure->file, failure->line, failure->what, failure->fix};
}

// A damaged file: its bytes, written as `file`, and the refusal expected of them.
struct Damaged {
  const char* name;  // what was done to the file
  std::string file;
  std::string bytes;
  int line;  // the line the refusal names
  std::string what;
  std::string fix = kAnew;
};

void ExpectRefusals(const std::vector<Damaged>& rows) {
  for (const Damaged& row : rows) {
    TempDir dir;
    WriteFileBytes(dir / row.file, row.bytes);
    EXPECT_EQ(FieldsOf(ReadIn(dir.path(), row.file)), Fields(row.file, row.line, row.what, row.fix))
        << row.name;
  }
}

TEST(ResultTableReader, ReadsTheExpectedFilesWhole) {
  const struct Row {
    std::string file;
    size_t m;
    int line;
    std::string recurrence, series, relative_error;
    double error;  // the relative error as a double; 0 on the seed rows
  } rows[] = {
      {"bess-7.rez", 0, 5, "7.651977E-01", "7.6519769E-01", "", 0},
      {"bess-7.rez", 2, 9, "1.149035E-01", "1.149035E-01", "-1.297E-07", -1.297e-07},
      {"bess-7.rez", 10, 17, "1.719248E+00", "2.630615E-10", "-6.536E+09", -6.536e+09},
      // The D of a double's exponent is given back as E.
      {"bess-16.rez", 1, 6, "4.400505857449336E-01", "4.4005058574493355E-01", "", 0},
      {"bess-16.rez", 2, 9, "1.149034849319005E-01", "1.149034849319004E-01", "-4.831E-16",
       -4.831e-16},
      {"bess-34.rez", 10, 17, "-1.954917547827668559698473982820910E-09",
       "2.630615123748069469811807154730436E-10", "8.431E+00", 8.431},
  };
  for (const Row& row : rows) {
    ResultTable table;
    EXPECT_EQ(FieldsOf(ReadIn(GoldenPath(""), row.file, &table)), FieldsOf(std::nullopt));
    EXPECT_EQ(table.significant_digits, DigitsOf(row.file)) << row.file;
    const PrintedRow& printed = table.rows[row.m];
    EXPECT_EQ(printed.line, row.line) << row.file << ", m = " << row.m;
    EXPECT_EQ(printed.recurrence, row.recurrence) << row.file << ", m = " << row.m;
    EXPECT_EQ(printed.series, row.series) << row.file << ", m = " << row.m;
    EXPECT_EQ(printed.relative_error, row.relative_error) << row.file << ", m = " << row.m;
    if (row.m >= 2) {
      EXPECT_EQ(table.relative_error[row.m - 2], row.error) << row.file << ", m = " << row.m;
    }
  }
}

// "NAME:LINE: WHAT; FIX", without the line for the file as a whole and without the fix when
// there is none.
TEST(ReadFailureText, NamesTheFileAndTheLine) {
  const struct Row {
    ReadFailure failure;
    std::string text;
  } rows[] = {
      {{"bess-7.rez", 9, "bad", "fix it"}, "bess-7.rez:9: bad; fix it"},
      {{"bess-7.rez", 0, "bad", "fix it"}, "bess-7.rez: bad; fix it"},
      {{"bess-16.rez", 17, "bad", ""}, "bess-16.rez:17: bad"},
      {{"bess-34.rez", 0, "bad", ""}, "bess-34.rez: bad"},
  };
  for (const Row& row : rows) EXPECT_EQ(row.failure.Text(), row.text);
}

// What sits at the name decides before any byte is read: only a regular file is read, and a
// name that cannot be opened is named with the system's reason.
TEST(ResultTableReader, RefusesWhatIsNotARegularFileOfTheRightSize) {
  const struct Row {
    const char* name;
    void (*make)(const fs::path& file);
    std::string file;
    std::string what;
    std::string fix;
  } rows[] = {
      {"missing", [](const fs::path&) {}, "bess-7.rez",
       "cannot be opened: No such file or directory",
       "run bessel-recurrence first: it writes the result files into its working directory"},
      {"a directory", [](const fs::path& f) { fs::create_directory(f); }, "bess-16.rez",
       "is a directory, not a regular file: only the file bessel-recurrence writes is read",
       kRemoveIt},
      {"a link to a device", [](const fs::path& f) { fs::create_symlink("/dev/null", f); },
       "bess-34.rez",
       "is a device, not a regular file: only the file bessel-recurrence writes is read",
       kRemoveIt},
      // A socket cannot be opened at all, so it is named by the system's reason.
      {"a socket",
       [](const fs::path& f) {
         const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
         sockaddr_un address = {};
         address.sun_family = AF_UNIX;
         ASSERT_LT(f.string().size(), sizeof address.sun_path);
         std::strcpy(address.sun_path, f.c_str());
         ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
         close(fd);
       },
       "bess-7.rez", "cannot be opened: No such device or address", ""},
      {"a link to itself", [](const fs::path& f) { fs::create_symlink(f.filename(), f); },
       "bess-7.rez", "cannot be opened: Too many levels of symbolic links", ""},
      {"65537 bytes", [](const fs::path& f) { WriteFileBytes(f, std::string(65537, 'x')); },
       "bess-7.rez", "is larger than a result file can be (at most 65536 bytes)", kAnew},
      {"a sparse 1 GiB file",
       [](const fs::path& f) {
         WriteFileBytes(f, "");
         fs::resize_file(f, 1L << 30);
       },
       "bess-16.rez", "is larger than a result file can be (at most 65536 bytes)", kAnew},
  };
  for (const Row& row : rows) {
    TempDir dir;
    row.make(dir / row.file);
    EXPECT_EQ(FieldsOf(ReadIn(dir.path(), row.file)), Fields(row.file, 0, row.what, row.fix))
        << row.name;
  }
}

// A FIFO is refused at once, not waited on until something writes to it; should the reader
// wait, the test opens the FIFO for writing, which lets it go on, and fails.
TEST(ResultTableReader, RefusesAFifoWithoutWaitingForAWriter) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "bess-7.rez").c_str(), 0600), 0);
  std::optional<ReadFailure> failure;
  std::atomic<bool> done = false;
  std::thread reader([&] {
    failure = ReadIn(dir.path(), "bess-7.rez");
    done = true;
  });
  const bool waited = !testing_support::Eventually([&] { return done.load(); });
  if (waited) {
    const int writer = open((dir / "bess-7.rez").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    reader.join();
    close(writer);
  } else {
    reader.join();
  }
  EXPECT_FALSE(waited) << "the reader waited for a writer";
  EXPECT_EQ(FieldsOf(failure),
            Fields("bess-7.rez", 0,
                   "is a FIFO, not a regular file: only the file bessel-recurrence writes is read",
                   kRemoveIt));
}

// Names the system cannot open: no fix is offered, the reason says it all.
TEST(ResultTableReader, RefusesANameThatCannotBeOpened) {
  TempDir dir;
  WriteFileBytes(dir / "bess-7.rez", ReadFile(GoldenPath("bess-7.rez")));
  const struct Row {
    std::string name;
    std::string what;
  } rows[] = {
      {std::string(300, 'b'), "cannot be opened: File name too long"},
      {"bess-7.rez/bess-7.rez", "cannot be opened: Not a directory"},
  };
  const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const Row& row : rows) {
    std::optional<ReadFailure> failure;
    ReadResultTable(fd, row.name, 7, failure);
    EXPECT_EQ(FieldsOf(failure), Fields(row.name, 0, row.what, "")) << row.what;
  }
  close(fd);
}

// File permissions do not stop root, whom CI runs as.
TEST(ResultTableReader, RefusesAFileItMayNotRead) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  WriteFileBytes(dir / "bess-7.rez", ReadFile(GoldenPath("bess-7.rez")));
  fs::permissions(dir / "bess-7.rez", fs::perms::none);
  // As the unprivileged user: root's reads are not refused.
  EXPECT_TRUE(testing_support::AsUnprivileged([&] {
    return FieldsOf(ReadIn(dir.path(), "bess-7.rez")) ==
           Fields("bess-7.rez", 0, "cannot be opened: Permission denied",
                  "make it readable (chmod u+r bess-7.rez)");
  }));
}

// A regular file whose size says nothing of its contents (a kernel file, 0 bytes by its size)
// is read no further than one byte beyond the bound.
TEST(ResultTableReader, RefusesAFileThatGrowsPastTheBoundAsItIsRead) {
  const fs::path kernel_file = "/proc/kallsyms";
  if (ReadFile(kernel_file).size() <= 65536) {
    GTEST_SKIP() << kernel_file << " does not hold more than 65536 bytes here";
  }
  TempDir dir;
  fs::create_symlink(kernel_file, dir / "bess-7.rez");
  EXPECT_EQ(
      FieldsOf(ReadIn(dir.path(), "bess-7.rez")),
      Fields("bess-7.rez", 0, "is larger than a result file can be (at most 65536 bytes)", kAnew));
}

// The first byte no result file holds is named by its line and column, before any line end is
// looked at.
TEST(ResultTableReader, RefusesAForeignByte) {
  ExpectRefusals({
      {"a tab", "bess-7.rez", Edited("bess-7.rez", "   2    1.149", "   2\t   1.149"), 9,
       "column 5 holds the byte \\011" + kForeign},
      {"DEL after the column heading", "bess-7.rez",
       WithLine("bess-7.rez", 3, "   m    Functia Bessel Jm(1)\x7f"), 3,
       "column 29 holds the byte \\177" + kForeign},
      {"a NUL byte in a number", "bess-7.rez",
       Edited("bess-7.rez", "-1.297E-07", std::string("-1.2\0junk07", 11)), 9,
       "column 55 holds the byte \\000" + kForeign},
      // "Er.Relativa" with the last letter a Romanian "a" with breve, in UTF-8 (C4 83).
      {"a letter beyond ASCII", "bess-16.rez", Edited("bess-16.rez", "Relativa", "Relativ\xc4\x83"),
       8, "column 78 holds the byte \\304" + kForeign},
      {"UTF-16", "bess-7.rez", std::string("\xff\xfe \0N\0", 6), 1,
       "column 1 holds the byte \\377" + kForeign},
      {"a CR inside a line", "bess-7.rez", Edited("bess-7.rez", "   0    7.65", "   0\r   7.65"), 5,
       "column 5 holds the byte \\015" + kForeign},
      {"CR CR LF", "bess-34.rez", WithLine("bess-34.rez", 2, "\r"), 2,
       "column 1 holds the byte \\015" + kForeign},
      // The last line's CR, without its LF, is a byte inside the line.
      {"the last LF cut off", "bess-7.rez", WithLineEnd("bess-7.rez", 17, "\r"), 17,
       "column 61 holds the byte \\015" + kForeign},
      {"a foreign byte and a Unix line end", "bess-7.rez", WithLineEnd("bess-7.rez", 1, "\x1b\n"),
       1, "column 43 holds the byte \\033" + kForeign},
  });
}

TEST(ResultTableReader, RefusesALineWithoutCrLf) {
  const std::string unix_ends =
      "the line ends in LF alone, not CR LF: the file was saved with Unix line ends";
  ExpectRefusals({
      // As large as a file may be.
      {"65536 bytes on one line", "bess-7.rez", std::string(65536, 'x'), 1,
       "the line has no end: the file is cut short"},
      {"the last CR LF cut off", "bess-7.rez", WithLineEnd("bess-7.rez", 17, ""), 17,
       "the line has no end: the file is cut short"},
      {"cut inside a row", "bess-7.rez", GoldenLinesFrom("bess-7.rez", 1, 9) + "   3    1.95", 10,
       "the line has no end: the file is cut short"},
      {"LF alone on the first line", "bess-34.rez", WithLineEnd("bess-34.rez", 1, "\n"), 1,
       unix_ends,
       "restore CR LF with: sed -i 's/$/\\r/' bess-34.rez (or run bessel-recurrence again to "
       "write it anew)"},
      {"LF alone on an empty line", "bess-7.rez", WithLineEnd("bess-7.rez", 7, "\n"), 7, unix_ends,
       "restore CR LF with: sed -i 's/$/\\r/' bess-7.rez (or run bessel-recurrence again to "
       "write it anew)"},
      {"LF CR", "bess-16.rez", WithLineEnd("bess-16.rez", 12, "\n\r"), 12, unix_ends,
       "restore CR LF with: sed -i 's/$/\\r/' bess-16.rez (or run bessel-recurrence again to "
       "write it anew)"},
  });
}

// A file cut short is refused at the first line missing; one with lines added at its last.
TEST(ResultTableReader, RefusesAnotherNumberOfLines) {
  const std::string bess_7 = ReadFile(GoldenPath("bess-7.rez"));
  ExpectRefusals({
      {"empty", "bess-7.rez", "", 1, "the file has 0 lines, not 17: it is cut short"},
      {"one line", "bess-7.rez", GoldenLinesFrom("bess-7.rez", 1, 1), 2,
       "the file has 1 line, not 17: it is cut short"},
      {"the last line missing", "bess-7.rez", GoldenLinesFrom("bess-7.rez", 1, 16), 17,
       "the file has 16 lines, not 17: it is cut short"},
      {"an empty line added", "bess-7.rez", bess_7 + "\r\n", 18,
       "the file has 18 lines, not 17: lines were added"},
      {"the file twice", "bess-7.rez", bess_7 + bess_7, 34,
       "the file has 34 lines, not 17: lines were added"},
  });
}

TEST(ResultTableReader, RefusesTheDigitsLineOfAnotherTable) {
  const std::string label = " Numar cifre semnificative in J0 si J1:";
  const std::string wanted_7 =
      "expected the digit count 7 after 'Numar cifre semnificative in J0 si J1:'";
  ExpectRefusals({
      {"no leading blank", "bess-7.rez", WithLine("bess-7.rez", 1, label.substr(1) + "  7"), 1,
       wanted_7},
      {"no count", "bess-7.rez", WithLine("bess-7.rez", 1, label), 1, wanted_7},
      {"two counts", "bess-7.rez", WithLine("bess-7.rez", 1, label + "  7 7"), 1, wanted_7},
      {"not a whole number", "bess-7.rez", WithLine("bess-7.rez", 1, label + "  7.0"), 1, wanted_7},
      {"five digits", "bess-7.rez", WithLine("bess-7.rez", 1, label + "00007"), 1, wanted_7},
      {"a count no file has", "bess-7.rez", WithLine("bess-7.rez", 1, label + "  8"), 1,
       wanted_7 + ", not 8: the file holds another table", kEachAnew},
      {"the 16-digit table as bess-7.rez", "bess-7.rez", ReadFile(GoldenPath("bess-16.rez")), 1,
       wanted_7 + ", not 16: the file holds the table of bess-16.rez", kEachAnew},
      {"the 7-digit table as bess-34.rez", "bess-34.rez", ReadFile(GoldenPath("bess-7.rez")), 1,
       "expected the digit count 34 after 'Numar cifre semnificative in J0 si J1:', not 7: the "
       "file holds the table of bess-7.rez",
       kEachAnew},
  });
}

TEST(ResultTableReader, RefusesHeadingsAndEmptyLinesOutOfPlace) {
  const std::string column_headings = "expected the column headings 'm Functia Bessel Jm(1)'";
  const std::string recurrence_headings =
      "expected the column headings 'RECURENTA DIRECT (Serie) Termeni Er.Relativa'";
  ExpectRefusals({
      {"a blank on line 2", "bess-7.rez", WithLine("bess-7.rez", 2, " "), 2,
       "expected an empty line"},
      {"a word on line 4", "bess-16.rez", WithLine("bess-16.rez", 4, "x"), 4,
       "expected an empty line"},
      {"blanks on line 7", "bess-34.rez", WithLine("bess-34.rez", 7, "   "), 7,
       "expected an empty line"},
      {"another order in the column heading", "bess-7.rez", Edited("bess-7.rez", "Jm(1)", "Jm(2)"),
       3, column_headings},
      {"the recurrence heading first", "bess-7.rez",
       WithLine("bess-7.rez", 3, GoldenLines("bess-7.rez")[7]), 3, column_headings},
      {"a heading altered", "bess-7.rez", Edited("bess-7.rez", "RECURENTA", "system(1)"), 8,
       recurrence_headings},
      {"the last heading missing", "bess-34.rez", Edited("bess-34.rez", "Er.Relativa", ""), 8,
       recurrence_headings},
  });
}

// Five fields: m, the recurrence value, the series value, the term count, the relative error.
// The count of fields is checked first, then m, then the three numbers, then the term count.
TEST(ResultTableReader, RefusesARecurrenceRowThatIsNotTheProgramsOwn) {
  const std::string row_2 = "cannot read the row for m = 2: ";
  ExpectRefusals({
      {"the relative error missing", "bess-7.rez", Edited("bess-7.rez", "    -1.297E-07", ""), 9,
       row_2 + "it holds 4 fields, not 5"},
      {"a field added", "bess-7.rez", Edited("bess-7.rez", "-6.536E+09", "-6.536E+09 0"), 17,
       "cannot read the row for m = 10: it holds 6 fields, not 5"},
      {"rows in another order", "bess-7.rez", Edited("bess-7.rez", "   3 ", "   4 "), 10,
       "cannot read the row for m = 3: it begins with '4', not 3"},
      {"a letter for m", "bess-7.rez", Edited("bess-7.rez", "   3 ", "  x3 "), 10,
       "cannot read the row for m = 3: it begins with 'x3', not 3"},
      {"m of five digits", "bess-7.rez", Edited("bess-7.rez", "   3 ", "00003 "), 10,
       "cannot read the row for m = 3: it begins with '00003', not 3"},
      // A word longer than 40 characters is shown cut to 40.
      {"a long word for m", "bess-7.rez",
       Edited("bess-7.rez", "   4 ", std::string(20, 'y') + std::string(25, 'z') + " "), 11,
       "cannot read the row for m = 4: it begins with '" + std::string(20, 'y') +
           std::string(20, 'z') + "...', not 4"},
      {"a letter in a recurrence value", "bess-7.rez",
       Edited("bess-7.rez", "1.149035E-01  ", "1.149035X-01  "), 9,
       row_2 + "'1.149035X-01'" + kNotANumber},
      {"nan for a series value", "bess-7.rez", Edited("bess-7.rez", "5.249250E-09", "nan"), 16,
       "cannot read the row for m = 9: 'nan'" + kNotANumber},
      {"a lower-case exponent", "bess-7.rez", Edited("bess-7.rez", "-1.297E-07", "-1.297e-07"), 9,
       row_2 + "'-1.297e-07'" + kNotANumber},
      {"a plus sign", "bess-7.rez", Edited("bess-7.rez", "2.630615E-10", "+2.630615E-10"), 17,
       "cannot read the row for m = 10: '+2.630615E-10'" + kNotANumber},
      {"no exponent", "bess-7.rez", Edited("bess-7.rez", "-1.297E-07", "-1.297"), 9,
       row_2 + "'-1.297'" + kNotANumber},
      {"a hexadecimal number", "bess-7.rez", Edited("bess-7.rez", "-1.297E-07", "0x1p3"), 9,
       row_2 + "'0x1p3'" + kNotANumber},
      {"a three-digit exponent with its letter", "bess-7.rez",
       Edited("bess-7.rez", "-1.297E-07", "-1.297E-100"), 9, row_2 + "'-1.297E-100'" + kNotANumber},
      // Three-digit exponents are written without their letter, but these are beyond a double.
      {"a relative error too large for a double", "bess-7.rez",
       Edited("bess-7.rez", "-1.297E-07", "-1.297+999"), 9, row_2 + "'-1.297+999'" + kNotANumber},
      {"a relative error too small for a double", "bess-7.rez",
       Edited("bess-7.rez", "-1.297E-07", "-1.297-999"), 9, row_2 + "'-1.297-999'" + kNotANumber},
      {"a term count of 0", "bess-7.rez",
       Edited("bess-7.rez", "    8    -1.297E-07", "    0    -1.297E-07"), 9,
       row_2 + "the term count '0' is not a whole number from 1 to 100"},
      {"a term count of 101", "bess-7.rez",
       Edited("bess-7.rez", "    8    -1.297E-07", "  101    -1.297E-07"), 9,
       row_2 + "the term count '101' is not a whole number from 1 to 100"},
      {"a negative term count", "bess-34.rez",
       Edited("bess-34.rez", "  5     8.431E+00", " -5     8.431E+00"), 17,
       "cannot read the row for m = 10: the term count '-5' is not a whole number from 1 to 100"},
      {"a term count of five digits", "bess-7.rez",
       Edited("bess-7.rez", "    8    -1.297E-07", "00008    -1.297E-07"), 9,
       row_2 + "the term count '00008' is not a whole number from 1 to 100"},
      {"a bad term count beside a bad number", "bess-7.rez",
       Edited("bess-7.rez", "    8    -1.297E-07", "    0    -1.297X-07"), 9,
       row_2 + "'-1.297X-07'" + kNotANumber},
      {"two rows damaged", "bess-7.rez",
       Replaced(Edited("bess-7.rez", "-6.536E+09", "x"), "-1.297E-07", "y"), 9,
       row_2 + "'y'" + kNotANumber},
  });
}

// The seed lines, m = 0 and 1, have no relative error: four fields.
TEST(ResultTableReader, RefusesASeedLineThatIsNotTheProgramsOwn) {
  ExpectRefusals({
      {"a relative error added", "bess-7.rez",
       Edited("bess-7.rez", "7.6519769E-01     9", "7.6519769E-01     9    -1.297E-07"), 5,
       "cannot read the row for m = 0: it holds 5 fields, not 4"},
      {"the term count missing", "bess-7.rez",
       Edited("bess-7.rez", "4.4005060E-01     9", "4.4005060E-01"), 6,
       "cannot read the row for m = 1: it holds 3 fields, not 4"},
      {"the seeds swapped", "bess-7.rez",
       GoldenLinesFrom("bess-7.rez", 1, 4) + GoldenLinesFrom("bess-7.rez", 6, 6) +
           GoldenLinesFrom("bess-7.rez", 5, 5) + GoldenLinesFrom("bess-7.rez", 7, 17),
       5, "cannot read the row for m = 0: it begins with '1', not 0"},
      {"inf for a seed", "bess-16.rez", Edited("bess-16.rez", "7.651976865579666D-01", "inf"), 5,
       "cannot read the row for m = 0: 'inf'" + kNotANumber},
      {"a seed's exponent of three digits with its letter", "bess-16.rez",
       Edited("bess-16.rez", "4.4005058574493355D-01", "4.4005058574493355D+001"), 6,
       "cannot read the row for m = 1: '4.4005058574493355D+001'" + kNotANumber},
      {"a seed's term count of 0", "bess-34.rez",
       Edited("bess-34.rez", "4.400505857449335174048481888334680E-01      9",
              "4.400505857449335174048481888334680E-01      0"),
       6, "cannot read the row for m = 1: the term count '0' is not a whole number from 1 to 100"},
  });
}

}  // namespace
