#pragma once
// The public interface of the Vornel library in one include.
//
//   #include <vornel/pipeline/Vornel.hpp>
//
//   vornel::SegmentationOptions options;   // classCount, filterPasses, sweepCount,
//   options.classCount = 2;                // seed, initialTemperature, coolingFactor,
//   options.seed = 7;                      // refine: as on the command line
//   const vornel::SegmentationResult result =
//       vornel::segmentMesh(positions, facets, values, options);
//   // result.labels[v]: class of vertex v, classes numbered by increasing mean;
//   // result.means, result.variances: per class; result.parameters: the fitted
//   // model; result.warnings: lines worth showing to a user.
//   const vornel::ClassSummary summary =
//       vornel::summariseClasses(result.labels, result.means, result.variances);
//
// segment() runs the same pipeline on a caller's own ring adjacency
// (VertexGraph::fromRings). Every failure throws a vornel::VornelError
// subclass (core/Errors.hpp) whose message names the fault. In CMake:
//   find_package(Vornel CONFIG REQUIRED)
//   target_link_libraries(app PRIVATE Vornel::vornel)

#include "core/Errors.hpp"
#include "core/VertexGraph.hpp"
#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/SegmentMesh.hpp"
#include "pipeline/Segmentation.hpp"
