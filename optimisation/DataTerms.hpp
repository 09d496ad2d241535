#pragma once
// Where a sweep reads a vertex's data term: from its one value through the
// class means and variances, or, with several features, from the table formed
// before the annealing. The sweeps are written once over either source, so
// the one-feature energies stay the same expressions in the same order.

#include "classes/Segmenter.hpp"
#include "optimisation/LocalEnergy.hpp"

#include <cstddef>

namespace vornel {

/// One value per vertex: 0.5 * (mean - x)^2 / variance.
class ValueDataTerms {
public:
  class AtVertex {
  public:
    AtVertex(const EnergyModel& model, double x) : model_(model), x_(x) {}
    double operator()(int label) const { return model_.dataTerm(label, x_); }

  private:
    const EnergyModel& model_;
    double x_;
  };

  ValueDataTerms(const EnergyModel& model, const double* values) : model_(model), values_(values) {}
  AtVertex at(std::size_t v) const { return AtVertex(model_, values_[v]); }

private:
  const EnergyModel& model_;
  const double* values_;
};

/// Several features per vertex: the row of the model's table.
class TableDataTerms {
public:
  class AtVertex {
  public:
    explicit AtVertex(const double* row) : row_(row) {}
    double operator()(int label) const { return row_[label]; }

  private:
    const double* row_;
  };

  explicit TableDataTerms(const EnergyModel& model)
      : table_(model.featureEnergies.data()), classCount_(model.classCount) {}
  AtVertex at(std::size_t v) const {
    return AtVertex(table_ + v * static_cast<std::size_t>(classCount_));
  }

private:
  const double* table_;
  int classCount_;
};

/// Calls sweep(terms) with the data terms the model has.
template <class Sweep>
auto withDataTerms(const Segmenter& segmenter, const EnergyModel& model, Sweep&& sweep) {
  if (model.featureCount > 1)
    return sweep(TableDataTerms(model));
  return sweep(ValueDataTerms(model, segmenter.values.data()));
}

} // namespace vornel
