// Throughput of demangling the test corpus, the process's peak memory, and the anchor: the C++
// runtime's demangler over as many bytes of the C++ library's exported names.
#include <benchmark/benchmark.h>
#include <crash_demangle/Demangle.h>

#include <cxxabi.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/SymbolCorpus.h"
#include "ExportedCxxSymbols.h"

namespace {

using namespace ZUDDemangle;
using namespace ZUDDemangle::testing;

std::vector<std::string> corpus() {
  std::vector<std::string> names;
  for (const SymbolCase& c : kEntitySymbols) names.emplace_back(c.mangled);
  for (const SymbolCase& c : kSpecialSymbols) names.emplace_back(c.mangled);
  for (const SymbolCase& c : kTypeSymbols) names.emplace_back(c.mangled);
  return names;
}

size_t totalBytes(const std::vector<std::string>& names) {
  size_t bytes = 0;
  for (const std::string& name : names) bytes += name.size();
  return bytes;
}

double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void reportRates(benchmark::State& state, size_t symbols, size_t bytes) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * symbols));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["symbols_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * symbols), benchmark::Counter::kIsRate);
}

void demangleCorpus(benchmark::State& state, const PrinterOptions& options) {
  const std::vector<std::string> names = corpus();
  size_t printed = 0;
  for (auto _ : state) {
    for (const std::string& name : names) {
      std::string text = demangleSymbolAsString(name.data(), name.size(), options);
      printed += text.size();
      benchmark::DoNotOptimize(text);
    }
  }
  reportRates(state, names.size(), totalBytes(names));
  state.counters["peak_rss_MiB"] = peakRssMiB();
  benchmark::DoNotOptimize(printed);
}

void BM_DemangleCorpusSimplified(benchmark::State& state) { demangleCorpus(state, PrinterOptions::simplified()); }
void BM_DemangleCorpusFull(benchmark::State& state) { demangleCorpus(state, PrinterOptions::full()); }

void BM_ParseCorpusOnly(benchmark::State& state) {
  const std::vector<std::string> names = corpus();
  for (auto _ : state)
    for (const std::string& name : names) {
      ParsedSymbol parsed = demangleSymbolAsNode(name.data(), name.size());
      benchmark::DoNotOptimize(parsed.root());
    }
  reportRates(state, names.size(), totalBytes(names));
  state.counters["peak_rss_MiB"] = peakRssMiB();
}

// The anchor: exported names spread over the whole table, as many bytes as the corpus has
// (the last name may overshoot by a few), each demangled to a fresh text.
void BM_CxxRuntimeDemangleSameBytes(benchmark::State& state) {
  const std::vector<std::string> exported = bench::exportedCxxSymbols();
  if (exported.empty()) {
    state.SkipWithError("the C++ library's exported names could not be read");
    return;
  }
  const size_t target = totalBytes(corpus());
  std::vector<std::string> names;
  size_t bytes = 0;
  const size_t stride = 97;  // prime, so that the walk visits the whole table
  for (size_t i = 0; bytes < target && names.size() < exported.size(); ++i) {
    const std::string& name = exported[(i * stride) % exported.size()];
    names.push_back(name);
    bytes += name.size();
  }
  size_t printed = 0;
  for (auto _ : state) {
    for (const std::string& name : names) {
      int status = 0;
      char* text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
      if (text) printed += std::char_traits<char>::length(text);
      std::free(text);
    }
  }
  reportRates(state, names.size(), bytes);
  benchmark::DoNotOptimize(printed);
}

}  // namespace

// The demangler's rows come first, so that their peak memory does not include the anchor's.
BENCHMARK(BM_DemangleCorpusSimplified);
BENCHMARK(BM_DemangleCorpusFull);
BENCHMARK(BM_ParseCorpusOnly);
BENCHMARK(BM_CxxRuntimeDemangleSameBytes);
