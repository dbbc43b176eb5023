// bessel-recurrence-plot: the prediction against the expected result files, the refusal of
// damaged files, and the pictures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/series.hpp"
#include "picture/gnuplot.hpp"
#include "plot/drawing.hpp"
#include "plot/prediction.hpp"
#include "results/result_table.hpp"
#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::GoldenPath;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// The measured errors of the expected result files and the predicted ones agree to 1 % from
// m = 5 on, where the seeds' errors have outgrown everything else.
TEST(Prediction, AgreesWithTheExpectedFilesToOnePercent) {
  SeedTables();
  const int golden = open(GoldenPath("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    std::optional<ReadFailure> failure;
    const ResultTable table =
        ReadResultTable(golden, ResultFileName(file), SignificantDigits[file - 1], failure);
    ASSERT_FALSE(failure) << failure->Text();
    const RecurrenceTable& seeded = RecurrenceTableOf(file);
    const auto predicted = PredictedAtOne(seeded[0], seeded[1]);
    ASSERT_TRUE(predicted);
    for (int m = 5; m <= 10; ++m) {
      const size_t i = static_cast<size_t>(m - kFirstRecurrenceOrder);
      const double measured = std::fabs(table.relative_error[i]);
      EXPECT_NEAR((*predicted)[i] / measured, 1.0, 0.01) << ResultFileName(file) << ", m = " << m;
    }
  }
  close(golden);
}

// The tool run on `directory` from the working directory `from` (no shell between), with PATH
// as given and HOME in a directory whose gnuplot init file would run a command and spoil the
// pictures, were it read; its status and standard error.
struct Outcome {
  int status = -1;
  std::string errors;
};
Outcome RunPlot(const fs::path& directory, const std::string& path = std::getenv("PATH"),
                const fs::path& from = "/") {
  TempDir home;
  WriteFileBytes(home / ".gnuplot", "system \"touch PWNED\"\nset datafile separator ','\n");
  const testing_support::CommandResult result =
      testing_support::RunCommand({BESSEL_PLOT_PROGRAM, directory.string()}, from,
                                  {"PATH=" + path, "HOME=" + home.path().string()});
  EXPECT_FALSE(fs::exists(home / "PWNED")) << "the init file ran";
  return {result.status, result.err};
}

// The file's first `from` replaced by `to`; every one, where `from` is a line end.
void Edit(const fs::path& file, const std::string& from, const std::string& to) {
  std::string text = ReadFile(file);
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
    if (from != "\r\n") break;
  }
  WriteFileBytes(file, text);
}

// Something else made where the file was.
void Replace(const fs::path& file, void (*make)(const fs::path&)) {
  fs::remove(file);
  make(file);
}

void CopyGoldenFiles(const fs::path& directory) {
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    fs::copy_file(GoldenPath(ResultFileName(file)), directory / ResultFileName(file));
  }
}

// The three tables' series as the tool draws them from the expected files, to two digits
// (measured, and predicted, as they are in bess-errors.dat).
AllSeries ThreeTables() {
  const double rows[kResultFiles][2][kRecurrenceLines] = {
      {{1.3e-7, 4.3e-6, 1.9e-4, 1.5e-2, 1.7e+0, 2.9e+2, 6.4e+4, 1.8e+7, 6.5e+9},
       {2.1e-7, 4.2e-6, 1.9e-4, 1.5e-2, 1.7e+0, 2.9e+2, 6.4e+4, 1.8e+7, 6.5e+9}},
      {{4.8e-16, 2.3e-15, 9.6e-14, 8.0e-12, 9.5e-10, 1.6e-7, 3.5e-5, 9.9e-3, 3.6e+0},
       {1.8e-16, 2.4e-15, 1.0e-13, 8.0e-12, 9.5e-10, 1.6e-7, 3.5e-5, 9.9e-3, 3.6e+0}},
      {{4.2e-34, 5.3e-15, 2.5e-13, 1.9e-11, 2.2e-9, 3.7e-7, 8.2e-5, 2.4e-2, 8.4e+0},
       {2.3e-16, 5.4e-15, 2.5e-13, 1.9e-11, 2.2e-9, 3.7e-7, 8.2e-5, 2.4e-2, 8.4e+0}},
  };
  const char* labels[kResultFiles] = {"7 digits (binary32 seeds)", "16 digits (binary64 seeds)",
                                      "34 digits (binary128 seeds)"};
  AllSeries series;
  for (size_t file = 0; file < series.size(); ++file) {
    series[file].label = labels[file];
    for (size_t row = 0; row < kRecurrenceLines; ++row) {
      series[file].measured[row] = rows[file][0][row];
      series[file].predicted[row] = rows[file][1][row];
    }
  }
  return series;
}

// The plot's share of the picture's width, as gnuplot laid out `script` for kSvgTerminal.
double PlotWidth(const std::string& script) {
  const GnuplotRun run =
      RunGnuplot(script +
                 "set print '-'\nprint (GPVAL_TERM_XMAX - GPVAL_TERM_XMIN) * GPVAL_TERM_SCALE / "
                 "GPVAL_TERM_XSIZE\n");
  EXPECT_EQ(run.drawn, Drawn::kDone) << run.failure;
  return std::stod(run.output.substr(run.output.rfind("</svg>") + 6));
}

// What a class reads from the back of the room: the plot as wide as the picture allows, the key
// inside it, the line at 1 named on the line and not in the key, each table's points in a shape
// of their own, the predicted lines over every point.
TEST(PlotPicture, ShowsEverySeriesAndNamesTheLineAtOne) {
  const std::string script = SeriesScript(ThreeTables(), kSvgTerminal);
  const std::string plot = script.substr(script.find("\nplot "));
  std::set<std::string> shapes;
  for (size_t at = plot.find(" with points "); at != std::string::npos;
       at = plot.find(" with points ", at + 1)) {
    shapes.insert(plot.substr(at, plot.find(" ps ", at) - at));
  }
  const struct Row {
    const char* what;
    bool holds;
  } rows[] = {
      {"the plot takes 85 % of the width or more", PlotWidth(script) >= 0.85},
      {"the key lies inside the plot", script.find("\nset key inside ") != std::string::npos},
      {"the line at 1 is named on the line",
       script.find("\nset label 'every digit lost' at 1, first 1 ") != std::string::npos},
      {"the line at 1 is not in the key",
       plot.find(" 1 with lines lw 2 lc rgb '#000000' notitle") != std::string::npos},
      {"three shapes of points", shapes.size() == 3},
      {"every point is drawn before the first predicted line",
       plot.rfind(" with points ") < plot.find(" with lines dt 2 ")},
  };
  for (const Row& row : rows) EXPECT_TRUE(row.holds) << row.what << "\n" << script;
}

TEST(PlotProgram, DrawsBothPicturesFromTheExpectedFiles) {
  TempDir dir;
  CopyGoldenFiles(dir.path());
  const Outcome outcome = RunPlot(dir.path());
  ASSERT_EQ(outcome.status, 0) << outcome.errors;
  EXPECT_EQ(outcome.errors, "");
  const std::string data = ReadFile(dir / "bess-errors.dat");
  EXPECT_TRUE(data.starts_with("#")) << data;
  EXPECT_NE(data.find("\n10 6.536000e+09 "), std::string::npos) << data;
  EXPECT_EQ(std::system(("xmllint --noout '" + (dir / "bess-errors.svg").string() + "'").c_str()),
            0)
      << "the SVG is not well-formed XML";
  EXPECT_NE(ReadFile(dir / "bess-errors.svg").find(">every digit lost<"), std::string::npos)
      << "the line at relative error 1 is not named";
  EXPECT_TRUE(ReadFile(dir / "bess-errors.png").starts_with("\x89PNG\r\n\x1a\n"));
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST(PlotProgram, WithoutGnuplotItSaysWhatToInstallAfterWritingTheData) {
  TempDir dir;
  CopyGoldenFiles(dir.path());
  const Outcome outcome = RunPlot(dir.path(), "/nonexistent");
  EXPECT_EQ(outcome.status, 3);
  EXPECT_NE(outcome.errors.find("install the package gnuplot-nox"), std::string::npos)
      << outcome.errors;
  EXPECT_TRUE(fs::exists(dir / "bess-errors.dat"));
  EXPECT_FALSE(fs::exists(dir / "bess-errors.svg"));
}

// A damaged result file is refused by its name and line, and nothing is written.
TEST(PlotProgram, RefusesADamagedFileByName) {
  struct Row {
    const char* name;
    void (*damage)(const fs::path& directory);
    std::string complaint;
  };
  const std::string kAnew = "; run bessel-recurrence again to write it anew\n";
  const Row damaged[] = {
      {"missing", [](const fs::path& d) { fs::remove(d / "bess-16.rez"); },
       "bessel-recurrence-plot: bess-16.rez: cannot be opened: No such file or directory; run "
       "bessel-recurrence first: it writes the result files into its working directory\n"},
      {"truncated",
       [](const fs::path& d) {
         const std::string text = ReadFile(d / "bess-7.rez");
         std::string::size_type end = 0;
         for (int line = 0; line < 14; ++line) end = text.find('\n', end) + 1;
         WriteFileBytes(d / "bess-7.rez", text.substr(0, end));
       },
       "bessel-recurrence-plot: bess-7.rez:15: the file has 14 lines, not 17: it is cut short"
       "; run bessel-recurrence again to write it anew\n"},
      {"one line", [](const fs::path& d) { WriteFileBytes(d / "bess-7.rez", " Numar\r\n"); },
       "bessel-recurrence-plot: bess-7.rez:2: the file has 1 line, not 17: it is cut short" +
           kAnew},
      {"a line added",
       [](const fs::path& d) {
         WriteFileBytes(d / "bess-7.rez", ReadFile(d / "bess-7.rez") + "\r\n");
       },
       "bessel-recurrence-plot: bess-7.rez:18: the file has 18 lines, not 17: lines were added" +
           kAnew},
      {"altered row",
       [](const fs::path& d) {
         std::string text = ReadFile(d / "bess-34.rez");
         const auto at = text.find("1.902E-11");
         text.replace(at, 9, "1.902X-11");
         WriteFileBytes(d / "bess-34.rez", text);
       },
       "bessel-recurrence-plot: bess-34.rez:12: cannot read the row for m = 5: '1.902X-11' is not "
       "a "
       "finite number as bessel-recurrence writes them (like -1.297E-07)"
       "; run bessel-recurrence again to write it anew\n"},
  };
  const Row hostile[] = {
      {"a FIFO",
       [](const fs::path& d) {
         Replace(d / "bess-7.rez", [](const fs::path& f) { mkfifo(f.c_str(), 0600); });
       },
       "bessel-recurrence-plot: bess-7.rez: is a FIFO, not a regular file: only the file "
       "bessel-recurrence writes is read; remove it, then run bessel-recurrence again to write "
       "it anew\n"},
      {"a directory",
       [](const fs::path& d) {
         Replace(d / "bess-7.rez", [](const fs::path& f) { fs::create_directory(f); });
       },
       "bessel-recurrence-plot: bess-7.rez: is a directory, not a regular file: only the file "
       "bessel-recurrence writes is read; remove it, then run bessel-recurrence again to write "
       "it anew\n"},
      {"a link to /dev/zero",
       [](const fs::path& d) {
         Replace(d / "bess-7.rez", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); });
       },
       "bessel-recurrence-plot: bess-7.rez: is a device, not a regular file: only the file "
       "bessel-recurrence writes is read; remove it, then run bessel-recurrence again to write "
       "it anew\n"},
      {"a sparse 1 GiB file",
       [](const fs::path& d) { fs::resize_file(d / "bess-16.rez", 1L << 30); },
       "bessel-recurrence-plot: bess-16.rez: is larger than a result file can be (at most 65536 "
       "bytes); run bessel-recurrence again to write it anew\n"},
      {"NUL bytes",
       [](const fs::path& d) { WriteFileBytes(d / "bess-7.rez", std::string(798, '\0')); },
       "bessel-recurrence-plot: bess-7.rez:1: column 1 holds the byte \\000: a result file holds "
       "printable ASCII only; run bessel-recurrence again to write it anew\n"},
      // Files that are not text at all are named by their first foreign byte, never given
      // advice on line ends (gzip's and ELF's first bytes, a terminal's colour code, UTF-16).
      {"a gzip file",
       [](const fs::path& d) {
         WriteFileBytes(d / "bess-7.rez",
                        std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\n\xe3\x02\0", 14));
       },
       "bessel-recurrence-plot: bess-7.rez:1: column 1 holds the byte \\037: a result file holds "
       "printable ASCII only; run bessel-recurrence again to write it anew\n"},
      {"an ELF program",
       [](const fs::path& d) {
         WriteFileBytes(d / "bess-7.rez", std::string("\x7f"
                                                      "ELF\x02\x01\x01\0\n",
                                                      9));
       },
       "bessel-recurrence-plot: bess-7.rez:1: column 1 holds the byte \\177: a result file holds "
       "printable ASCII only; run bessel-recurrence again to write it anew\n"},
      {"a colour code on a Unix line",
       [](const fs::path& d) { Edit(d / "bess-34.rez", "\r\n", "\x1b[0m\n"); },
       "bessel-recurrence-plot: bess-34.rez:1: column 43 holds the byte \\033: a result file "
       "holds printable ASCII only; run bessel-recurrence again to write it anew\n"},
      {"UTF-16",
       [](const fs::path& d) {
         std::string wide = "\xff\xfe";
         for (const char c : ReadFile(d / "bess-7.rez")) wide += std::string{c, '\0'};
         WriteFileBytes(d / "bess-7.rez", wide);
       },
       "bessel-recurrence-plot: bess-7.rez:1: column 1 holds the byte \\377: a result file holds "
       "printable ASCII only; run bessel-recurrence again to write it anew\n"},
      {"a NUL byte and junk after a number",
       [](const fs::path& d) {
         Edit(d / "bess-7.rez", "-1.297E-07", std::string("-1.2\0junk07", 11));
       },
       "bessel-recurrence-plot: bess-7.rez:9: column 55 holds the byte \\000: a result file holds "
       "printable ASCII only; run bessel-recurrence again to write it anew\n"},
      {"nan in a row",
       [](const fs::path& d) { Edit(d / "bess-7.rez", "-1.297E-07", "       nan"); },
       "bessel-recurrence-plot: bess-7.rez:9: cannot read the row for m = 2: 'nan' is not a finite "
       "number as bessel-recurrence writes them (like -1.297E-07)" +
           kAnew},
      {"inf in a seed line",
       [](const fs::path& d) {
         Edit(d / "bess-16.rez", "7.651976865579666D-01", "                  inf");
       },
       "bessel-recurrence-plot: bess-16.rez:5: cannot read the row for m = 0: 'inf' is not a "
       "finite "
       "number as bessel-recurrence writes them (like -1.297E-07)" +
           kAnew},
      {"a hexadecimal number",
       [](const fs::path& d) { Edit(d / "bess-7.rez", "-1.297E-07", "     0x1p3"); },
       "bessel-recurrence-plot: bess-7.rez:9: cannot read the row for m = 2: '0x1p3' is not a "
       "finite number as bessel-recurrence writes them (like -1.297E-07)" +
           kAnew},
      {"LF line ends", [](const fs::path& d) { Edit(d / "bess-34.rez", "\r\n", "\n"); },
       "bessel-recurrence-plot: bess-34.rez:1: the line ends in LF alone, not CR LF: the file was "
       "saved with Unix line ends; restore CR LF with: sed -i 's/$/\\r/' bess-34.rez (or run "
       "bessel-recurrence again to write it anew)\n"},
      {"the 16-digit table as bess-7.rez",
       [](const fs::path& d) {
         fs::copy_file(d / "bess-16.rez", d / "bess-7.rez", fs::copy_options::overwrite_existing);
       },
       "bessel-recurrence-plot: bess-7.rez:1: expected the digit count 7 after 'Numar cifre "
       "semnificative in J0 si J1:', not 16: the file holds the table of bess-16.rez; run "
       "bessel-recurrence again to write each file anew\n"},
      {"rows in another order", [](const fs::path& d) { Edit(d / "bess-7.rez", "   3 ", "   4 "); },
       "bessel-recurrence-plot: bess-7.rez:10: cannot read the row for m = 3: it begins with '4', "
       "not 3" +
           kAnew},
      {"a heading altered",
       [](const fs::path& d) { Edit(d / "bess-7.rez", "RECURENTA", "system(1)"); },
       "bessel-recurrence-plot: bess-7.rez:8: expected the column headings 'RECURENTA DIRECT "
       "(Serie) Termeni Er.Relativa'" +
           kAnew},
      {"a term count out of range",
       [](const fs::path& d) {
         Edit(d / "bess-7.rez", "    8    -1.297E-07", " 9999    -1.297E-07");
       },
       "bessel-recurrence-plot: bess-7.rez:9: cannot read the row for m = 2: the term count '9999' "
       "is not a whole number from 1 to 100" +
           kAnew},
  };
  // Numbers that read well but are not the program's: the prediction drawn beside them would be
  // wrong. A changed digit is caught wherever the row's other digits pin it down.
  const Row altered[] = {
      {"a relative error",
       [](const fs::path& d) { Edit(d / "bess-7.rez", "-6.536E+09", "-6.537E+09"); },
       "bessel-recurrence-plot: bess-7.rez:17: the relative error for m = 10 is not "
       "(series - recurrence) / series of the row's own values: a number was changed" +
           kAnew},
      {"its sign", [](const fs::path& d) { Edit(d / "bess-34.rez", " 1.902E-11", "-1.902E-11"); },
       "bessel-recurrence-plot: bess-34.rez:12: the relative error for m = 5 is not "
       "(series - recurrence) / series of the row's own values: a number was changed" +
           kAnew},
      {"a recurrence value",
       [](const fs::path& d) {
         Edit(d / "bess-16.rez", "1.199870980350681D-09", "1.299870980350681D-09");
       },
       "bessel-recurrence-plot: bess-16.rez:17: the relative error for m = 10 is not "
       "(series - recurrence) / series of the row's own values: a number was changed" +
           kAnew},
      {"a seed's last digit",
       [](const fs::path& d) {
         Edit(d / "bess-16.rez", "4.400505857449336D-01", "4.400505857449337D-01");
       },
       "bessel-recurrence-plot: bess-16.rez:6: the seed for m = 1 is not the "
       "program's: a digit was changed" +
           kAnew},
      {"a seed rounded the other way",
       [](const fs::path& d) {
         Edit(d / "bess-7.rez", "   0    7.651977E-01", "   0    7.651976E-01");
       },
       "bessel-recurrence-plot: bess-7.rez:5: the seed for m = 0 is not the "
       "program's: a digit was changed" +
           kAnew},
  };
  std::vector<Row> rows(std::begin(damaged), std::end(damaged));
  rows.insert(rows.end(), std::begin(hostile), std::end(hostile));
  rows.insert(rows.end(), std::begin(altered), std::end(altered));
  for (const Row& row : rows) {
    TempDir dir;
    CopyGoldenFiles(dir.path());
    row.damage(dir.path());
    const Outcome outcome = RunPlot(dir.path());
    EXPECT_EQ(outcome.status, 1) << row.name;
    EXPECT_EQ(outcome.errors, row.complaint) << row.name;
    EXPECT_FALSE(fs::exists(dir / "bess-errors.dat")) << row.name;
  }
}

// Names are data: whatever bytes a directory's name holds, the tool draws there, and nothing
// in the name runs (as a gnuplot command, a pipe or a shell command) or is read specially.
TEST(PlotProgram, DrawsInADirectoryOfAnyName) {
  const char* names[] = {
      "a\nsystem \"touch PWNED\"\nb",
      "<touch PWNED;x",
      "|touch PWNED;x",
      "-",
      "~",
      "$HOME",
      "@x",
      "quote'\"back\\slash",
      "carriage\rreturn",
      "not utf-8 \xff\xfe",
  };
  for (const char* name : names) {
    TempDir parent;
    fs::create_directory(parent / name);
    CopyGoldenFiles(parent / name);
    const Outcome outcome = RunPlot(name, std::getenv("PATH"), parent.path());
    EXPECT_EQ(outcome.status, 0) << name << ": " << outcome.errors;
    EXPECT_EQ(outcome.errors, "") << name;
    for (const char* output : {"bess-errors.dat", "bess-errors.svg", "bess-errors.png"}) {
      EXPECT_TRUE(fs::is_regular_file(parent / name / output)) << name << " " << output;
    }
    EXPECT_FALSE(fs::exists(parent / "PWNED")) << name;
    EXPECT_FALSE(fs::exists(parent / name / "PWNED")) << name;
  }
  // Shown in a message, a name cannot forge a line or move the cursor.
  EXPECT_EQ(RunPlot("no\nsuch\x1b[2J").errors,
            "bessel-recurrence-plot: cannot open the directory no\\012such\\033[2J: No such file "
            "or directory\n");
}

// An output name planted as a link or a directory is refused by name and left as it is; the
// file a link points to is never written.
TEST(PlotProgram, RefusesAnOutputNameThatIsNotARegularFile) {
  for (const char* output : {"bess-errors.dat", "bess-errors.svg", "bess-errors.png"}) {
    TempDir dir;
    CopyGoldenFiles(dir.path());
    WriteFileBytes(dir / "victim", "kept");
    fs::create_symlink(dir / "victim", dir / output);
    Outcome outcome = RunPlot(dir.path());
    EXPECT_EQ(outcome.status, 1) << output;
    EXPECT_EQ(outcome.errors,
              "bessel-recurrence-plot: " + std::string(output) +
                  " exists and is not a regular file; it is left alone: remove or rename it\n");
    EXPECT_EQ(ReadFile(dir / "victim"), "kept") << output;
    EXPECT_FALSE(fs::exists(dir / "bess-errors.dat") && !fs::is_symlink(dir / "bess-errors.dat"));
    fs::remove(dir / output);
    fs::create_directory(dir / output);
    outcome = RunPlot(dir.path());
    EXPECT_EQ(outcome.status, 1) << output;
  }
}

}  // namespace
