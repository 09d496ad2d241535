"""Every accepted form of the arrays gives the labels of the file route."""

import numpy as np
import pytest

import vornel
from support import banded_values, cli_labels, icosphere, mixed_grid, quad_grid

VERTICES, FACES = icosphere(3)  # 642 vertices
VALUES = banded_values(VERTICES, 3, seed=4)
SEED = 12


@pytest.fixture(scope="module")
def file_labels(tmp_path_factory):
    return cli_labels(tmp_path_factory.mktemp("sphere"), VERTICES, FACES, VALUES, 3, 2, 15,
                      "--seed", SEED)


def labels_of(vertices, faces, values=VALUES):
    return vornel.segment(vertices, faces, values, 3, 2, 15, seed=SEED).labels


FACE_FORMS = {
    "int64": lambda: FACES.astype(np.int64),
    "int32": lambda: FACES.astype(np.int32),
    "int32 Fortran order": lambda: np.asfortranarray(FACES.astype(np.int32)),
    "uint32": lambda: FACES.astype(np.uint32),
    "uint16": lambda: FACES.astype(np.uint16),
    "big-endian int64": lambda: FACES.astype(">i8"),
    "strided view": lambda: np.repeat(FACES, 2, axis=1)[:, ::2],
    "list of lists": lambda: FACES.tolist(),
    "list of arrays": lambda: list(FACES),
    "tuple of tuples": lambda: tuple(map(tuple, FACES.tolist())),
    "object array of arrays": lambda: object_array(FACES),
}


def object_array(rows):
    array = np.empty(len(rows), dtype=object)
    for i, row in enumerate(rows):
        array[i] = row
    return array



@pytest.mark.parametrize("form", FACE_FORMS)
def test_facet_forms_give_the_file_labels(file_labels, form):
    np.testing.assert_array_equal(labels_of(VERTICES, FACE_FORMS[form]()), file_labels)


VERTEX_AND_VALUE_FORMS = {
    "float32": lambda: (VERTICES.astype(np.float32), VALUES.astype(np.float32)),
    "Fortran order": lambda: (np.asfortranarray(VERTICES), VALUES),
    "lists": lambda: (VERTICES.tolist(), VALUES.tolist()),
    "strided values": lambda: (VERTICES, np.repeat(VALUES, 3)[::3]),
}


@pytest.mark.parametrize("form", VERTEX_AND_VALUE_FORMS)
def test_vertex_and_value_forms_give_the_file_labels(file_labels, form):
    vertices, values = VERTEX_AND_VALUE_FORMS[form]()
    np.testing.assert_array_equal(labels_of(vertices, FACES, values), file_labels)


def test_quads_give_the_file_labels(tmp_path):
    vertices, quads = quad_grid(30, 24)
    values = banded_values(vertices, 3, seed=6)
    expected = cli_labels(tmp_path, vertices, quads, values, 3, 2, 15, "--seed", SEED)
    np.testing.assert_array_equal(labels_of(vertices, quads, values), expected)
    np.testing.assert_array_equal(labels_of(vertices, quads.astype(np.int32), values), expected)


def test_mixed_polygons_give_the_file_labels(tmp_path):
    vertices, faces = mixed_grid(30, 24)
    values = banded_values(vertices, 3, seed=7)
    expected = cli_labels(tmp_path, vertices, faces, values, 3, 2, 15, "--seed", SEED)
    np.testing.assert_array_equal(labels_of(vertices, faces, values), expected)
    as_arrays = [np.array(f, dtype=np.int32) for f in faces]
    np.testing.assert_array_equal(labels_of(vertices, as_arrays, values), expected)


def test_vertices_that_no_facet_uses_keep_their_label():
    vertices = np.vstack([VERTICES, [[5.0, 5.0, 5.0]]])
    values = np.append(VALUES, 2.0)
    labels = labels_of(vertices, FACES, values)
    assert labels.shape == (len(vertices),)
    assert labels[-1] == 2


def test_the_callers_arrays_are_left_as_they_were():
    vertices, faces, values = VERTICES.copy(), FACES.copy(), VALUES.copy()
    labels_of(vertices, faces, values)
    np.testing.assert_array_equal(vertices, VERTICES)
    np.testing.assert_array_equal(faces, FACES)
    np.testing.assert_array_equal(values, VALUES)
