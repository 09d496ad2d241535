// The refined model's extra stages on a million values: the best of ten
// k-means starts against one default start, and the mixture fit on the
// histogram against the fit on every value.

#include "classes/GaussianMixture.hpp"
#include "classes/KMeans.hpp"
#include "classes/MultiStartKMeans.hpp"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

/// Three classes with means 0, 1, 2 and noise sigma = 1, stored as floats.
std::vector<double> noisyValues(std::size_t count) {
  std::mt19937 engine(12345);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<double> values(count);
  for (std::size_t v = 0; v < count; ++v)
    values[v] = static_cast<float>(static_cast<double>(v * 3 / count) + noise(engine));
  return values;
}

constexpr std::size_t million = 1000000;

void BM_KMeansOneStart(benchmark::State& state) {
  const std::vector<double> values = noisyValues(million);
  for (auto _ : state) {
    vornel::RandomGenerator rng(1);
    benchmark::DoNotOptimize(vornel::kmeans(values, 1, 3, rng).assignment.data());
  }
}
BENCHMARK(BM_KMeansOneStart)->Unit(benchmark::kMillisecond);

void BM_KMeansBestOfTenStarts(benchmark::State& state) {
  const std::vector<double> values = noisyValues(million);
  for (auto _ : state) {
    vornel::RandomGenerator rng(1);
    benchmark::DoNotOptimize(vornel::multiStartKMeans(values, 3, rng).best.assignment.data());
  }
}
BENCHMARK(BM_KMeansBestOfTenStarts)->Unit(benchmark::kMillisecond);

vornel::GaussianMixture startOfThree() {
  vornel::GaussianMixture start;
  start.weights = {0.3, 0.4, 0.3};
  start.means = {-0.5, 1.0, 2.5};
  start.variances = {0.4, 0.3, 0.4};
  return start;
}

void BM_MixtureOnHistogram(benchmark::State& state) {
  const std::vector<double> values = noisyValues(million);
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::fitMixtureOnHistogram(values, startOfThree()).means.data());
}
BENCHMARK(BM_MixtureOnHistogram)->Unit(benchmark::kMillisecond);

void BM_MixtureOnEveryValue(benchmark::State& state) {
  const std::vector<double> values = noisyValues(million);
  for (auto _ : state)
    benchmark::DoNotOptimize(vornel::fitMixture(values, startOfThree()).means.data());
}
BENCHMARK(BM_MixtureOnEveryValue)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
