// The experiment's parameters read from their texts, as the command line and the Python module
// give them. Each setter takes the value and returns "", or leaves the experiment as it was and
// returns the complaint: what the option needs and what it was given, the text made printable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "experiment/experiment.hpp"

// A whole number from 1 to `most` (at most 100000), in decimal digits only.
bool ReadWhole(std::string_view text, long most, long& value);

std::string SetFunction(Experiment& experiment, std::string_view letter);
std::string SetX(Experiment& experiment, std::string_view text);
std::string SetOrders(Experiment& experiment, std::string_view text);
// "binary32,binary64", or the names one by one: every name known, none twice, at least one.
std::string SetFormats(Experiment& experiment, std::string_view list);
std::string SetFormats(Experiment& experiment, const std::vector<std::string>& names);
std::string SetArithmetic(Experiment& experiment, std::string_view name);
std::string SetSeeds(Experiment& experiment, std::string_view kind);

// What only the parameters together decide: series seeds need a function that has a series,
// and x must not round to 0 in the arithmetic format. "" when the experiment can run.
std::string CheckTogether(const Experiment& experiment);

// What both front ends say when Run could not prove the truth to the digits printed.
std::string UnprovenTruthText(const Experiment& experiment);
