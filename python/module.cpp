// bessel_recurrence._lab: the laboratory's experiment and the exact rounding into any IEEE
// format, for bessel_recurrence/__init__.py, which gives them their Python face (types,
// docstrings, the result's classes). Every number handed over is the text the command line
// prints, and beside it that text's nearest float64.
#include <locale.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "cli/messages.hpp"
#include "cli/version.hpp"
#include "experiment/experiment.hpp"
#include "experiment/report.hpp"
#include "experiment/settings.hpp"
#include "numeric/mpfr_number.hpp"

namespace py = pybind11;

namespace {

// The nearest float64 to a decimal text in exponent form, "inf" or "nan": std::from_chars
// (correctly rounded, whatever the locale), and where its result falls out of float64's range,
// the text read by MPFR and rounded once into binary64, to 0 or infinity as IEEE rounds.
double NearestDouble(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return value;
  IeeeNumber rounded(kBinary64);
  rounded.Set([&](mpfr_ptr v) { return mpfr_strtofr(v, text.c_str(), nullptr, 10, MPFR_RNDN); });
  return rounded.ToDouble();
}

// Texts as a numpy array of str (fixed width, UCS-4 in the machine's byte order): every one is
// ASCII.
py::array TextArray(const std::vector<std::string>& texts) {
  size_t width = 1;
  for (const std::string& text : texts) width = std::max(width, text.size());
  py::array array(py::dtype("U" + std::to_string(width)),
                  std::vector<py::ssize_t>{static_cast<py::ssize_t>(texts.size())});
  auto* out = static_cast<char32_t*>(array.mutable_data());
  std::memset(out, 0, texts.size() * width * sizeof(char32_t));
  for (size_t i = 0; i < texts.size(); ++i) {
    for (size_t k = 0; k < texts[i].size(); ++k) {
      out[i * width + k] = static_cast<unsigned char>(texts[i][k]);
    }
  }
  return array;
}

// One printed column: (float64 values, str texts), row by row.
py::tuple Column(size_t rows, const std::function<std::string(size_t)>& text_of) {
  std::vector<std::string> texts;
  texts.reserve(rows);
  py::array_t<double> values(static_cast<py::ssize_t>(rows));
  double* out = values.mutable_data();
  for (size_t m = 0; m < rows; ++m) {
    texts.push_back(text_of(m));
    out[m] = NearestDouble(texts.back());
  }
  return py::make_tuple(values, TextArray(texts));
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

// The experiment's parameters as the command line's texts; the first complaint raises
// ValueError with the command line's own message.
Experiment ExperimentOf(const std::string& function, const std::string& x,
                        const std::string& orders, const std::vector<std::string>& formats,
                        const std::string& arithmetic, const std::string& seeds) {
  Experiment experiment;
  for (const std::string& complaint :
       {SetFunction(experiment, function), SetX(experiment, x), SetOrders(experiment, orders),
        SetFormats(experiment, formats), SetArithmetic(experiment, arithmetic),
        SetSeeds(experiment, seeds)}) {
    if (!complaint.empty()) throw py::value_error(complaint);
  }
  if (const std::string complaint = CheckTogether(experiment); !complaint.empty()) {
    throw py::value_error(complaint);
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

py::dict RunLab(const std::string& function, const std::string& x, const std::string& orders,
                const std::vector<std::string>& formats, const std::string& arithmetic,
                const std::string& seeds) {
  // The whole exponent range while the experiment is read and its numbers live, whatever
  // range another user of MPFR in this thread left; the caller's own given back after. And the
  // C locale's decimal point, whatever the caller's.
  WidestMpfrExponents widest;
  const CLocaleScope c_locale;
  const Experiment experiment = ExperimentOf(function, x, orders, formats, arithmetic, seeds);
  Outcome outcome;
  bool ran = false;
  {
    py::gil_scoped_release unlocked;
    ran = Run(experiment, outcome);
  }
  if (!ran) throw std::runtime_error(UnprovenTruthText(experiment));
  const size_t rows = outcome.backward.size();
  py::dict result;
  result["parameters"] = PyValue(ParametersOf(experiment, outcome));
  py::array_t<long long> m(static_cast<py::ssize_t>(rows));
  for (size_t i = 0; i < rows; ++i) m.mutable_data()[i] = static_cast<long long>(i);
  result["m"] = m;
  result["truth"] = Column(rows, [&](size_t i) { return TruthText(outcome, i); });
  for (const RowMark& mark : kRowMarks) {
    py::array_t<bool> flags(static_cast<py::ssize_t>(rows));
    for (size_t i = 0; i < rows; ++i) flags.mutable_data()[i] = mark.of(outcome, i);
    result[py::str(mark.name)] = flags;
  }
  result[py::str(kBackward)] =
      Column(rows, [&](size_t i) { return ErrorText(outcome.backward[i]); });
  py::dict columns;
  for (const SeedColumn& column : outcome.columns) {
    py::dict parts;
    for (const ErrorPart& part : kErrorParts) {
      parts[py::str(part.name)] = Column(rows, [&](size_t i) { return PartText(part, column, i); });
    }
    columns[py::str(column.format->name)] = parts;
  }
  result["formats"] = columns;
  result["summary"] = PyValue(SummaryOf(outcome));
  return result;
}

// Each value rounded once, correctly (to nearest, ties to even), into `format`, with its
// subnormals and range, whatever MPFR exponent range the thread had: as float64, which holds every
// value of the narrower formats exactly and is itself held exactly by the wider ones.
py::array_t<double> RoundTo(
    const py::array_t<double, py::array::c_style | py::array::forcecast>& values,
    const std::string& name) {
  const IeeeFormat* format = FormatNamed(name);
  if (format == nullptr) throw py::value_error(UnknownFormatText(Printable(name)));
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
  py::list names;
  for (const IeeeFormat* format : kIeeeFormats) names.append(format->name);
  module.attr("FORMATS") = py::tuple(names);
  module.def("run", &RunLab, py::arg("function"), py::arg("x"), py::arg("orders"),
             py::arg("formats"), py::arg("arithmetic"), py::arg("seeds"));
  module.def("round_to", &RoundTo, py::arg("values"), py::arg("format"));
}
