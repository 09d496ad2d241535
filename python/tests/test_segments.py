"""Segmentation.segments and segment(..., min_segment_size): the connected
segments of the labels, as the command line's --segments writes them."""

import numpy as np
import pytest

import vornel
from support import banded_values, icosphere, read_label_file, run_vornel, write_attribute, write_obj

SPHERE_VERTICES, SPHERE_FACES = icosphere(3)  # 642 vertices


def edges_of(faces):
    faces = np.asarray(faces)
    return np.concatenate([faces[:, [k, (k + 1) % faces.shape[1]]] for k in range(faces.shape[1])])


def check_segments_match_labels(result, faces):
    segments, labels = result.segments, result.labels
    assert segments.dtype == np.int32 and segments.shape == labels.shape
    # Ids appear first in increasing order, and each holds one label.
    _, first = np.unique(segments, return_index=True)
    np.testing.assert_array_equal(segments[np.sort(first)], np.arange(len(first)))
    for segment in range(len(first)):
        assert len(np.unique(labels[segments == segment])) == 1
    # An edge stays inside a segment exactly when its ends share a label.
    a, b = edges_of(faces).T
    np.testing.assert_array_equal(segments[a] == segments[b], labels[a] == labels[b])


@pytest.mark.parametrize("min_segment_size", [0, 15])
def test_segments_are_those_the_command_line_writes(tmp_path, min_segment_size):
    values = banded_values(SPHERE_VERTICES, 3, noise=0.7, seed=4)
    mesh = tmp_path / "mesh.obj"
    write_obj(mesh, SPHERE_VERTICES, SPHERE_FACES)
    write_attribute(tmp_path / "mesh_attribute.att", values)
    run = run_vornel([mesh, 3, 1, 6, "--seed", 2, "--segments", tmp_path / "mesh.seg",
                      "--min-segment-size", min_segment_size])
    assert run.returncode == 0, run.stderr
    count, expected = read_label_file(tmp_path / "mesh.seg")
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 6, seed=2,
                            min_segment_size=min_segment_size)
    np.testing.assert_array_equal(result.labels, read_label_file(tmp_path / "mesh_labels.lb")[1])
    np.testing.assert_array_equal(result.segments, expected)
    assert result.segments.max() + 1 == count
    check_segments_match_labels(result, SPHERE_FACES)


def test_merging_leaves_no_small_segment_and_measures_the_final_classes():
    values = banded_values(SPHERE_VERTICES, 3, noise=0.7, seed=4)
    plain = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 6, seed=2)
    for size in (0, 1):
        same = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 6, seed=2,
                              min_segment_size=size)
        np.testing.assert_array_equal(same.labels, plain.labels)
        np.testing.assert_array_equal(same.means, plain.means)
    merged = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 6, seed=2,
                            min_segment_size=15)
    check_segments_match_labels(merged, SPHERE_FACES)
    assert np.bincount(merged.segments).min() >= 15
    assert merged.segments.max() < plain.segments.max()
    assert np.all(np.diff(merged.means) > 0)
    for label in range(3):
        members = values[merged.labels == label]
        assert merged.means[label] == pytest.approx(members.mean(), rel=1e-12)
        assert merged.variances[label] == pytest.approx(members.var(), rel=1e-9)


@pytest.mark.parametrize("size, error", [(-1, ValueError), (2**32, ValueError), (2.5, TypeError),
                                         ("5", TypeError)])
def test_a_bad_minimum_size_is_refused(size, error):
    with pytest.raises(error, match="min_segment_size"):
        vornel.segment(SPHERE_VERTICES, SPHERE_FACES, np.zeros(len(SPHERE_VERTICES)), 1,
                       min_segment_size=size)
