"""Bad input raises a clear exception of the named type, and nothing crashes."""

import subprocess
import sys

import numpy as np
import pytest

import vornel
from support import icosphere

VERTICES, FACES = icosphere(1)  # 42 vertices
VALUES = np.linspace(0.0, 1.0, len(VERTICES))


def with_face(index, corner, value):
    faces = FACES.copy()
    faces[index, corner] = value
    return faces


BAD_SEGMENT_CALLS = {
    "vertices of two coordinates": (
        lambda: vornel.segment(VERTICES[:, :2], FACES, VALUES, 2),
        ValueError, "vertices must be an (n, 3) array, got shape (42, 2)"),
    "flat vertices": (
        lambda: vornel.segment(VERTICES.ravel(), FACES, VALUES, 2),
        ValueError, "vertices must be an (n, 3) array, got shape (126,)"),
    "no vertices": (
        lambda: vornel.segment(np.zeros((0, 3)), np.zeros((0, 3), int), [], 1),
        ValueError, "the mesh has no vertices"),
    "vertices of text": (
        lambda: vornel.segment([["a", "b", "c"]], [], [1.0], 1),
        TypeError, "vertices must hold numbers"),
    "an infinite coordinate": (
        lambda: vornel.segment(np.where(np.arange(126).reshape(42, 3) == 31, np.inf, VERTICES),
                               FACES, VALUES, 2),
        ValueError, "vertices[10, 1] is inf, not a finite number"),
    "a NaN coordinate in single precision": (
        lambda: vornel.segment(np.where(np.arange(126).reshape(42, 3) == 5, np.nan,
                                        VERTICES).astype(np.float32), FACES, VALUES, 2),
        ValueError, "vertices[1, 2] is nan, not a finite number"),
    "a coordinate beyond single precision": (
        lambda: vornel.segment(np.where(np.arange(126).reshape(42, 3) == 0, -1e39, VERTICES),
                               FACES, VALUES, 2),
        ValueError, "vertices[0, 0] is -1e+39, beyond the single-precision range"),
    "a negative facet index": (
        lambda: vornel.segment(VERTICES, with_face(7, 1, -1), VALUES, 2),
        ValueError, "faces[7, 1] is -1; vertex indices count from 0"),
    "a facet index beyond the vertices": (
        lambda: vornel.segment(VERTICES, with_face(3, 2, 42), VALUES, 2),
        ValueError, "faces[3, 2] is 42, but the mesh has 42 vertices (indices 0 to 41)"),
    "a huge facet index": (
        lambda: vornel.segment(VERTICES, with_face(0, 0, 2**40), VALUES, 2),
        ValueError, "faces[0, 0] is 1099511627776"),
    "a negative index in a list": (
        lambda: vornel.segment(VERTICES, FACES.tolist()[:5] + [[0, -3, 1]], VALUES, 2),
        ValueError, "faces[5][1] is -3"),
    "a python integer beyond 64 bits": (
        lambda: vornel.segment(VERTICES, [[0, 1, 2**70]], VALUES, 2),
        ValueError, "faces[0][2] is 1180591620717411303424"),
    "a facet of two corners": (
        lambda: vornel.segment(VERTICES, [[0, 1, 2], [2, 1]], VALUES, 2),
        ValueError, "faces[1] has 2 corners; at least 3 are needed"),
    "an array of two columns": (
        lambda: vornel.segment(VERTICES, FACES[:, :2], VALUES, 2),
        ValueError, "got an array of shape (80, 2)"),
    "a facet using a vertex twice": (
        lambda: vornel.segment(VERTICES, with_face(4, 2, FACES[4, 0]), VALUES, 2),
        ValueError, "faces[4] uses vertex %d twice" % FACES[4, 0]),
    "float faces": (
        lambda: vornel.segment(VERTICES, FACES.astype(float), VALUES, 2),
        TypeError, "faces must hold integer vertex indices, got dtype float64"),
    "a float in a facet list": (
        lambda: vornel.segment(VERTICES, [[0, 1.0, 2]], VALUES, 2),
        TypeError, "faces[0][1] must be an integer, got 1.0"),
    "a facet that is not a sequence": (
        lambda: vornel.segment(VERTICES, [[0, 1, 2], 7], VALUES, 2),
        TypeError, "faces[1] must be a sequence of vertex indices, got 7"),
    "faces that are a number": (
        lambda: vornel.segment(VERTICES, 5, VALUES, 2),
        TypeError, "faces must be an (m, k) integer array or a sequence"),
    "an edge with three facets": (
        lambda: vornel.segment(VERTICES, [[0, 1, 2], [1, 0, 3], [0, 1, 4]], VALUES, 2),
        ValueError, "facet 3 cannot be added: its edge from vertex 0 to vertex 1"),
    "an inconsistent orientation": (
        lambda: vornel.segment(VERTICES, [[0, 1, 2], [0, 1, 3]], VALUES, 2),
        ValueError, "facet 2 cannot be added: its edge from vertex 0 to vertex 1"),
    "a NaN value": (
        lambda: vornel.segment(VERTICES, FACES, np.where(np.arange(42) == 17, np.nan, VALUES), 2),
        ValueError, "the value of vertex 17 is nan, not a finite number"),
    "an infinite value": (
        lambda: vornel.segment(VERTICES, FACES, np.where(np.arange(42) == 3, -np.inf, VALUES), 2),
        ValueError, "the value of vertex 3 is -inf, not a finite number"),
    "too few values": (
        lambda: vornel.segment(VERTICES, FACES, VALUES[:-1], 2),
        ValueError, "the value array holds 41 values; the mesh has 42 vertices"),
    "too many values": (
        lambda: vornel.segment(VERTICES, FACES, np.append(VALUES, 1.0), 2),
        ValueError, "the value array holds 43 values; the mesh has 42 vertices"),
    "values of two dimensions": (
        lambda: vornel.segment(VERTICES, FACES, VALUES[:, None], 2),
        ValueError, "values must be a one-dimensional array, got shape (42, 1)"),
    "no classes": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 0),
        ValueError, "the class count must lie between 1 and 256, got 0"),
    "a negative class count": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, -2),
        ValueError, "the class count must lie between 1 and 256, got -2"),
    "257 classes": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 257),
        ValueError, "the class count must lie between 1 and 256, got 257"),
    "a huge class count": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2**80),
        ValueError, "the class count must lie between 1 and 256"),
    "a float class count": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2.0),
        TypeError, "classes must be an integer, got 2.0"),
    "more classes than distinct values": (
        lambda: vornel.segment(VERTICES, FACES, np.zeros(42), 3),
        ValueError, "holds only 1 distinct values; cannot make 3 classes"),
    "a negative seed": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, seed=-1),
        ValueError, "seed must lie between 0 and 4294967295, got -1"),
    "a seed of 2^32": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, seed=2**32),
        ValueError, "seed must lie between 0 and 4294967295, got 4294967296"),
    "a sweep count beyond int": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, 3, 2**31),
        ValueError, "sweeps must lie between"),
    "a zero temperature": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, temperature=0.0),
        ValueError, "the initial temperature must be above 0, got 0"),
    "an infinite temperature": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, temperature=float("inf")),
        ValueError, "the initial temperature must be a finite number, got inf"),
    "a cooling factor above 1": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, cooling=1.5),
        ValueError, "the cooling factor must lie in (0, 1], got 1.5"),
    "no thread": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, threads=0),
        ValueError, "threads must lie between 1 and 4096, got 0"),
    "a thread count of text": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, threads="many"),
        TypeError, "threads must be an integer"),
    "a temperature of text": (
        lambda: vornel.segment(VERTICES, FACES, VALUES, 2, temperature="hot"),
        TypeError, "temperature must be a number or None, got 'hot'"),
}


@pytest.mark.parametrize("case", BAD_SEGMENT_CALLS)
def test_bad_segment_input_raises_a_clear_error(case):
    call, error_type, message = BAD_SEGMENT_CALLS[case]
    with pytest.raises(error_type) as raised:
        call()
    assert message in str(raised.value)
    assert not str(raised.value).startswith("vornel: ")


def test_after_every_bad_call_a_good_one_still_works():
    for call, error_type, _ in BAD_SEGMENT_CALLS.values():
        with pytest.raises(error_type):
            call()
    result = vornel.segment(VERTICES, FACES, VALUES, 2, seed=3)
    assert sorted(np.unique(result.labels)) == [0, 1]


BAD_FILE_CALLS = {
    "no attribute values asked for": (
        lambda folder: vornel.read_attribute(folder / "a.att", 0),
        ValueError, "count must lie between 1 and 4294967295, got 0"),
    "labels outside the classes": (
        lambda folder: vornel.write_labels(folder / "l.lb", [0, 1, 2], 2),
        ValueError, "labels[2] is 2, outside 0 to 1 for 2 classes"),
    "a negative label": (
        lambda folder: vornel.write_labels(folder / "l.lb", np.array([0, -1]), 2),
        ValueError, "labels[1] is -1, outside 0 to 1 for 2 classes"),
    "no labels": (
        lambda folder: vornel.write_labels(folder / "l.lb", np.array([], dtype=int), 2),
        ValueError, "labels must be a non-empty one-dimensional array, got shape (0,)"),
    "float labels": (
        lambda folder: vornel.write_labels(folder / "l.lb", [0.0, 1.0], 2),
        TypeError, "labels must hold integers, got dtype float64"),
    "no classes to write": (
        lambda folder: vornel.write_labels(folder / "l.lb", [0], 0),
        ValueError, "the class count must lie between 1 and 256, got 0"),
    "257 classes to write": (
        lambda folder: vornel.write_labels(folder / "l.lb", [0], 257),
        ValueError, "the class count must lie between 1 and 256, got 257"),
}


@pytest.mark.parametrize("case", BAD_FILE_CALLS)
def test_bad_file_arguments_raise_a_clear_error(tmp_path, case):
    call, error_type, message = BAD_FILE_CALLS[case]
    with pytest.raises(error_type) as raised:
        call(tmp_path)
    assert message in str(raised.value)
    assert list(tmp_path.iterdir()) == []


def test_a_count_beyond_what_the_file_can_hold_is_a_value_error(tmp_path):
    # In a process whose address space is bounded, as it is for many users: a
    # reservation for the count asked for would fail there, the file's size cannot.
    path = tmp_path / "short.att"
    path.write_text("1 2 3 4 5\n")
    script = (
        "import resource, sys, vornel\n"
        "resource.setrlimit(resource.RLIMIT_AS, (4 << 30, 4 << 30))\n"
        "try:\n"
        "    vornel.read_attribute(sys.argv[1], 2**32 - 1)\n"
        "except Exception as error:\n"
        "    print(type(error).__name__, error)\n")
    result = subprocess.run([sys.executable, "-c", script, str(path)], capture_output=True,
                            text=True, timeout=120)
    assert result.stdout.startswith("ValueError"), result.stdout + result.stderr
    assert "holds 5 values" in result.stdout
