#pragma once
// Features measured in different units: each is divided by its spread over
// all vertices before the k-means compares distances, so that no feature
// weighs more for being measured in smaller units.

#include <vector>

namespace vornel {

/// The population standard deviation of each of featureCount features (values
/// vertex after vertex); 1 for a feature whose values are all equal, which
/// then adds the same to every distance.
std::vector<double> featureDeviations(const std::vector<double>& values, int featureCount);

/// The values with each feature divided by its featureDeviations entry.
std::vector<double> standardisedFeatures(const std::vector<double>& values, int featureCount);

/// Feature i of every vertex, in vertex order.
std::vector<double> featureColumn(const std::vector<double>& values, int featureCount, int i);

} // namespace vornel
