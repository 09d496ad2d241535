#!/usr/bin/env python3
"""Segment every mesh of a folder on a Dask cluster.

    python3 examples/dask_batch.py FOLDER K [--seed S] [--refine] [--workers N]
                                   [--scheduler ADDRESS] [--threads-per-mesh T] [--force]

Every OBJ, OFF, PLY and STL file of FOLDER is segmented into K classes by
vornel.segment_file, the command line's own run: each mesh's values come from
its companion attribute file and its labels go to its companion label file,
with the command line's rules (all or nothing, never over an input). A mesh
whose label file is newer than the mesh and its attribute file is skipped,
unless --force is given.

Without --scheduler a LocalCluster of N workers runs on this machine;
with it, the cluster at ADDRESS (tcp://host:8786) does, whose workers must
import vornel and see FOLDER under the same path. Each mesh runs on one thread
(--threads-per-mesh says otherwise), so that N single-threaded workers keep N
cores busy without oversubscribing them.

Dask's progress bar shows while the meshes run; a table follows: mesh,
vertices, seconds, class sizes, or the message of a mesh that failed. One bad
mesh does not stop the others; the exit status is 1 when one failed.
"""

import argparse
import contextlib
import logging
import os
import sys
import time

MESH_ENDINGS = (".obj", ".off", ".ply", ".stl")


def companion_files(mesh):
    """The attribute and label files the command line derives from the mesh's
    path: the base is the path up to the last dot of the file name."""
    folder, name = os.path.split(mesh)
    base = os.path.join(folder, name.rsplit(".", 1)[0]) if "." in name else mesh
    return base + "_attribute.att", base + "_labels.lb"


def is_up_to_date(mesh):
    """Whether the mesh's label file is newer than the mesh and its attribute file."""
    attributes, labels = companion_files(mesh)
    if not os.path.exists(labels):
        return False
    inputs = [mesh] + ([attributes] if os.path.exists(attributes) else [])
    newest_input = max(os.path.getmtime(path) for path in inputs)
    return os.path.getmtime(labels) > newest_input


def meshes_in(folder):
    return sorted(os.path.join(folder, name) for name in os.listdir(folder)
                  if name.lower().endswith(MESH_ENDINGS)
                  and os.path.isfile(os.path.join(folder, name)))


def segment_one(mesh, classes, seed, refine, threads):
    """One mesh on a worker: a row of the summary, or its failure."""
    import numpy as np
    import vornel

    start = time.perf_counter()
    try:
        result, _ = vornel.segment_file(mesh, classes, seed=seed, refine=refine, threads=threads)
    except Exception as error:  # one bad mesh must not stop the others
        return {"mesh": mesh, "error": "%s: %s" % (type(error).__name__, error)}
    sizes = np.bincount(result.labels, minlength=len(result.means))
    return {"mesh": mesh, "vertices": len(result.labels),
            "seconds": time.perf_counter() - start, "sizes": sizes.tolist()}


def summary_table(rows):
    """The summary as text: one line per mesh, failures with their message."""
    width = max([len("mesh")] + [len(os.path.basename(row["mesh"])) for row in rows])
    lines = ["%-*s %10s %8s  %s" % (width, "mesh", "vertices", "seconds", "class sizes")]
    for row in rows:
        name = os.path.basename(row["mesh"])
        if "error" in row:
            lines.append("%-*s %10s %8s  failed: %s" % (width, name, "-", "-", row["error"]))
        else:
            lines.append("%-*s %10d %8.2f  %s" % (width, name, row["vertices"], row["seconds"],
                                                 " ".join(str(size) for size in row["sizes"])))
    return "\n".join(lines)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Segment every mesh of a folder on Dask.")
    parser.add_argument("folder")
    parser.add_argument("classes", type=int, metavar="K")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--refine", action="store_true")
    parser.add_argument("--workers", type=int, default=2, metavar="N",
                        help="worker processes of the local cluster (default 2)")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="use the Dask cluster at ADDRESS instead of a local one")
    parser.add_argument("--threads-per-mesh", type=int, default=1, metavar="T",
                        help="threads of each mesh's run (default 1)")
    parser.add_argument("--force", action="store_true",
                        help="segment also the meshes whose label file is up to date")
    return parser.parse_args(argv)


@contextlib.contextmanager
def connect(arguments):
    """A client of the cluster at --scheduler, or of a local cluster of N
    workers. The local workers are threads of this process: segment_file
    releases the GIL while a mesh runs, so they keep N cores busy without the
    seconds that starting worker processes takes. The client closes before
    its cluster, so that it never looks for a scheduler that has gone."""
    from dask.distributed import Client, LocalCluster

    if arguments.scheduler:
        with Client(arguments.scheduler) as client:
            yield client
        return
    with LocalCluster(n_workers=arguments.workers, threads_per_worker=1, processes=False,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client
        # An in-process scheduler that stops logs the progress bar's
        # cancelled feed as an error; nothing is wrong then.
        logging.getLogger("distributed.core").setLevel(logging.CRITICAL)


def main(argv=None):
    arguments = parse_arguments(argv)
    try:
        from dask.distributed import progress
    except ImportError:
        sys.exit("dask_batch.py needs Dask's distributed scheduler "
                 "(pip install distributed, or Debian's python3-distributed)")
    meshes = meshes_in(arguments.folder)
    todo = [mesh for mesh in meshes if arguments.force or not is_up_to_date(mesh)]
    if len(todo) < len(meshes):
        print("%d of %d meshes are up to date and skipped (--force segments them too)"
              % (len(meshes) - len(todo), len(meshes)))
    if not todo:
        return 0
    with connect(arguments) as client:
        futures = client.map(segment_one, todo, classes=arguments.classes, seed=arguments.seed,
                             refine=arguments.refine, threads=arguments.threads_per_mesh,
                             pure=False)
        progress(futures)
        rows = client.gather(futures)
    print()
    print(summary_table(rows))
    return 1 if any("error" in row for row in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
