#!/usr/bin/env python3
"""Overhead of calling the segmentation from Python.

Times vornel.segment on a mesh file's arrays against the library entry point
segmentMesh (bench_segment_mesh) on the same arrays, alternating the two so
that a change of load on the machine hits both alike, and prints the medians.
Without --mesh it generates a sphere of about a million vertices with
vornel_make_mesh.

    /usr/bin/python3 bench/bench_python.py --build build [--mesh m.obj] [--repeats 5]
"""

import argparse
import ctypes
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="the build folder")
    parser.add_argument("--mesh", help="an OBJ, OFF or PLY mesh with its attribute file")
    parser.add_argument("--vertices", type=int, default=1_000_000,
                        help="vertices of the generated sphere")
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--classes", type=int, default=3)
    parser.add_argument("--passes", type=int, default=3)
    parser.add_argument("--sweeps", type=int, default=50)
    parser.add_argument("--seed", type=int, default=1)
    return parser.parse_args()


def generated_mesh(build, vertices, folder):
    path = os.path.join(folder, "sphere.obj")
    subprocess.run([os.path.join(build, "bench", "vornel_make_mesh"), "--shape", "sphere",
                    "--vertices", str(vertices), "--out", path, "--classes", "3"], check=True)
    return path


def time_cpp(build, mesh, arguments):
    """One run of bench_segment_mesh: {entry: (wall, cpu, checksum)}, cpu being
    user plus system time."""
    output = subprocess.run(
        [os.path.join(build, "bench", "bench_segment_mesh"), mesh, str(arguments.classes),
         str(arguments.passes), str(arguments.sweeps), str(arguments.seed)],
        check=True, capture_output=True, text=True).stdout
    runs = {}
    for line in output.splitlines():
        entry, _, wall, _, cpu, _, _, _, faults, _, checksum = line.split()
        runs[entry] = (float(wall), float(cpu), int(checksum), int(faults))
    return runs


def release_free_memory():
    """Returns the heap's free memory to the system (glibc), as bench_segment_mesh
    does before each run, so that both start from fresh pages."""
    try:
        ctypes.CDLL(None).malloc_trim(0)
    except (OSError, AttributeError):
        pass


def time_python(vornel, vertices, faces, values, arguments):
    release_free_memory()
    faults_before = resource.getrusage(resource.RUSAGE_THREAD).ru_minflt
    wall_start, cpu_start = time.perf_counter(), time.thread_time()
    labels = vornel.segment(vertices, faces, values, arguments.classes, arguments.passes,
                            arguments.sweeps, seed=arguments.seed).labels
    cpu = time.thread_time() - cpu_start
    wall = time.perf_counter() - wall_start
    faults = resource.getrusage(resource.RUSAGE_THREAD).ru_minflt - faults_before
    weights = np.arange(1, len(labels) + 1, dtype=np.uint64)
    checksum = int(np.sum(weights * labels.astype(np.uint64), dtype=np.uint64))
    return wall, cpu, checksum, faults


def report(name, runs, baseline):
    walls, cpus = [r[0] for r in runs], [r[1] for r in runs]
    line = "%-26s wall median %7.3f s (min %.3f)  cpu median %7.3f s (min %.3f)  faults %d" % (
        name, statistics.median(walls), min(walls), statistics.median(cpus), min(cpus),
        statistics.median(r[3] for r in runs))
    if baseline:
        line += "   ratio wall %.4f cpu %.4f" % (
            statistics.median(walls) / statistics.median(r[0] for r in baseline),
            statistics.median(cpus) / statistics.median(r[1] for r in baseline))
    print(line)


def main():
    arguments = parse_arguments()
    build = os.path.abspath(arguments.build)
    sys.path.insert(0, os.path.join(build, "python"))
    import vornel  # pylint: disable=import-outside-toplevel

    with tempfile.TemporaryDirectory() as folder:
        mesh = arguments.mesh or generated_mesh(build, arguments.vertices, folder)
        vertices, faces = vornel.read_mesh(mesh)
        base = mesh[:mesh.rfind(".")]
        values = vornel.read_attribute(base + "_attribute.att", len(vertices))
        print("%s: %d vertices, %d facets; K %d, %d passes, %d sweeps, seed %d, %d repeats" % (
            mesh, len(vertices), len(faces), arguments.classes, arguments.passes,
            arguments.sweeps, arguments.seed, arguments.repeats))
        flat, vectors, python = [], [], []
        for repeat in range(arguments.repeats):
            # Which one runs first alternates, so that neither always follows the other.
            if repeat % 2:
                python.append(time_python(vornel, vertices, faces, values, arguments))
            cpp = time_cpp(build, mesh, arguments)
            flat.append(cpp["flat"])
            vectors.append(cpp["vectors"])
            if repeat % 2 == 0:
                python.append(time_python(vornel, vertices, faces, values, arguments))
    if len({run[2] for run in flat + vectors + python}) != 1:
        print("the labels differ between the runs", file=sys.stderr)
        return 1
    report("segmentMesh (flat arrays)", flat, None)
    report("segmentMesh (vectors)", vectors, flat)
    report("vornel.segment", python, flat)
    return 0


if __name__ == "__main__":
    sys.exit(main())
