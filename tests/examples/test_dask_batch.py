"""examples/dask_batch.py: a folder on a two-worker local Dask cluster gives
the command line's label files, and one bad mesh does not stop the others."""

import os
import subprocess
import sys

import pytest

pytest.importorskip("distributed", reason="Dask's distributed scheduler is not installed "
                                          "(Debian: python3-distributed)")
pytest.importorskip("vornel", reason="the vornel module is not on PYTHONPATH (ctest sets it)")

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "dask_batch.py")


def vornel_binary():
    binary = os.environ.get("VORNEL_BINARY")
    if not binary or not os.path.exists(binary):
        pytest.skip("VORNEL_BINARY does not name the built command (ctest sets it)")
    return binary


def write_grid(folder, name, width, height, seed):
    """A triangulated grid whose left and right halves hold different values."""
    lines = ["v %d %d 0" % (x, y) for y in range(height) for x in range(width)]
    for y in range(height - 1):
        for x in range(width - 1):
            a = y * width + x + 1
            lines += ["f %d %d %d" % (a, a + 1, a + width + 1),
                      "f %d %d %d" % (a, a + width + 1, a + width)]
    (folder / (name + ".obj")).write_text("\n".join(lines) + "\n")
    values = ["%d.%d" % (2 * x // width, (x * 7 + y * 3 + seed) % 10)
              for y in range(height) for x in range(width)]
    (folder / (name + "_attribute.att")).write_text("\n".join(values) + "\n")


def run_example(folder, *options):
    return subprocess.run([sys.executable, EXAMPLE, str(folder), "2", "--seed", "4",
                           "--workers", "2"] + list(options),
                          capture_output=True, text=True, check=False, timeout=240)


def test_label_files_are_those_of_the_command_line(tmp_path):
    for i, (width, height) in enumerate([(20, 12), (15, 15), (30, 8)]):
        write_grid(tmp_path, "g%d" % i, width, height, i)
    run = run_example(tmp_path)
    assert run.returncode == 0, run.stdout + run.stderr
    for i in range(3):
        mesh = tmp_path / ("g%d.obj" % i)
        cli = tmp_path / ("cli%d.lb" % i)
        subprocess.run([vornel_binary(), str(mesh), "2", "3", "50", "--seed", "4", "--threads",
                        "1", "--labels-file", str(cli)], check=True)
        assert (tmp_path / ("g%d_labels.lb" % i)).read_bytes() == cli.read_bytes()
        assert "g%d.obj" % i in run.stdout
    # Up to date now: skipped, unless forced.
    again = run_example(tmp_path)
    assert again.returncode == 0 and "3 of 3 meshes are up to date and skipped" in again.stdout


def test_a_bad_mesh_is_reported_and_the_others_finish(tmp_path):
    write_grid(tmp_path, "good", 12, 10, 1)
    (tmp_path / "bad.obj").write_text("v 0 0 0\nf 1 2 3\n")
    (tmp_path / "bad_attribute.att").write_text("1\n")
    run = run_example(tmp_path)
    assert run.returncode == 1
    bad = [line for line in run.stdout.splitlines() if line.startswith("bad.obj")]
    assert len(bad) == 1 and "failed: ValueError:" in bad[0] and "corner index" in bad[0]
    assert (tmp_path / "good_labels.lb").exists()
    assert not (tmp_path / "bad_labels.lb").exists()
