// What the lab's in-process tests share: an experiment in one expression, and its run as the
// program makes it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "experiment/experiment.hpp"

inline Experiment ExperimentOf(const char* x, long orders,
                               std::vector<const IeeeFormat*> seed_formats,
                               const IeeeFormat* arithmetic, SeedKind seeds = SeedKind::kRounded,
                               const BesselFunction& function = kBesselJ) {
  Experiment experiment;
  experiment.function = &function;
  experiment.x_text = x;
  experiment.orders = orders;
  experiment.seed_formats = std::move(seed_formats);
  experiment.arithmetic = arithmetic;
  experiment.seeds = seeds;
  return experiment;
}

inline Outcome Ran(const Experiment& experiment) {
  WidenMpfrExponents();  // as the program does first
  Outcome outcome;
  EXPECT_TRUE(Run(experiment, outcome)) << experiment.x_text;
  return outcome;
}
