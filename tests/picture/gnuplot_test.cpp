// gnuplot run safely: what it printed or why there is nothing, how it is started (from PATH,
// without its init files or its variables, stopping at the first error), and the two pictures
// checked complete; the conventions every picture shares, as gnuplot draws them.
#include "picture/gnuplot.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// An environment variable set (or removed, for nullopt) for as long as the object lives, then
// put back as it was.
class Variable {
 public:
  Variable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~Variable() { Set(old_); }
  Variable(const Variable&) = delete;
  Variable& operator=(const Variable&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_, value->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

// A directory for PATH holding a program named gnuplot: a shell script with `body`, executable
// or not.
void FakeGnuplot(const fs::path& directory, const std::string& body, bool executable = true) {
  WriteFileBytes(directory / "gnuplot", "#!/bin/sh\n" + body);
  fs::permissions(directory / "gnuplot", executable
                                             ? fs::perms::owner_all
                                             : fs::perms::owner_read | fs::perms::owner_write);
}

const char* const kScriptFailed = "gnuplot failed with status 1 (its own message is above)";

TEST(RunGnuplot, GivesBackWhatGnuplotPrinted) {
  const struct Row {
    std::string script;
    std::string output;
  } rows[] = {
      {"", ""},
      {"set print '-'\nprint 'hello'\n", "hello\n"},
      {"set print '-'\nprint 6 * 7\n", "42\n"},
  };
  for (const Row& row : rows) {
    const GnuplotRun run = RunGnuplot(row.script);
    EXPECT_EQ(run.drawn, Drawn::kDone) << row.script << run.failure;
    EXPECT_EQ(run.output, row.output) << row.script;
    EXPECT_EQ(run.failure, "") << row.script;
  }
}

// When gnuplot draws no picture, the reason says what failed and what to do.
TEST(RunGnuplot, SaysWhatFailed) {
  const struct Row {
    const char* name;
    std::string script;
    std::string failure;
  } rows[] = {
      {"a picture beyond the cap",  // 34.2 MB
       "set print '-'\ndo for [i = 1:600000] { print '" + std::string(56, 'x') + "' }\n",
       "gnuplot's picture is larger than 32 MiB; ask for fewer orders or formats"},
      {"an error in the script", "plot undefined_function(x)\n", kScriptFailed},
      {"gnuplot ended by a signal", "system 'kill -TERM $PPID'\n",
       "gnuplot was ended by signal 15 (Terminated)"},
  };
  for (const Row& row : rows) {
    const GnuplotRun run = RunGnuplot(row.script);
    EXPECT_EQ(run.drawn, Drawn::kGnuplotFailed) << row.name;
    EXPECT_EQ(run.failure, row.failure) << row.name;
    EXPECT_EQ(run.output, "") << row.name;
  }
}

// The script is read as a file, not as typed input: nothing after an error runs.
TEST(RunGnuplot, StopsAtTheFirstError) {
  TempDir dir;
  const GnuplotRun run =
      RunGnuplot("undefined_command\nsystem 'touch \"" + (dir / "ran").string() + "\"'\n");
  EXPECT_EQ(run.failure, kScriptFailed);
  EXPECT_FALSE(fs::exists(dir / "ran")) << "the line after the error ran";
}

// Neither an init file in HOME nor a GNUPLOT_* variable reaches gnuplot.
TEST(RunGnuplot, ReadsNoInitFileAndNoGnuplotVariable) {
  TempDir home;
  WriteFileBytes(home / ".gnuplot", "set print '-'\nprint 'the init file ran'\n");
  const Variable home_variable("HOME", home.path().string());
  const Variable secret("GNUPLOT_SECRET", "leaked");
  const Variable other("BESSEL_SEEN", "seen");
  const GnuplotRun run =
      RunGnuplot("set print '-'\nprint system('echo \"[$GNUPLOT_SECRET] [$BESSEL_SEEN]\"')\n");
  EXPECT_EQ(run.drawn, Drawn::kDone) << run.failure;
  EXPECT_EQ(run.output, "[] [seen]\n");
}

// posix_spawnp says when it cannot start a program, but not under an emulator (qemu-user): there
// the child ends with 127 instead, and gnuplot is said not to be there at all.
struct Expected {
  Drawn drawn;
  std::string failure;
};
Expected AsStarted(Drawn drawn, const std::string& failure) {
  if (!BESSEL_SPAWN_REPORTS_EXEC_FAILURE && failure.starts_with("cannot start gnuplot: ")) {
    return {Drawn::kNoGnuplot, "gnuplot could not be run"};
  }
  return {drawn, failure};
}

// gnuplot is the first in PATH, started with its init files left unread and the script on its
// standard input, read as a file; a program that cannot be started or run is named.
TEST(RunGnuplot, StartsTheGnuplotInPath) {
  const struct Row {
    const char* name;
    std::optional<std::string> fake;  // the body of a gnuplot in PATH; none: PATH holds none
    bool executable;
    Drawn drawn;
    std::string output;
    std::string failure;
  } rows[] = {
      {"no gnuplot", std::nullopt, true, Drawn::kNoGnuplot, "",
       "cannot start gnuplot: No such file or directory"},
      {"a gnuplot that may not be run", "exit 0\n", false, Drawn::kGnuplotFailed, "",
       "cannot start gnuplot: Permission denied"},
      {"a gnuplot whose shell finds nothing to run", "exit 127\n", true, Drawn::kNoGnuplot, "",
       "gnuplot could not be run"},
      {"a gnuplot that fails", "exit 2\n", true, Drawn::kGnuplotFailed, "",
       "gnuplot failed with status 2 (its own message is above)"},
      {"a gnuplot that shows how it was started", "echo \"$@\"; exec /bin/cat\n", true,
       Drawn::kDone, "--default-settings /dev/stdin\nthe script\n", ""},
  };
  for (const Row& row : rows) {
    TempDir bin;
    if (row.fake) FakeGnuplot(bin.path(), *row.fake, row.executable);
    const Variable path("PATH", bin.path().string());
    const GnuplotRun run = RunGnuplot("the script\n");
    const Expected expected = AsStarted(row.drawn, row.failure);
    EXPECT_EQ(run.drawn, expected.drawn) << row.name;
    EXPECT_EQ(run.output, row.output) << row.name;
    EXPECT_EQ(run.failure, expected.failure) << row.name;
  }
}

// A script that draws `terminal`'s picture of y = x.
std::string Picture(const std::string& terminal) {
  return "set terminal " + terminal + "\nplot x\n";
}
// A script that prints text in place of a picture.
std::string NoPicture(const std::string&) {
  return "set print '-'\nprint 'not a picture'\n";
}

// Both pictures complete, the SVG first; or the first failure, and no second picture asked for
// after it.
TEST(DrawPictures, DrawsTheSvgThenThePngBothComplete) {
  const std::string incomplete = " picture is incomplete; is /tmp full, or a file-size limit set?";
  const struct Row {
    const char* name;
    PlotScriptFor script;
    bool gnuplot_in_path;
    Drawn drawn;
    std::string failure;
    std::vector<std::string> terminals;  // as the script was asked for them
  } rows[] = {
      {"both drawn", Picture, true, Drawn::kDone, "", {kSvgTerminal, kPngTerminal}},
      {"text for the SVG",
       NoPicture,
       true,
       Drawn::kGnuplotFailed,
       "the SVG" + incomplete,
       {kSvgTerminal}},
      {"text for the PNG",
       [](const std::string& terminal) {
         return terminal == kSvgTerminal ? Picture(terminal) : NoPicture(terminal);
       },
       true,
       Drawn::kGnuplotFailed,
       "the PNG" + incomplete,
       {kSvgTerminal, kPngTerminal}},
      {"an error in the script",
       [](const std::string&) { return std::string("plot y\n"); },
       true,
       Drawn::kGnuplotFailed,
       kScriptFailed,
       {kSvgTerminal}},
      {"no gnuplot",
       Picture,
       false,
       Drawn::kNoGnuplot,
       "cannot start gnuplot: No such file or directory",
       {kSvgTerminal}},
  };
  for (const Row& row : rows) {
    TempDir empty;
    std::optional<Variable> path;
    if (!row.gnuplot_in_path) path.emplace("PATH", empty.path().string());
    std::vector<std::string> terminals;
    const Pictures pictures = DrawPictures([&](const std::string& terminal) {
      terminals.push_back(terminal);
      return row.script(terminal);
    });
    const Expected expected = AsStarted(row.drawn, row.failure);
    EXPECT_EQ(pictures.drawn, expected.drawn) << row.name;
    EXPECT_EQ(pictures.failure, expected.failure) << row.name;
    EXPECT_EQ(terminals, row.terminals) << row.name;
    if (row.drawn == Drawn::kDone) {
      EXPECT_TRUE(pictures.svg.starts_with("<?xml")) << pictures.svg.substr(0, 40);
      EXPECT_NE(pictures.svg.rfind("</svg>"), std::string::npos);
      EXPECT_TRUE(pictures.png.starts_with("\x89PNG\r\n\x1a\n"));
      EXPECT_TRUE(pictures.png.ends_with(std::string("IEND\xae\x42\x60\x82")));
    } else {
      EXPECT_EQ(pictures.svg, "") << row.name;
      EXPECT_EQ(pictures.png, "") << row.name;
    }
  }
}

// The labels of the m axis in an SVG picture of gnuplot's, blank-separated: the numbers it writes
// centred (the y axis's are written flush right, and this picture has no other centred number).
std::string XTicLabels(const std::string& svg) {
  const std::string centred = "text-anchor=\"middle\">", text = "<tspan ";
  std::string labels;
  for (size_t at = svg.find(centred); at != std::string::npos; at = svg.find(centred, at + 1)) {
    const size_t begin = svg.find('>', svg.find(text, at)) + 1;
    std::istringstream label(svg.substr(begin, svg.find('<', begin) - begin));
    std::string number;
    label >> number;
    if (number.find_first_not_of("0123456789.-") == std::string::npos) {
      labels += (labels.empty() ? "" : " ") + number;
    }
  }
  return labels;
}

// The m axis of a picture of orders 0 ... last, drawn from -0.5 to last + 0.5, is labelled at
// whole orders only, at most 13 of them; left to itself gnuplot puts tics at 0.5, 1.5 and 2.5
// there for two or three orders.
TEST(OrderTics, LabelsWholeOrdersOnly) {
  const struct Row {
    long last;
    std::string labels;
  } rows[] = {
      {1, "0 1"},
      {2, "0 1 2"},
      {3, "0 1 2 3"},
      {12, "0 1 2 3 4 5 6 7 8 9 10 11 12"},
      {13, "0 2 4 6 8 10 12"},
      {15, "0 2 4 6 8 10 12 14"},
      {30, "0 5 10 15 20 25 30"},
      {60, "0 5 10 15 20 25 30 35 40 45 50 55 60"},
      {64, "0 5 10 15 20 25 30 35 40 45 50 55 60"},
      {65, "0 10 20 30 40 50 60"},
      {1000, "0 100 200 300 400 500 600 700 800 900 1000"},
      {99999, "0 10000 20000 30000 40000 50000 60000 70000 80000 90000"},
  };
  for (const Row& row : rows) {
    const std::string last = std::to_string(row.last);
    const GnuplotRun run = RunGnuplot("set xrange [-0.5:" + last + ".5]\n" + OrderTics(row.last) +
                                      "unset key\nset terminal " + kSvgTerminal + "\nplot x\n");
    ASSERT_EQ(run.drawn, Drawn::kDone) << run.failure;
    EXPECT_EQ(XTicLabels(run.output), row.labels) << "orders 0 ... " << last;
  }
}

// Series drawn as points or lines one after another stay visible where their values coincide:
// each marker its own shape, each smaller than the one before (never the triangle that marks a
// value beyond the range), each line narrower than the one before.
TEST(Nested, EachSeriesShowsInsideTheOneBefore) {
  const struct Row { size_t series; } rows[] = {{1}, {2}, {3}, {7}};
  for (const Row& row : rows) {
    std::set<int> shapes;
    double size_before = 1e9, width_before = 1e9;
    for (size_t i = 0; i < row.series; ++i) {
      int shape = 0, line = 0;
      double size = 0, width = 0;
      ASSERT_EQ(std::sscanf(NestedPoints(i, row.series).c_str(), "pt %d ps %lf lw %d", &shape,
                            &size, &line),
                3)
          << NestedPoints(i, row.series);
      ASSERT_EQ(std::sscanf(NestedWidth(i, row.series).c_str(), "lw %lf", &width), 1);
      EXPECT_TRUE(shapes.insert(shape).second) << "series " << i << " of " << row.series;
      EXPECT_NE(shape, 8) << "the upward triangle marks a value beyond the range";
      EXPECT_LT(size, size_before) << "series " << i << " of " << row.series;
      EXPECT_LT(width, width_before) << "series " << i << " of " << row.series;
      EXPECT_GE(size, 1.2);
      EXPECT_GE(width, 2.5);
      size_before = size;
      width_before = width;
    }
  }
}

// Each format has one colour in the pictures, on the web page and in the notebook: the page's
// own table, read from its script, and the notebook's, in the order of the seven formats, name
// the same seven. A format the pictures do not know is grey.
TEST(FormatColour, IsThePagesAndTheNotebooks) {
  std::ifstream page_file(BESSEL_PAGE_SCRIPT), notebook_file(BESSEL_NOTEBOOK);
  if (!page_file || !notebook_file) GTEST_SKIP() << "no sources here (another target's files)";
  // "    binary16: { colour: '#d55e00', ...": a name, then its colour.
  std::map<std::string, std::string> page;
  for (std::string line; std::getline(page_file, line);) {
    const std::string::size_type at = line.find(": { colour: '#");
    if (at == std::string::npos) continue;
    const std::string::size_type name = line.find_first_not_of(' ');
    page[line.substr(name, at - name)] = line.substr(at + 13, 7);
  }
  EXPECT_EQ(page.size(), 7u);
  for (const auto& [format, colour] : page) EXPECT_EQ(FormatColour(format), colour) << format;

  const std::string notebook{std::istreambuf_iterator<char>(notebook_file), {}};
  const std::string::size_type table = notebook.find("COLOURS = dict(zip(br.FORMATS, (");
  ASSERT_NE(table, std::string::npos);
  // The colours in the order of the formats, each "#" and six digits, up to the table's end.
  std::vector<std::string> in_order;
  const std::string::size_type end = notebook.find(")))", table);
  for (std::string::size_type at = notebook.find('#', table); at < end;
       at = notebook.find('#', at + 1)) {
    in_order.push_back(notebook.substr(at, 7));
  }
  const char* const formats[] = {"binary16", "bfloat16",  "binary32", "binary64",
                                 "x87",      "binary128", "binary256"};
  ASSERT_EQ(in_order.size(), std::size(formats));
  for (size_t i = 0; i < std::size(formats); ++i) {
    EXPECT_EQ(in_order[i], FormatColour(formats[i])) << formats[i];
  }
  EXPECT_EQ(std::string(FormatColour("binary8")), "#888888");
}

}  // namespace
