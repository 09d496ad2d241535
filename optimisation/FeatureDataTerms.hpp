#pragma once
// The data term with several features per vertex: the Gaussian negative
// log-likelihood of the vertex's feature vector under each class's mean vector
// and covariance matrix. It does not change during an annealing, so it is
// formed once per vertex and class and the sweeps read it from a table.

#include <cstddef>
#include <vector>

namespace vornel {

/// What each class covariance gets added on its diagonal so that a flat or
/// degenerate class stays invertible: a millionth of each feature's variance
/// over all vertices (of 1 for a constant feature). It scales with the
/// feature's unit, so a change of unit changes no label.
std::vector<double> covarianceRidge(const std::vector<double>& values, int featureCount);

/// The Cholesky factor L (lower, row-major) of a symmetric D x D matrix, with
/// log det = 2 sum log L_ii. False when the matrix is not positive definite.
bool choleskyFactor(const double* matrix, int D, std::vector<double>& factor);

/// Per vertex v and class l, at [v * K + l]: 0.5 * ((x - m_l)^T C_l^-1 (x - m_l)
/// + log det C_l), C_l the class covariance plus ridge on its diagonal. means
/// is K x D, covariances K x D x D. Throws InvalidInputError when a floored
/// covariance still cannot be factored (a non-finite entry).
std::vector<double> featureDataEnergies(const std::vector<double>& values, int featureCount,
                                        const std::vector<double>& means,
                                        const std::vector<double>& covariances, int K,
                                        const std::vector<double>& ridge);

} // namespace vornel
