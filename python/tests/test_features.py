"""segment() on several values per vertex: shapes, the joint problem, the
command line's labels, and the unit of a feature."""

import itertools

import numpy as np
import pytest

import vornel
from support import icosphere, read_label_file, run_vornel, write_attribute, write_obj

SPHERE_VERTICES, SPHERE_FACES = icosphere(4)  # 2562 vertices


def quadrant_features(noise=0.4, seed=3):
    """Four quadrants by the signs of x and y; the first feature tells x > 0,
    the second y > 0, neither alone the quadrant. Rounded to float32 as the
    attribute file reader rounds."""
    right = (SPHERE_VERTICES[:, 0] > 0).astype(int)
    top = (SPHERE_VERTICES[:, 1] > 0).astype(int)
    rng = np.random.default_rng(seed)
    features = np.column_stack([right + rng.normal(0.0, noise, len(right)),
                                top + rng.normal(0.0, noise, len(top))])
    return features.astype(np.float32).astype(np.float64), 2 * right + top


def matched_accuracy(labels, truth):
    """The share of vertices in their quadrant under the best matching of labels to quadrants."""
    return max(np.mean(np.asarray(order)[labels] == truth)
               for order in itertools.permutations(range(4)))


@pytest.mark.parametrize("refine", [False, True], ids=["plain", "refined"])
def test_two_features_solve_the_quadrants(refine):
    features, truth = quadrant_features()
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, features, 4, seed=2, refine=refine)
    assert result.means.shape == (4, 2) and result.variances.shape == (4, 2, 2)
    np.testing.assert_allclose(result.variances, np.transpose(result.variances, (0, 2, 1)))
    assert matched_accuracy(result.labels, truth) >= 0.9
    # Classes in lexicographic order of their mean vectors.
    assert [tuple(m) for m in result.means] == sorted(tuple(m) for m in result.means)
    np.testing.assert_allclose(sorted(np.round(result.means).tolist()),
                               [[0, 0], [0, 1], [1, 0], [1, 1]])
    assert repr(result).startswith("<vornel.Segmentation: 4 classes of ")


def test_labels_are_those_of_the_command_line_with_two_attribute_files(tmp_path):
    features, _ = quadrant_features(seed=5)
    mesh = tmp_path / "mesh.obj"
    write_obj(mesh, SPHERE_VERTICES, SPHERE_FACES)
    write_attribute(tmp_path / "a.att", features[:, 0])
    write_attribute(tmp_path / "b.att", features[:, 1])
    run = run_vornel([mesh, 4, 3, 20, "--seed", 7, "--attribute-file", tmp_path / "a.att",
                      "--attribute-file", tmp_path / "b.att"])
    assert run.returncode == 0, run.stderr
    class_count, labels = read_label_file(tmp_path / "mesh_labels.lb")
    assert class_count == 4
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, features, 4, 3, 20, seed=7)
    np.testing.assert_array_equal(result.labels, labels)


def test_the_unit_of_a_feature_changes_no_label():
    features, _ = quadrant_features(seed=9)
    scaled = features * np.array([1.0, 1000.0])
    first = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, features, 4, seed=4)
    second = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, scaled, 4, seed=4)
    np.testing.assert_array_equal(first.labels, second.labels)
    np.testing.assert_allclose(second.means[:, 1], 1000.0 * first.means[:, 1], rtol=1e-9)


def test_a_wrong_feature_shape_is_refused():
    with pytest.raises(ValueError, match="one-dimensional array"):
        vornel.segment(SPHERE_VERTICES, SPHERE_FACES, np.zeros((len(SPHERE_VERTICES), 3, 1)), 2)
    with pytest.raises(ValueError, match="features need"):
        vornel.segment(SPHERE_VERTICES, SPHERE_FACES, np.zeros((10, 2)), 2)
