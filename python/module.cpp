// bessel_recurrence._lab: the laboratory's experiment, its truth alone, and the exact rounding
// into any IEEE format, for bessel_recurrence/__init__.py, which gives them their Python face
// (types, docstrings, the result's classes). Every number handed over is the text the command
// line prints, and beside it that text's nearest float64; the forward values exactly, in
// hexadecimal, and as float64.
//
// An experiment runs on a thread of its own, which touches no Python object: every array is
// made there as plain memory, and handed to numpy whole once it is done. The calling thread
// meanwhile releases the GIL and wakes every 20 ms to let Python's signal handlers run, so
// that Ctrl-C stops the experiment. Its columns, independent of one another once the experiment
// has run, are made on as many threads as the machine has cores, four at most.
#include <locale.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <new>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli/messages.hpp"
#include "cli/version.hpp"
#include "experiment/check.hpp"
#include "experiment/check_report.hpp"
#include "experiment/columns.hpp"
#include "experiment/experiment.hpp"
#include "experiment/report.hpp"
#include "experiment/settings.hpp"
#include "numeric/arb_ball.hpp"
#include "numeric/mpfr_number.hpp"
#include "numeric/stop.hpp"

namespace py = pybind11;

namespace {

// How often the calling thread lets Python's signal handlers run while an experiment works:
// Ctrl-C is answered within this, and the experiment's next order.
constexpr std::chrono::milliseconds kSignalPoll{20};

// The nearest float64 to a decimal text in exponent form, "inf" or "nan": std::from_chars
// (correctly rounded, whatever the locale), and where its result falls out of float64's range,
// 0 or infinity as IEEE rounds: at once where the decimal exponent lies far beyond the range
// (J_m(10000) at m = 100000 is near 10^-130000), else the text read by MPFR and rounded once into
// binary64.
double NearestDouble(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return value;
  const size_t e = text.find('e');
  long long exponent = 0;
  if (e != std::string_view::npos && e + 1 < text.size() &&
      std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(),
                      exponent)
              .ptr == text.data() + text.size() &&
      (exponent > 400 || exponent < -400)) {
    return std::copysign(exponent > 0 ? HUGE_VAL : 0.0, text[0] == '-' ? -1.0 : 1.0);
  }
  const std::string whole(text);
  IeeeNumber rounded(kBinary64);
  rounded.Set([&](mpfr_ptr v) { return mpfr_strtofr(v, whole.c_str(), nullptr, 10, MPFR_RNDN); });
  return rounded.ToDouble();
}

// The same of a printed number, whose text is `text`: where its digits and the power of ten that
// scales them are both exact in float64 (10^22 the largest), one correctly rounded operation, as
// fast as it gets (where float64 arithmetic is not carried out wider, which would round twice);
// elsewhere its text read. A text alone is read.
double NearestDouble(const PrintedNumber& number, std::string_view text) {
  static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const int64_t scale = number.exponent() - number.digits() + 1;
  if (FLT_EVAL_METHOD == 0 && number.regular() && scale >= -22 && scale <= 22) {
    const auto digits = static_cast<double>(number.significand());  // exact: below 10^7
    const double power = kExactPowers[scale < 0 ? -scale : scale];
    const double magnitude = scale < 0 ? digits / power : digits * power;
    return number.negative() ? -magnitude : magnitude;
  }
  return NearestDouble(text);
}
double NearestDouble(std::string_view, std::string_view text) {
  return NearestDouble(text);
}

// Texts as numpy holds an array of str: `width` UCS-4 characters a row (the longest text's),
// NUL-padded, each character written once (for the large runs, hundreds of megabytes). Every
// text is ASCII.
struct PackedTexts {
  PackedTexts(size_t rows, size_t longest)
      : width(std::max<size_t>(1, longest)),
        chars(std::make_unique_for_overwrite<char32_t[]>(rows * width)) {}
  void Put(size_t row, std::string_view text) {
    if (text.size() > width) throw std::logic_error("a text longer than its column was counted");
    char32_t* start = chars.get() + row * width;
    char32_t* end = std::transform(text.begin(), text.end(), start,
                                   [](char c) { return static_cast<unsigned char>(c); });
    std::fill(end, start + width, U'\0');
  }

  size_t width;
  std::unique_ptr<char32_t[]> chars;
};

// Texts whose longest is not known before the last: gathered end to end in one buffer as they
// come, then packed (a string a row, kept until the last, cost as much again as the rest).
class GatheredTexts {
 public:
  explicit GatheredTexts(size_t rows) { ends_.reserve(rows); }
  void Add(std::string_view text) {
    all_ += text;
    ends_.push_back(all_.size());
    longest_ = std::max(longest_, text.size());
  }
  PackedTexts Packed() const {
    PackedTexts packed(ends_.size(), longest_);
    for (size_t i = 0, start = 0; i < ends_.size(); start = ends_[i++]) {
      packed.Put(i, std::string_view(all_).substr(start, ends_[i] - start));
    }
    return packed;
  }

 private:
  std::string all_;
  std::vector<size_t> ends_;
  size_t longest_ = 0;
};

// One column, row by row: float64 values and their texts.
struct Column {
  std::vector<double> values;
  PackedTexts texts{0, 0};
};

// A column row by row, each row's text and float64 from `row`, in order; `stop` is polled a row.
Column ColumnOf(size_t rows, const std::function<std::pair<std::string, double>(size_t)>& row,
                const std::stop_token& stop) {
  GatheredTexts texts(rows);
  Column column;
  column.values.reserve(rows);
  for (size_t m = 0; m < rows; ++m) {
    StopIfAsked(stop);
    const auto [text, value] = row(m);
    texts.Add(text);
    column.values.push_back(value);
  }
  column.texts = texts.Packed();
  return column;
}

// A printed number's text, and its length, found without writing it; a text's own.
std::string TextOf(const PrintedNumber& number) {
  return number.Text();
}
std::string_view TextOf(std::string_view text) {
  return text;
}
size_t LengthOf(const PrintedNumber& number) {
  return number.TextLength();
}
size_t LengthOf(std::string_view text) {
  return text.size();
}

// A column of printed numbers (PrintedNumber), or texts (the truth's TextColumn, the check's
// columns): their texts, packed as they are written, and as float64 their nearest values, each
// text made once.
template <class Printed>
Column PrintedColumn(const Printed& printed, const std::stop_token& stop) {
  size_t longest = 0;
  for (size_t m = 0; m < printed.size(); ++m) longest = std::max(longest, LengthOf(printed[m]));
  Column column{{}, PackedTexts(printed.size(), longest)};
  column.values.reserve(printed.size());
  for (size_t m = 0; m < printed.size(); ++m) {
    StopIfAsked(stop);
    const auto text = TextOf(printed[m]);
    column.texts.Put(m, text);
    column.values.push_back(NearestDouble(printed[m], text));
  }
  return column;
}

// A seed format's forward values, computed again as Run computed them: exactly in hexadecimal,
// and rounded once to float64 (exact for the arithmetic formats up to binary64).
Column ForwardColumn(const Outcome& outcome, const SeedColumn& seeds, size_t rows,
                     const std::stop_token& stop) {
  ForwardRecurrence forward(*outcome.truth.function, outcome.x, seeds);
  return ColumnOf(
      rows,
      [&](size_t) {
        const IeeeNumber& c = forward.Next();
        return std::pair{HexadecimalText(c), c.ToDouble()};
      },
      stop);
}

// What run() hands over, made without Python: the parameters and the summary as the JSON has
// them, and every array.
struct FormatArrays {
  std::string name;
  std::vector<std::pair<std::string_view, Column>> parts;  // kErrorParts, in order
  Column values;
};
struct LabArrays {
  Field parameters, summary;
  size_t rows = 0;
  Column truth, backward;
  std::vector<std::pair<std::string_view, std::vector<uint8_t>>> marks;  // numpy bool: 0 or 1
  std::vector<FormatArrays> formats;
};

// What truth() hands over.
struct TruthArrays {
  std::string function, x_used;
  size_t rows = 0;
  Column column;  // f_m(x) rounded once to float64, and as the lab prints it
};

// A complaint of the parameters' setters in Python's words: the lab names its options ("--x
// needs a number with 0 < X <= 10000, not 'abc'"), the module its keywords ("x needs ...").
// Every complaint that names an option names it first, and CheckTogether's about x ends
// advising "a wider --arithmetic"; what the caller gave, quoted between, stays as given.
std::string InKeywords(std::string complaint) {
  if (complaint.starts_with("--")) complaint.erase(0, 2);
  constexpr std::string_view kWider = "a wider --arithmetic";
  if (complaint.ends_with(kWider)) {
    complaint.replace(complaint.size() - kWider.size(), kWider.size(), "a wider arithmetic");
  }
  return complaint;
}

// The experiment's parameters as the command line's texts; the first complaint raises
// ValueError with the command line's own message, in the keywords' words.
Experiment ExperimentOf(const std::string& function, const std::string& x,
                        const std::string& orders, const std::vector<std::string>& formats,
                        const std::string& arithmetic, const std::string& seeds) {
  Experiment experiment;
  for (const std::string& complaint :
       {SetFunction(experiment, function), SetX(experiment, x), SetOrders(experiment, orders),
        SetFormats(experiment, formats), SetArithmetic(experiment, arithmetic),
        SetSeeds(experiment, seeds)}) {
    if (!complaint.empty()) throw py::value_error(InKeywords(complaint));
  }
  if (const std::string complaint = CheckTogether(experiment); !complaint.empty()) {
    throw py::value_error(InKeywords(complaint));
  }
  return experiment;
}

// The C locale for this thread while the object lives, the thread's own given back after: the
// numbers' texts are written and read (by MPFR, printf and strtod) with the decimal point and
// nothing else, whatever locale the caller set (locale.setlocale(locale.LC_ALL, "") gives a
// German user the decimal comma, which float.fromhex and the lab's own reading refuse).
class CLocaleScope {
 public:
  CLocaleScope() : c_(newlocale(LC_ALL_MASK, "C", nullptr)) {
    if (c_ == nullptr) throw std::bad_alloc();  // its only failure
    before_ = uselocale(c_);
  }
  ~CLocaleScope() {
    uselocale(before_);
    freelocale(c_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t c_;
  locale_t before_ = LC_GLOBAL_LOCALE;
};

// Runs `work` on a thread of its own, given a stop token, while this thread, the GIL released,
// wakes every kSignalPoll to let Python's signal handlers run. When one raises (KeyboardInterrupt
// at Ctrl-C), the work is asked to stop, waited for, and dropped, and the exception raised here.
// The work must touch no Python object; its exceptions are raised here as they are. The thread
// gives back what FLINT and Arb kept for it as it ends (ReleaseThreadCaches).
template <class Result>
Result Interruptible(std::function<Result(std::stop_token)> work) {
  std::packaged_task<Result(std::stop_token)> task(std::move(work));
  std::future<Result> result = task.get_future();
  std::jthread worker([&task](std::stop_token stop) {
    task(stop);
    ReleaseThreadCaches();
  });
  for (;;) {
    bool done = false;
    {
      py::gil_scoped_release unlocked;
      done = result.wait_for(kSignalPoll) == std::future_status::ready;
      if (done) worker.join();
    }
    if (done) return result.get();
    if (PyErr_CheckSignals() != 0) {
      worker.request_stop();
      {
        py::gil_scoped_release unlocked;
        worker.join();
      }
      throw py::error_already_set();
    }
  }
}

// The most threads a call makes its columns on: the work is mostly writing fresh memory, which
// more cores speed up little, and a call on a large machine, or one of many, should not take it
// all (std::thread::hardware_concurrency counts the machine's cores, not those the process may
// use).
constexpr size_t kMostColumnThreads = 4;

// Runs every task, on as many threads as the machine has cores, kMostColumnThreads at most (one
// a task at most): this thread and helpers, each taking the next task not yet taken. A helper
// works as this thread does, with the whole exponent range and the C locale; the tasks compute
// with no ball, so that it leaves nothing in FLINT's caches. Where no helper can be started (the
// process may have no thread left), the threads already started do the work. After an exception
// no task is begun; this thread's, else the first helper's, is raised once all have ended.
void OnEveryCore(const std::vector<std::function<void()>>& tasks) {
  std::atomic<size_t> next{0};
  const auto work = [&] {
    try {
      for (size_t i = next++; i < tasks.size(); i = next++) tasks[i]();
    } catch (...) {
      next = tasks.size();  // no other task is begun
      throw;
    }
  };
  const size_t threads =
      std::min({kMostColumnThreads, tasks.size(),
                static_cast<size_t>(std::max(1U, std::thread::hardware_concurrency()))});
  std::vector<std::future<void>> helpers;
  for (size_t k = 1; k < threads; ++k) {
    try {
      helpers.push_back(std::async(std::launch::async, [&work] {
        WidestMpfrExponents widest;
        const CLocaleScope c_locale;
        work();
      }));
    } catch (const std::system_error&) {
      break;  // no thread to be had: those started do the work
    }
  }
  std::exception_ptr failed;
  try {
    work();
  } catch (...) {
    failed = std::current_exception();
  }
  for (std::future<void>& helper : helpers) {
    try {
      helper.get();
    } catch (...) {
      if (!failed) failed = std::current_exception();
    }
  }
  if (failed) std::rethrow_exception(failed);
}

// The whole of run() that needs no Python, on the worker thread: the experiment and every array.
LabArrays ComputeLab(const std::string& function, const std::string& x, const std::string& orders,
                     const std::vector<std::string>& formats, const std::string& arithmetic,
                     const std::string& seeds, const std::stop_token& stop) {
  // The whole exponent range while the experiment is read and its numbers live, and the C
  // locale's decimal point: this thread's own, whatever the caller's thread has.
  WidestMpfrExponents widest;
  const CLocaleScope c_locale;
  const Experiment experiment = ExperimentOf(function, x, orders, formats, arithmetic, seeds);
  Outcome outcome;
  if (!Run(experiment, outcome, stop)) throw std::runtime_error(UnprovenTruthText(experiment));
  LabArrays arrays;
  arrays.rows = outcome.backward.size();
  arrays.parameters = ParametersOf(experiment, outcome);
  for (const RowMark& mark : kRowMarks) {
    std::vector<uint8_t> flags(arrays.rows);
    for (size_t m = 0; m < arrays.rows; ++m) flags[m] = mark.of(outcome, m) ? 1 : 0;
    arrays.marks.emplace_back(mark.name, std::move(flags));
  }
  // Every column a task: each is made alone, from the outcome, into a place of its own; the
  // forward values, the longest, first.
  std::vector<std::function<void()>> tasks,
      printed{[&] { arrays.truth = PrintedColumn(outcome.truth_text, stop); },
              [&] { arrays.backward = PrintedColumn(outcome.backward_text, stop); }};
  arrays.formats.resize(outcome.columns.size());
  for (size_t i = 0; i < outcome.columns.size(); ++i) {
    const SeedColumn& column = outcome.columns[i];
    FormatArrays& format = arrays.formats[i];
    format.name = column.format->name;
    tasks.push_back([&] { format.values = ForwardColumn(outcome, column, arrays.rows, stop); });
    format.parts.resize(std::size(kErrorParts));
    for (size_t j = 0; j < std::size(kErrorParts); ++j) {
      format.parts[j].first = kErrorParts[j].name;
      printed.push_back(
          [&, j] { format.parts[j].second = PrintedColumn(column.*kErrorParts[j].values, stop); });
    }
  }
  tasks.insert(tasks.end(), printed.begin(), printed.end());
  OnEveryCore(tasks);
  arrays.summary = SummaryOf(outcome);
  return arrays;
}

// The whole of truth() that needs no Python, on the worker thread.
TruthArrays ComputeTruth(const std::string& function, const std::string& x,
                         const std::string& orders, const std::string& arithmetic,
                         const std::stop_token& stop) {
  WidestMpfrExponents widest;
  const CLocaleScope c_locale;
  const Experiment experiment =
      ExperimentOf(function, x, orders, {std::string(kBinary64.name)}, arithmetic, "rounded");
  Outcome outcome;
  if (!RunTruth(experiment, outcome, stop)) throw std::runtime_error(UnprovenTruthText(experiment));
  TruthArrays arrays;
  arrays.function = experiment.function->letter;
  arrays.x_used = XUsedDecimalText(outcome.x);
  arrays.rows = outcome.truth.f.size();
  arrays.column = ColumnOf(
      arrays.rows,
      [&](size_t m) {
        // The ball's ends round alike to binary64 (RunTruth), so its midpoint rounds as f_m(x).
        return std::pair{TruthText(outcome, m),
                         IeeeNumber(kBinary64, Mid(outcome.truth.f[m]).get()).ToDouble()};
      },
      stop);
  return arrays;
}

// A one-dimensional numpy array over `data`, which it takes over without a copy: the array's
// base owns it, and frees it with the array.
template <class T>
py::array Adopted(std::vector<T>&& data, const py::dtype& dtype, size_t rows) {
  auto owned = std::make_unique<std::vector<T>>(std::move(data));
  py::capsule base(owned.get(), [](void* vector) { delete static_cast<std::vector<T>*>(vector); });
  void* start = owned.release()->data();
  return py::array(dtype, {static_cast<py::ssize_t>(rows)}, {}, start, base);
}

py::array TextArray(PackedTexts&& texts, size_t rows) {
  py::capsule base(texts.chars.get(), [](void* chars) { delete[] static_cast<char32_t*>(chars); });
  void* start = texts.chars.release();
  return py::array(py::dtype("U" + std::to_string(texts.width)), {static_cast<py::ssize_t>(rows)},
                   {}, start, base);
}

// (float64 values, str texts).
py::tuple ColumnArrays(Column&& column, size_t rows) {
  return py::make_tuple(Adopted(std::move(column.values), py::dtype::of<double>(), rows),
                        TextArray(std::move(column.texts), rows));
}

// The orders 0 ... rows - 1, as int64.
py::array Orders(size_t rows) {
  std::vector<int64_t> m(rows);
  for (size_t i = 0; i < rows; ++i) m[i] = static_cast<int64_t>(i);
  return Adopted(std::move(m), py::dtype::of<int64_t>(), rows);
}

// The parameters or the summary as Python values: objects as dicts, arrays as tuples, null as
// None, an integer as int, a number as its value (float64; NaN and infinity as they are).
py::object PyValue(const Field& field) {
  if (field.kind == Field::kString) return py::str(field.text);
  if (field.kind == Field::kInteger) return py::int_(std::stol(field.text));
  if (field.kind == Field::kNumber) return py::float_(field.value);
  if (field.kind == Field::kBoolean) return py::bool_(field.text == "true");
  if (field.kind == Field::kNull) return py::none();
  if (field.kind == Field::kObject) {
    py::dict dict;
    for (const Field& member : field.members) dict[py::str(member.key)] = PyValue(member);
    return dict;
  }
  py::list members;
  for (const Field& member : field.members) members.append(PyValue(member));
  return py::tuple(members);
}

py::dict RunLab(const std::string& function, const std::string& x, const std::string& orders,
                const std::vector<std::string>& formats, const std::string& arithmetic,
                const std::string& seeds) {
  LabArrays arrays = Interruptible<LabArrays>([&](std::stop_token stop) {
    return ComputeLab(function, x, orders, formats, arithmetic, seeds, stop);
  });
  const size_t rows = arrays.rows;
  py::dict result;
  result["parameters"] = PyValue(arrays.parameters);
  result["m"] = Orders(rows);
  result["truth"] = ColumnArrays(std::move(arrays.truth), rows);
  for (auto& [name, flags] : arrays.marks) {
    result[py::str(std::string(name))] = Adopted(std::move(flags), py::dtype::of<bool>(), rows);
  }
  result[py::str(std::string(kBackward))] = ColumnArrays(std::move(arrays.backward), rows);
  py::dict columns;
  for (FormatArrays& format : arrays.formats) {
    py::dict parts;
    for (auto& [name, column] : format.parts) {
      parts[py::str(std::string(name))] = ColumnArrays(std::move(column), rows);
    }
    parts["values"] = ColumnArrays(std::move(format.values), rows);
    columns[py::str(format.name)] = parts;
  }
  result["formats"] = columns;
  result["summary"] = PyValue(arrays.summary);
  return result;
}

// What check() hands over, made without Python: the parameters as the JSON has them, and
// every array: kCheckColumns' (yours and lab as float64 and the exact decimals the output
// prints, ulps_apart as float64 and text, step as text), same, and the error parts.
struct CheckArrays {
  Field parameters;
  size_t rows = 0;
  std::vector<std::pair<std::string_view, Column>> columns;
  PackedTexts steps{0, 0};
  std::vector<uint8_t> same;
  std::string verdict;
};

CheckArrays ComputeCheck(const std::string& function, const std::string& x,
                         const std::vector<std::string>& values, const std::string& arithmetic,
                         const std::string& seeds, const std::stop_token& stop) {
  WidestMpfrExponents widest;
  const CLocaleScope c_locale;
  const Experiment experiment = ExperimentOf(function, x, "1", {arithmetic}, arithmetic, seeds);
  std::vector<GivenText> texts;
  texts.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) texts.push_back({static_cast<long>(i), values[i]});
  std::vector<GivenValue> given;
  if (const std::string complaint = ReadGivenTexts(texts, *experiment.arithmetic, "item", given);
      !complaint.empty()) {
    throw py::value_error("values: " + complaint);
  }
  CheckOutcome check;
  if (!RunCheck(experiment, given, check, stop)) {
    throw std::runtime_error(UnprovenTruthText(experiment));
  }
  CheckArrays arrays;
  arrays.rows = given.size();
  arrays.parameters = CheckParametersOf(experiment, check);
  std::vector<std::vector<std::string>> rows;
  rows.reserve(arrays.rows);
  for (size_t m = 0; m < arrays.rows; ++m) {
    StopIfAsked(stop);
    rows.push_back(CheckRowTexts(check, m));
    arrays.same.push_back(check.comparison.rows[m].same ? 1 : 0);
  }
  const auto exact = [&](const std::vector<IeeeNumber>& numbers, size_t i) {
    return ColumnOf(
        arrays.rows,
        [&](size_t m) {
          return std::pair{rows[m][i], numbers[m].ToDouble()};
        },
        stop);
  };
  const auto printed = [&](size_t i) {
    std::vector<std::string> texts;
    for (const std::vector<std::string>& row : rows) texts.push_back(row[i]);
    return PrintedColumn(texts, stop);
  };
  arrays.columns.emplace_back(kCheckColumns[1].name, exact(check.yours, 1));
  arrays.columns.emplace_back(kCheckColumns[2].name, exact(check.lab, 2));
  arrays.columns.emplace_back(kCheckColumns[3].name, printed(3));
  for (size_t i = 0; i < std::size(kErrorParts); ++i) {
    arrays.columns.emplace_back(kErrorParts[i].name, printed(std::size(kCheckColumns) + i));
  }
  GatheredTexts steps(arrays.rows);
  for (const std::vector<std::string>& row : rows) steps.Add(row[4]);
  arrays.steps = steps.Packed();
  arrays.verdict = check.verdict;
  return arrays;
}

py::dict CheckLab(const std::string& function, const std::string& x,
                  const std::vector<std::string>& values, const std::string& arithmetic,
                  const std::string& seeds) {
  CheckArrays arrays = Interruptible<CheckArrays>([&](std::stop_token stop) {
    return ComputeCheck(function, x, values, arithmetic, seeds, stop);
  });
  const size_t rows = arrays.rows;
  py::dict result;
  result["parameters"] = PyValue(arrays.parameters);
  result["m"] = Orders(rows);
  for (auto& [name, column] : arrays.columns) {
    result[py::str(std::string(name))] = ColumnArrays(std::move(column), rows);
  }
  result["step"] = TextArray(std::move(arrays.steps), rows);
  result["same"] = Adopted(std::move(arrays.same), py::dtype::of<bool>(), rows);
  result["verdict"] = arrays.verdict;
  return result;
}

py::dict TruthLab(const std::string& function, const std::string& x, const std::string& orders,
                  const std::string& arithmetic) {
  TruthArrays arrays = Interruptible<TruthArrays>(
      [&](std::stop_token stop) { return ComputeTruth(function, x, orders, arithmetic, stop); });
  const size_t rows = arrays.rows;
  py::dict result;
  result["function"] = arrays.function;
  result["x_used"] = arrays.x_used;
  result["m"] = Orders(rows);
  result["values"] = Adopted(std::move(arrays.column.values), py::dtype::of<double>(), rows);
  result["texts"] = TextArray(std::move(arrays.column.texts), rows);
  return result;
}

// Each value rounded once, correctly (to nearest, ties to even), into the format named, with
// its subnormals and range, whatever MPFR exponent range the thread had: as float64, which
// holds every value of the narrower formats exactly and is itself held exactly by the wider
// ones.
py::array_t<double> RoundTo(
    const py::array_t<double, py::array::c_style | py::array::forcecast>& values,
    const std::string& format_name) {
  const IeeeFormat* format = FormatNamed(format_name);
  if (format == nullptr) throw py::value_error(UnknownFormatText(Printable(format_name)));
  py::array_t<double> rounded(
      std::vector<py::ssize_t>(values.shape(), values.shape() + values.ndim()));
  const double* in = values.data();
  double* out = rounded.mutable_data();
  const py::ssize_t count = values.size();
  {
    WidestMpfrExponents widest;
    py::gil_scoped_release unlocked;
    // A NaN comes back as it was given, sign and payload.
    for (py::ssize_t i = 0; i < count; ++i) {
      out[i] = std::isnan(in[i]) ? in[i] : IeeeNumber(*format, in[i]).ToDouble();
    }
  }
  return rounded;
}

}  // namespace

PYBIND11_MODULE(_lab, module) {
  module.doc() = "The laboratory's C++ core; use the package bessel_recurrence.";
  module.attr("__version__") = std::string(kVersion);
  py::list formats, functions;
  for (const IeeeFormat* format : kIeeeFormats) formats.append(format->name);
  for (const BesselFunction* function : kBesselFunctions) functions.append(function->letter);
  module.attr("FORMATS") = py::tuple(formats);
  module.attr("FUNCTIONS") = py::tuple(functions);
  module.def("run", &RunLab, py::arg("function"), py::arg("x"), py::arg("orders"),
             py::arg("formats"), py::arg("arithmetic"), py::arg("seeds"));
  module.def("truth", &TruthLab, py::arg("function"), py::arg("x"), py::arg("orders"),
             py::arg("arithmetic"));
  module.def("round_to", &RoundTo, py::arg("values"), py::arg("format_name"));
  module.def("check", &CheckLab, py::arg("function"), py::arg("x"), py::arg("values"),
             py::arg("arithmetic"), py::arg("seeds"));
}
