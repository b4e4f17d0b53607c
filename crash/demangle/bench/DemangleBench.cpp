// Throughput of demangling the test corpus, and the process's peak memory.
#include <benchmark/benchmark.h>
#include <crash_demangle/Demangle.h>

#include <sys/resource.h>

#include <string>
#include <vector>

#include "../tests/SymbolCorpus.h"

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

double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void demangleCorpus(benchmark::State& state, const PrinterOptions& options) {
  const std::vector<std::string> names = corpus();
  size_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& name : names) {
      std::string text = demangleSymbolAsString(name.data(), name.size(), options);
      bytes += text.size();
      benchmark::DoNotOptimize(text);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
  state.counters["symbols_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * names.size()), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MiB"] = peakRssMiB();
  benchmark::DoNotOptimize(bytes);
}

void BM_DemangleCorpusSimplified(benchmark::State& state) { demangleCorpus(state, PrinterOptions::simplified()); }
void BM_DemangleCorpusFull(benchmark::State& state) { demangleCorpus(state, PrinterOptions::full()); }

void BM_ParseCorpusOnly(benchmark::State& state) {
  const std::vector<std::string> names = corpus();
  for (auto _ : state)
    for (const std::string& name : names) benchmark::DoNotOptimize(demangleSymbolAsNode(name.data(), name.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
}

}  // namespace

BENCHMARK(BM_DemangleCorpusSimplified);
BENCHMARK(BM_DemangleCorpusFull);
BENCHMARK(BM_ParseCorpusOnly);
