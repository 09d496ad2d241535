"""read_mesh, read_attribute and write_labels follow the command line's files."""

import os
import pathlib
import socket
import stat

import numpy as np
import pytest

import vornel
from support import (banded_values, cli_labels, icosphere, mixed_grid, read_label_file,
                     run_vornel, write_attribute, write_obj)

VERTICES, FACES = icosphere(2)  # 162 vertices
# Coordinates that single precision holds exactly, so that they read back equal.
VERTICES = VERTICES.astype(np.float32).astype(np.float64)


def write_off(path, vertices, faces):
    lines = ["OFF", "%d %d 0" % (len(vertices), len(faces))]
    lines += ["%.9g %.9g %.9g" % tuple(p) for p in vertices]
    lines += ["%d " % len(f) + " ".join(str(i) for i in f) for f in faces]
    path.write_text("\n".join(lines) + "\n")


def write_ply(path, vertices, faces):
    lines = ["ply", "format ascii 1.0", "element vertex %d" % len(vertices),
             "property float x", "property float y", "property float z",
             "element face %d" % len(faces), "property list uchar int vertex_indices",
             "end_header"]
    lines += ["%.9g %.9g %.9g" % tuple(p) for p in vertices]
    lines += ["%d " % len(f) + " ".join(str(i) for i in f) for f in faces]
    path.write_text("\n".join(lines) + "\n")


@pytest.mark.parametrize("writer, name", [(write_obj, "m.obj"), (write_off, "m.off"),
                                          (write_ply, "m.ply")])
def test_each_format_reads_back_the_arrays(tmp_path, writer, name):
    writer(tmp_path / name, VERTICES, FACES)
    vertices, faces = vornel.read_mesh(tmp_path / name)
    assert vertices.dtype == np.float64 and faces.dtype == np.int64
    np.testing.assert_array_equal(vertices, VERTICES)
    np.testing.assert_array_equal(faces, FACES)


def test_mixed_polygons_read_as_a_list_of_arrays(tmp_path):
    vertices, faces = mixed_grid(5, 4)
    write_obj(tmp_path / "m.obj", vertices, faces)
    read_vertices, read_faces = vornel.read_mesh(str(tmp_path / "m.obj"))
    np.testing.assert_array_equal(read_vertices, vertices)
    assert [f.tolist() for f in read_faces] == faces


def test_off_drops_vertices_that_no_facet_uses(tmp_path):
    vertices = np.vstack([[[9.0, 9.0, 9.0]], VERTICES])
    write_off(tmp_path / "m.off", vertices, FACES + 1)
    read_vertices, read_faces = vornel.read_mesh(tmp_path / "m.off")
    np.testing.assert_array_equal(read_vertices, VERTICES)
    np.testing.assert_array_equal(read_faces, FACES)


def test_the_file_route_in_python_gives_the_command_line_labels(tmp_path):
    values = banded_values(VERTICES, 3, seed=5)
    expected = cli_labels(tmp_path, VERTICES, FACES, values, 3, 3, 20, "--seed", 2)
    vertices, faces = vornel.read_mesh(tmp_path / "mesh.obj")
    read_values = vornel.read_attribute(tmp_path / "mesh_attribute.att", len(vertices))
    np.testing.assert_array_equal(read_values, values)
    result = vornel.segment(vertices, faces, read_values, 3, 3, 20, seed=2)
    np.testing.assert_array_equal(result.labels, expected)


def test_labels_are_written_with_the_bytes_of_the_command_line(tmp_path):
    values = banded_values(VERTICES, 3, seed=5)
    labels = cli_labels(tmp_path, VERTICES, FACES, values, 3, 3, 20, "--seed", 2)
    vornel.write_labels(tmp_path / "again.lb", labels, 3)
    assert (tmp_path / "again.lb").read_bytes() == (tmp_path / "mesh_labels.lb").read_bytes()
    vornel.write_labels(str(tmp_path / "small.lb"), np.array([0, 1, 1, 0], dtype=np.uint8), 2)
    assert (tmp_path / "small.lb").read_bytes() == b"2 \t0 \t1 \t1 \t0 \t"


def test_attribute_values_are_rounded_to_single_precision(tmp_path):
    (tmp_path / "a.att").write_text("0.1 2\n-0.25\n")
    values = vornel.read_attribute(tmp_path / "a.att", 3)
    assert values.dtype == np.float64
    np.testing.assert_array_equal(values, np.array([0.1, 2.0, -0.25], dtype=np.float32))


def test_extra_attribute_values_are_ignored_with_a_warning(tmp_path):
    (tmp_path / "a.att").write_text("1\n2\n3\n4\n")
    with pytest.warns(UserWarning, match="holds 2 more values than the 2 asked for"):
        values = vornel.read_attribute(tmp_path / "a.att", 2)
    np.testing.assert_array_equal(values, [1.0, 2.0])


def test_bad_attribute_files_name_the_fault(tmp_path):
    (tmp_path / "a.att").write_text("1\n2\nthree\n")
    with pytest.raises(ValueError, match=r"a\.att:3: value 3 'three' is not a number"):
        vornel.read_attribute(tmp_path / "a.att", 3)
    (tmp_path / "b.att").write_text("1\nnan\n")
    with pytest.raises(ValueError, match="is not a finite number"):
        vornel.read_attribute(tmp_path / "b.att", 2)
    (tmp_path / "c.att").write_text("1 2\n")
    with pytest.raises(ValueError, match="holds 2 values; the mesh has 5 vertices"):
        vornel.read_attribute(tmp_path / "c.att", 5)


def test_bad_mesh_files_raise_the_command_line_message(tmp_path):
    (tmp_path / "m.obj").write_text("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n")
    with pytest.raises(ValueError) as raised:
        vornel.read_mesh(tmp_path / "m.obj")
    run = run_vornel([tmp_path / "m.obj", 2, 1, 1])
    assert run.returncode == 1
    assert run.stderr.strip() == "vornel: " + str(raised.value)


def two_tetrahedra():
    """Two closed tetrahedra that share only vertex 0: a non-manifold vertex."""
    vertices = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1],
                         [-1, 0, 0], [0, -1, 0], [0, 0, -1]], dtype=float)
    faces = [[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3],
             [0, 5, 4], [0, 4, 6], [0, 6, 5], [4, 5, 6]]
    return vertices, faces


def test_a_non_manifold_mesh_is_refused_or_repaired_like_the_command_line(tmp_path):
    vertices, faces = two_tetrahedra()
    write_obj(tmp_path / "m.obj", vertices, faces)
    with pytest.raises(ValueError, match=r"repair=True"):
        vornel.read_mesh(tmp_path / "m.obj")
    with pytest.warns(UserWarning, match="split 1 vertex into 2 copies"):
        repaired, repaired_faces, original = vornel.read_mesh(tmp_path / "m.obj", repair=True)
    assert len(repaired) == len(vertices) + 1
    np.testing.assert_array_equal(original, list(range(len(vertices))) + [0])
    np.testing.assert_array_equal(repaired[original[-1]], vertices[0])

    values = np.array([0, 0, 0, 0, 3, 3, 3], dtype=float)
    write_attribute(tmp_path / "m_attribute.att", values)
    run = run_vornel([tmp_path / "m.obj", 2, 1, 5, "--seed", 4, "--repair"])
    assert run.returncode == 0, run.stderr
    _, expected = read_label_file(tmp_path / "m_labels.lb")
    result = vornel.segment(repaired, repaired_faces, values[original], 2, 1, 5, seed=4)
    np.testing.assert_array_equal(result.labels[:len(vertices)], expected)


def test_repair_of_a_sound_mesh_changes_nothing(tmp_path):
    write_obj(tmp_path / "m.obj", VERTICES, FACES)
    vertices, faces, original = vornel.read_mesh(tmp_path / "m.obj", repair=True)
    np.testing.assert_array_equal(faces, FACES)
    np.testing.assert_array_equal(original, np.arange(len(VERTICES)))


def test_missing_and_unreadable_files_raise_os_errors(tmp_path):
    with pytest.raises(FileNotFoundError, match="nothing.obj") as raised:
        vornel.read_mesh(tmp_path / "nothing.obj")
    assert raised.value.errno == 2
    with pytest.raises(FileNotFoundError, match="nothing.att"):
        vornel.read_attribute(tmp_path / "nothing.att", 3)
    with pytest.raises(IsADirectoryError):
        vornel.read_mesh(tmp_path)
    with pytest.raises(FileNotFoundError):
        vornel.write_labels(tmp_path / "no folder" / "l.lb", [0, 1], 2)
    assert list(tmp_path.iterdir()) == []


def test_a_failed_write_leaves_the_target_and_no_temporary_file(tmp_path):
    target = tmp_path / "labels.lb"
    target.mkdir()
    with pytest.raises(IsADirectoryError, match="cannot write label file"):
        vornel.write_labels(target, [0, 1], 2)
    assert target.is_dir() and [p.name for p in tmp_path.iterdir()] == ["labels.lb"]


def test_writing_replaces_an_existing_file(tmp_path):
    target = tmp_path / "labels.lb"
    target.write_text("old")
    vornel.write_labels(pathlib.PurePath(target), [1, 0], 2)
    assert target.read_bytes() == b"2 \t1 \t0 \t"
    assert sorted(os.listdir(tmp_path)) == ["labels.lb"]


def test_a_replaced_label_file_keeps_its_mode(tmp_path):
    target = tmp_path / "labels.lb"
    target.write_text("old")
    target.chmod(0o600)
    vornel.write_labels(target, [1, 0], 2)
    assert target.stat().st_mode & 0o7777 == 0o600


def test_a_pipe_is_written_into_and_one_without_reader_is_an_error(tmp_path):
    pipe = tmp_path / "pipe.lb"
    os.mkfifo(pipe)
    with pytest.raises(OSError, match="no process reads this pipe"):
        vornel.write_labels(pipe, [1, 0], 2)
    reader = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)
    try:
        vornel.write_labels(pipe, [1, 0], 2)
        assert os.read(reader, 64) == b"2 \t1 \t0 \t"
    finally:
        os.close(reader)
    assert pipe.is_fifo() and sorted(os.listdir(tmp_path)) == ["pipe.lb"]


def test_a_private_character_device_is_written_into_not_replaced(tmp_path):
    device = tmp_path / "null.lb"
    try:
        os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))  # the null device's numbers
        os.close(os.open(device, os.O_WRONLY))
    except OSError as error:
        pytest.skip("no private character device here: %s" % error)
    vornel.write_labels(device, [1, 0], 2)
    assert device.is_char_device()


def test_a_socket_is_refused(tmp_path):
    path = tmp_path / "sock.lb"
    with socket.socket(socket.AF_UNIX) as listener:
        listener.bind(str(path))
        with pytest.raises(ValueError, match="is a socket"):
            vornel.write_labels(path, [1, 0], 2)
    assert path.is_socket() and sorted(os.listdir(tmp_path)) == ["sock.lb"]
