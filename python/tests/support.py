"""Meshes generated in code, the files of the command line, and running it."""

import os
import subprocess

import numpy as np
import pytest


def icosphere(subdivisions):
    """A unit sphere: an icosahedron whose triangles are split in four
    `subdivisions` times. Returns float64 (n, 3) vertices and int64 (m, 3)
    faces, outward oriented."""
    t = (1.0 + 5.0 ** 0.5) / 2.0
    points = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
              (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4),
             (11, 10, 2), (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8),
             (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    points = [np.array(p, dtype=float) / np.linalg.norm(p) for p in points]
    for _ in range(subdivisions):
        middle = {}

        def midpoint(a, b):
            key = (min(a, b), max(a, b))
            if key not in middle:
                p = points[a] + points[b]
                points.append(p / np.linalg.norm(p))
                middle[key] = len(points) - 1
            return middle[key]

        finer = []
        for a, b, c in faces:
            ab, bc, ca = midpoint(a, b), midpoint(b, c), midpoint(c, a)
            finer += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        faces = finer
    return np.array(points), np.array(faces, dtype=np.int64)


def quad_grid(width, height):
    """A width x height grid of vertices in z = 0, one quad per cell, row by row."""
    xs, ys = np.meshgrid(np.arange(width, dtype=float), np.arange(height, dtype=float))
    vertices = np.column_stack([xs.ravel(), ys.ravel(), np.zeros(width * height)])
    v = np.arange(width * height).reshape(height, width)
    quads = np.column_stack([v[:-1, :-1].ravel(), v[:-1, 1:].ravel(),
                             v[1:, 1:].ravel(), v[1:, :-1].ravel()])
    return vertices, quads.astype(np.int64)


def mixed_grid(width, height):
    """The quad grid with every other cell split into two triangles: a list of
    index lists of three and four corners."""
    vertices, quads = quad_grid(width, height)
    faces = []
    for cell, (a, b, c, d) in enumerate(quads.tolist()):
        if cell % 2:
            faces += [[a, b, c], [a, c, d]]
        else:
            faces.append([a, b, c, d])
    return vertices, faces


def banded_values(vertices, classes, noise=0.35, seed=1):
    """Band c of `classes` equal bands along y has mean c, plus Gaussian noise;
    rounded to float32 as the attribute file reader rounds."""
    y = vertices[:, 1]
    span = y.max() - y.min()
    band = np.minimum(((y - y.min()) / span * classes).astype(int), classes - 1)
    rng = np.random.default_rng(seed)
    values = band + rng.normal(0.0, noise, len(vertices))
    return values.astype(np.float32).astype(np.float64)


def write_obj(path, vertices, faces):
    lines = ["v %.9g %.9g %.9g" % tuple(p) for p in vertices]
    lines += ["f " + " ".join(str(int(i) + 1) for i in facet) for facet in faces]
    path.write_text("\n".join(lines) + "\n")


def write_attribute(path, values):
    path.write_text("".join("%.9g\n" % v for v in values))


def read_label_file(path):
    numbers = [int(token) for token in path.read_text().split()]
    return numbers[0], np.array(numbers[1:], dtype=np.int32)


def vornel_binary():
    binary = os.environ.get("VORNEL_BINARY")
    if not binary or not os.path.exists(binary):
        pytest.skip("VORNEL_BINARY does not name the built command (ctest sets it)")
    return binary


def run_vornel(args):
    return subprocess.run([vornel_binary()] + [str(a) for a in args],
                          capture_output=True, text=True, check=False)


def cli_labels(folder, vertices, faces, values, classes, passes, sweeps, *options):
    """Writes the mesh and its attribute file, runs the command line on them and
    returns its label file's labels."""
    mesh = folder / "mesh.obj"
    write_obj(mesh, vertices, faces)
    write_attribute(folder / "mesh_attribute.att", values)
    run = run_vornel([mesh, classes, passes, sweeps] + list(options))
    assert run.returncode == 0, run.stderr
    class_count, labels = read_label_file(folder / "mesh_labels.lb")
    assert class_count == classes
    return labels
