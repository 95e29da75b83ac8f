#pragma once

// A large, realistic practice written straight through the store layer for the
// benchmarks: providers, carriers, diagnosis codes, a fee schedule with
// payment and adjustment codes, patients with their cases, several years of
// charges, payments and adjustments, and the application rows that tie them
// together. Every stored total (a charge's paid buckets, a payment's unapplied
// amount, a patient's balance and last payments) agrees with the rows, so a
// recalculation of the fresh practice finds nothing to change.

#include <cstdint>
#include <string>
#include <vector>

#include "store/connection.hpp"
#include "ui/clock.hpp"

namespace vantrell::bench {

struct PracticeShape {
  int patients = 20000;
  std::int64_t lines = 1000000;  // ledger lines over all patients
  std::uint64_t seed = 20261205;
  int rowsPerTransaction = 5000;
};

struct GeneratedPractice {
  std::int64_t patients = 0, cases = 0;
  std::int64_t charges = 0, payments = 0, adjustments = 0, applications = 0;
  std::vector<std::string> chargeCodes;  // the fee schedule's charge codes
  std::vector<std::string> providers;
  std::vector<std::string> carriers;
  std::vector<std::string> diagnoses;
};

// The chart number of the n-th generated patient (from 1): "P0000001".
std::string chartNumberOf(std::int64_t patient);

// Creates the missing tables and fills an empty practice. Deterministic for a
// shape: the same seed gives the same rows (entry numbers come from the engine).
GeneratedPractice generatePractice(store::Connection& practice, const PracticeShape& shape);

// The command line of the benchmarks that run on a generated practice:
// --patients, --lines, --seed, --engine sqlite|server, --server, --keep.
struct PracticeBenchArguments {
  PracticeShape shape;
  store::Engine engine = store::Engine::Embedded;
  std::string server;  // VANTRELL_TEST_SERVER unless --server is given
  bool keep = false;
};

// Reads the arguments over the shape given as defaults; a bad one ends the
// program with exit code 2 and a message.
PracticeBenchArguments parsePracticeBenchArguments(int argc, char** argv,
                                                   const PracticeShape& shape = {});

// Where a run's practice lives: a new temporary folder on SQLite, a schema of
// its own on the server (VANTRELL_SERVER set from the arguments), named after
// the bench and the process.
store::DataLocation benchPracticeLocation(const PracticeBenchArguments& arguments,
                                          const std::string& benchName);
// Removes the run's practice, or says where it was kept (--keep). The
// practice's own connection must be closed first.
void removeBenchPractice(const PracticeBenchArguments& arguments,
                         const store::DataLocation& location, const ui::Clock& clock);

}  // namespace vantrell::bench
