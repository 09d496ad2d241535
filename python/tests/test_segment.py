"""segment() gives the command line's labels, and its result holds what it says."""

import numpy as np
import pytest

import vornel
from support import banded_values, cli_labels, icosphere, run_vornel

SPHERE_VERTICES, SPHERE_FACES = icosphere(4)  # 2562 vertices


@pytest.mark.parametrize("refine", [False, True], ids=["plain", "refined"])
@pytest.mark.parametrize("classes", [2, 3, 5])
def test_labels_are_those_of_the_command_line(tmp_path, classes, refine):
    values = banded_values(SPHERE_VERTICES, classes, seed=classes)
    options = ["--seed", 41] + (["--refine"] if refine else [])
    expected = cli_labels(tmp_path, SPHERE_VERTICES, SPHERE_FACES, values, classes, 3, 20,
                          *options)
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, classes, 3, 20, seed=41,
                            refine=refine)
    np.testing.assert_array_equal(result.labels, expected)
    assert len(np.unique(result.labels)) == classes


def test_schedule_options_are_those_of_the_command_line(tmp_path):
    values = banded_values(SPHERE_VERTICES, 3, noise=0.6, seed=8)
    expected = cli_labels(tmp_path, SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 12,
                          "--seed", 5, "--temperature", 2.5, "--cooling", 0.9)
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, filter_passes=1,
                            sweeps=12, seed=5, temperature=2.5, cooling=0.9)
    np.testing.assert_array_equal(result.labels, expected)
    default = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, 1, 12, seed=5)
    assert not np.array_equal(default.labels, result.labels)


def test_result_holds_ordered_class_statistics_and_the_fitted_model():
    values = banded_values(SPHERE_VERTICES, 3, noise=0.2, seed=3)
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 3, seed=9)
    assert result.labels.dtype == np.int32 and result.labels.shape == (len(values),)
    assert result.means.dtype == np.float64 and result.means.shape == (3,)
    assert result.variances.dtype == np.float64 and result.variances.shape == (3,)
    assert np.all(np.diff(result.means) > 0)
    np.testing.assert_allclose(result.means, [0.0, 1.0, 2.0], atol=0.1)
    assert np.all(result.variances > 0)
    assert len(result.parameters.theta) == 2
    assert all(isinstance(theta, float) for theta in result.parameters.theta)
    assert isinstance(result.parameters.beta, float) and result.parameters.beta > 0
    # Clean bands leave few mixed neighbourhoods: the fit may fall back, and says so.
    assert result.fallback in (None, "smoothed ratios", "neutral")
    assert len(result.warnings) == (0 if result.fallback is None else 1)
    sizes = np.bincount(result.labels)
    assert repr(result) == "<vornel.Segmentation: 3 classes of %d, %d, %d vertices>" % tuple(sizes)


def test_one_class_fits_no_model():
    values = np.array([1.0, 2.0, 3.0, 6.0])
    vertices = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], dtype=float)
    result = vornel.segment(vertices, [[0, 1, 2, 3]], values, 1, seed=1)
    np.testing.assert_array_equal(result.labels, [0, 0, 0, 0])
    np.testing.assert_array_equal(result.means, [3.0])
    np.testing.assert_array_equal(result.variances, [3.5])
    assert result.parameters is None


def test_a_fallback_is_named_and_warned():
    # Two classes on a strip whose labels never meet a mixed neighbourhood in
    # enough configurations for the plain fit.
    vertices = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], dtype=float)
    result = vornel.segment(vertices, [[0, 1, 2]], [0.0, 0.0, 5.0], 2, 0, 3, seed=1)
    assert result.fallback in ("smoothed ratios", "neutral")
    assert len(result.warnings) == 1 and result.fallback.split()[0] in result.warnings[0]


def test_without_a_seed_the_clock_seeds_and_the_classes_stay_clear():
    values = banded_values(SPHERE_VERTICES, 2, noise=0.1, seed=2)
    result = vornel.segment(SPHERE_VERTICES, SPHERE_FACES, values, 2)
    truth = (values > 0.5).astype(np.int32)
    assert np.mean(result.labels == truth) > 0.99


def test_version_is_that_of_the_command_line():
    run = run_vornel(["--version"])
    assert run.stdout.split() == ["vornel", vornel.__version__]


def test_every_function_documents_its_signature():
    assert vornel.segment.__doc__.startswith(
        "segment(vertices, faces, values, classes, filter_passes=3, sweeps=50, *, seed=None, "
        "refine=False, temperature=None, cooling=None, min_segment_size=0, threads=None, "
        "progress=None) -> vornel.Segmentation\n")
    for function in (vornel.segment_file, vornel.read_mesh, vornel.read_attribute,
                     vornel.write_labels):
        assert function.__doc__.startswith(function.__name__ + "(path, ")
        assert "Raises" in function.__doc__
    assert "labels" in vornel.Segmentation.__doc__ and "beta" in vornel.Parameters.__doc__
