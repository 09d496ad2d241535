"""segment_file() is the command line's run: the same files byte for byte,
the same rules, and nothing written when it fails."""

import os

import numpy as np
import pytest

import vornel
from support import banded_values, icosphere, read_label_file, run_vornel, write_attribute, write_obj

VERTICES, FACES = icosphere(3)  # 642 vertices
VALUES = banded_values(VERTICES, 3, seed=4)


def write_quality_ply(path, vertices, faces, values):
    lines = ["ply", "format ascii 1.0", "element vertex %d" % len(vertices),
             "property float x", "property float y", "property float z",
             "property float quality", "element face %d" % len(faces),
             "property list uchar int vertex_indices", "end_header"]
    lines += ["%.9g %.9g %.9g %.9g" % (x, y, z, q) for (x, y, z), q in zip(vertices, values)]
    lines += ["3 %d %d %d" % tuple(facet) for facet in faces]
    path.write_text("\n".join(lines) + "\n")


def prepare(folder, source):
    """A mesh in folder with its values where `source` reads them from; the
    command line's options and segment_file's keywords that name the source."""
    if source == "property":
        write_quality_ply(folder / "m.ply", VERTICES, FACES, VALUES)
        return folder / "m.ply", ["--attribute-property", "quality"], {
            "attribute_property": "quality"}
    mesh = folder / "m.obj"
    write_obj(mesh, VERTICES, FACES)
    if source == "companion":
        write_attribute(folder / "m_attribute.att", VALUES)
        return mesh, [], {}
    if source == "attribute file":
        write_attribute(folder / "values.txt", VALUES)
        return mesh, ["--attribute-file", folder / "values.txt"], {
            "attribute_file": folder / "values.txt"}
    return mesh, ["--compute-attribute", "curvedness", "--attribute-file",
                  folder / "computed.att"], {"compute_attribute": "curvedness",
                                             "attribute_file": folder / "computed.att"}


@pytest.mark.parametrize("refine", [False, True], ids=["plain", "refined"])
@pytest.mark.parametrize("source", ["companion", "attribute file", "property", "computed"])
def test_outputs_are_those_of_the_command_line_byte_for_byte(tmp_path, source, refine):
    cli, python = tmp_path / "cli", tmp_path / "python"
    cli.mkdir()
    python.mkdir()
    outputs = ["--labels-file", "l.lb", "--colour-mesh", "c.ply", "--segments", "s.lb"]
    mesh, options, _ = prepare(cli, source)
    extra = ["--refine"] if refine else []
    run = run_vornel([mesh, 3, 2, 15, "--seed", 6] + options + extra +
                     [o if not o.endswith((".lb", ".ply")) else cli / o for o in outputs])
    assert run.returncode == 0, run.stderr

    mesh, _, keywords = prepare(python, source)
    result, written = vornel.segment_file(mesh, 3, 2, 15, seed=6, refine=refine,
                                          labels_file=python / "l.lb",
                                          colour_mesh=python / "c.ply",
                                          segments_file=python / "s.lb", **keywords)
    for name in ["l.lb", "c.ply", "s.lb"] + (["computed.att"] if source == "computed" else []):
        assert (python / name).read_bytes() == (cli / name).read_bytes(), name
    assert written[:3] == [str(python / "l.lb"), str(python / "s.lb")] + (
        [str(python / "computed.att")] if source == "computed" else [str(python / "c.ply")])
    _, labels = read_label_file(python / "l.lb")
    np.testing.assert_array_equal(result.labels, labels)


def test_defaults_and_companion_names_are_the_command_line_s(tmp_path):
    mesh = tmp_path / "sphere.v2.obj"
    write_obj(mesh, VERTICES, FACES)
    write_attribute(tmp_path / "sphere.v2_attribute.att", VALUES)
    assert run_vornel([mesh, 3, 3, 50, "--seed", 2]).returncode == 0
    expected = (tmp_path / "sphere.v2_labels.lb").read_bytes()
    os.remove(tmp_path / "sphere.v2_labels.lb")
    result, written = vornel.segment_file(str(mesh), 3, seed=2)
    assert written == [str(tmp_path / "sphere.v2_labels.lb")]
    assert (tmp_path / "sphere.v2_labels.lb").read_bytes() == expected
    assert result.warnings == []


def files_in(folder):
    return sorted(os.listdir(folder))


def test_a_missing_mesh_raises_file_not_found_and_writes_nothing(tmp_path):
    with pytest.raises(FileNotFoundError):
        vornel.segment_file(tmp_path / "absent.obj", 3)
    assert files_in(tmp_path) == []


@pytest.mark.parametrize("fault, keywords, message", [
    ("short attribute file", {}, "m_attribute.att"),
    ("output over an input", {"labels_file": "MESH"}, "mesh"),
    ("colour mesh ending", {"colour_mesh": "c.stl"}, "the coloured mesh must be a .ply or .off"),
    ("property of an OBJ", {"attribute_property": "quality", "compute_attribute": "curvedness"},
     "can only come from a PLY mesh"),
    ("unknown measure", {"compute_attribute": "roundness"}, "roundness"),
    ("class count", {"classes": 300}, "the class count must lie between 1 and 256"),
    ("schedule", {"cooling": 1.5}, "cooling"),
])
def test_failures_raise_value_error_and_leave_no_file(tmp_path, fault, keywords, message):
    mesh = tmp_path / "m.obj"
    write_obj(mesh, VERTICES, FACES)
    values = VALUES[:10] if fault == "short attribute file" else VALUES
    write_attribute(tmp_path / "m_attribute.att", values)
    before = {name: (tmp_path / name).read_bytes() for name in files_in(tmp_path)}
    arguments = {"classes": 3, "colour_mesh": tmp_path / "c.ply", "seed": 1}
    arguments.update({key: (mesh if value == "MESH" else
                            tmp_path / value if key.endswith(("_file", "_mesh")) else value)
                      for key, value in keywords.items()})
    with pytest.raises(ValueError, match=message):
        vornel.segment_file(mesh, **arguments)
    assert {name: (tmp_path / name).read_bytes() for name in files_in(tmp_path)} == before


def test_paths_must_be_text_and_not_empty(tmp_path):
    with pytest.raises(TypeError):
        vornel.segment_file(7, 3)
    with pytest.raises(ValueError, match="labels_file must not be empty"):
        vornel.segment_file(tmp_path / "m.obj", 3, labels_file="")
