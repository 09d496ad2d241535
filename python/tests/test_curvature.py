"""The curvature measures: known values on a sphere, and exactly the values
--compute-attribute gives a run of the command line."""

import numpy as np
import pytest

import vornel
from support import icosphere, run_vornel, write_obj

UNIT_VERTICES, FACES = icosphere(4)  # 2562 vertices on the unit sphere
RADIUS = 2.0
VERTICES = UNIT_VERTICES * RADIUS


def test_a_sphere_has_its_known_curvatures():
    mean = vornel.mean_curvature(VERTICES, FACES)
    gaussian = vornel.gaussian_curvature(VERTICES, FACES)
    curvedness = vornel.curvedness(VERTICES, FACES)
    for values in (mean, gaussian, curvedness):
        assert values.dtype == np.float64 and values.shape == (len(VERTICES),)
    np.testing.assert_allclose(mean, 1 / RADIUS, rtol=0.02)
    np.testing.assert_allclose(gaussian, 1 / RADIUS**2, rtol=0.03)
    np.testing.assert_allclose(curvedness, 1 / RADIUS, rtol=0.03)


def test_reversed_facets_reverse_the_sign_of_the_mean_curvature_only():
    reversed_faces = np.ascontiguousarray(FACES[:, ::-1])
    np.testing.assert_allclose(vornel.mean_curvature(VERTICES, reversed_faces),
                               -vornel.mean_curvature(VERTICES, FACES), rtol=1e-12, atol=1e-12)
    np.testing.assert_allclose(vornel.gaussian_curvature(VERTICES, reversed_faces),
                               vornel.gaussian_curvature(VERTICES, FACES), rtol=1e-12)


def test_an_unused_vertex_gets_zero():
    vertices = np.vstack([VERTICES, [[9.0, 9.0, 9.0]]])
    assert vornel.gaussian_curvature(vertices, FACES)[-1] == 0.0


@pytest.mark.parametrize("measure, function", [("mean-curvature", vornel.mean_curvature),
                                               ("curvedness", vornel.curvedness)])
def test_values_are_those_the_command_line_computes(tmp_path, measure, function):
    # A bumpy sphere, so that the values differ from vertex to vertex.
    bumps = 1 + 0.1 * np.sin(5 * UNIT_VERTICES[:, 0]) * np.cos(3 * UNIT_VERTICES[:, 1])
    vertices = UNIT_VERTICES * bumps[:, None]
    mesh = tmp_path / "mesh.obj"
    write_obj(mesh, vertices, FACES)
    run = run_vornel([mesh, 3, 1, 2, "--seed", 1, "--compute-attribute", measure])
    assert run.returncode == 0, run.stderr
    written = np.loadtxt(tmp_path / "mesh_attribute.att")
    # The run reads the OBJ's %.9g positions as single precision, as read_mesh
    # does, and writes each value rounded to single precision.
    file_vertices, file_faces = vornel.read_mesh(mesh)
    computed = function(file_vertices, file_faces).astype(np.float32)
    np.testing.assert_array_equal(written.astype(np.float32), computed)


def test_malformed_arrays_raise_the_errors_segment_raises():
    with pytest.raises(ValueError, match="vertices"):
        vornel.mean_curvature(VERTICES[:, :2], FACES)
    with pytest.raises(ValueError, match="faces"):
        vornel.curvedness(VERTICES, FACES + len(VERTICES))


def test_a_coordinate_that_is_not_a_finite_float_is_refused():
    # Near such a vertex the curvature would silently become 0.
    for bad in (np.inf, np.nan, 3e38 * 10):
        vertices = VERTICES.copy()
        vertices[4, 2] = bad
        with pytest.raises(ValueError, match=r"vertices\[4, 2\]"):
            vornel.gaussian_curvature(vertices, FACES)
