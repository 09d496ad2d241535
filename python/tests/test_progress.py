"""Progress: the command line's --progress line on a terminal, and progress=
of segment() and segment_file(); none of them changes a label."""

import os
import pty
import subprocess
import sys

import numpy as np
import pytest

import vornel
from support import (banded_values, icosphere, read_label_file, vornel_binary, write_attribute,
                     write_obj)

VERTICES, FACES = icosphere(3)
VALUES = banded_values(VERTICES, 3, seed=5)
ERASE = b"\r\x1b[K"


def run_on_terminal(args):
    """Runs the command with standard error on a pseudo-terminal; its exit
    status and everything it wrote there."""
    master, slave = pty.openpty()
    process = subprocess.Popen([vornel_binary()] + [str(a) for a in args],
                               stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)
    written = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the other end closed
            break
        if not chunk:
            break
        written += chunk
    os.close(master)
    return process.wait(), written


@pytest.fixture()
def mesh(tmp_path):
    path = tmp_path / "m.obj"
    write_obj(path, VERTICES, FACES)
    write_attribute(tmp_path / "m_attribute.att", VALUES)
    return path


@pytest.mark.parametrize("refine", [False, True], ids=["plain", "refined"])
def test_the_line_shows_the_sweeps_on_a_terminal_and_is_erased(mesh, refine):
    options = ["--seed", 3] + (["--refine"] if refine else [])
    status, quiet = run_on_terminal([mesh, 3, 2, 20] + options)
    assert status == 0 and quiet == b""  # silent unless asked
    expected = mesh.with_name("m_labels.lb").read_bytes()
    status, shown = run_on_terminal([mesh, 3, 2, 20, "--progress"] + options)
    assert status == 0
    assert mesh.with_name("m_labels.lb").read_bytes() == expected
    text = shown.decode()
    if refine:
        assert "vornel: annealing, round 1 of 2: sweep" in text
        assert "vornel: annealing, round 2 of 2: sweep" in text
    else:
        assert "vornel: annealing: sweep 20 of 20" in text
    assert "vornel: k-means" in text and "\n" not in text  # one line, rewritten
    assert shown.endswith(ERASE)


def test_the_line_stays_off_a_file(mesh, tmp_path):
    with open(tmp_path / "err.txt", "w") as err:
        status = subprocess.run([vornel_binary(), str(mesh), "3", "2", "5", "--progress"],
                                stderr=err, check=False).returncode
    assert status == 0 and (tmp_path / "err.txt").read_text() == ""


@pytest.mark.parametrize("refine", [False, True], ids=["plain", "refined"])
def test_a_callable_hears_every_stage_and_sweep(refine):
    heard = []
    result = vornel.segment(VERTICES, FACES, VALUES, 3, 2, 12, seed=4, refine=refine,
                            progress=lambda stage, fraction: heard.append((stage, fraction)))
    silent = vornel.segment(VERTICES, FACES, VALUES, 3, 2, 12, seed=4, refine=refine)
    np.testing.assert_array_equal(result.labels, silent.labels)
    stages = [stage for stage, _ in heard]
    assert stages[0] == "building the mesh" and stages[-1] == "segments"
    assert all(0.0 <= f <= 1.0 for _, f in heard)
    rounds = sorted({stage for stage in stages if stage.startswith("annealing")})
    assert rounds == (["annealing, round 1 of 2", "annealing, round 2 of 2"] if refine
                      else ["annealing"])
    for name in rounds:
        fractions = [f for stage, f in heard if stage == name]
        assert fractions[0] == 0.0 and fractions == sorted(fractions)
    if not refine:
        assert fractions[-1] == 1.0 and len(fractions) == 13  # the start, then 12 sweeps


def test_an_exception_of_the_callable_ends_the_run_and_writes_nothing(mesh):
    def stop(stage, fraction):
        if stage.startswith("annealing") and fraction > 0.5:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        vornel.segment_file(mesh, 3, 2, 10, seed=1, colour_mesh=mesh.with_name("c.ply"),
                            progress=stop)
    assert sorted(os.listdir(mesh.parent)) == ["m.obj", "m_attribute.att"]


def test_true_shows_a_tqdm_bar_that_is_erased(mesh, capsys):
    pytest.importorskip("tqdm", reason="tqdm is not installed (Debian: python3-tqdm)")
    result, _ = vornel.segment_file(mesh, 3, 2, 10, seed=1, progress=True)
    _, labels = read_label_file(mesh.with_name("m_labels.lb"))
    np.testing.assert_array_equal(result.labels, labels)
    assert "annealing" in capsys.readouterr().err


def test_true_without_tqdm_says_what_is_missing(monkeypatch):
    monkeypatch.setitem(sys.modules, "tqdm", None)  # import tqdm now fails
    with pytest.raises(ImportError, match="tqdm is not installed"):
        vornel.segment(VERTICES, FACES, VALUES, 3, progress=True)


def test_anything_else_is_refused():
    with pytest.raises(TypeError, match="progress must be None, a bool or a callable"):
        vornel.segment(VERTICES, FACES, VALUES, 3, progress="yes")
