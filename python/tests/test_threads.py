"""segment() releases the GIL while it runs, and its thread count changes nothing."""

import os
import threading
import time

import numpy as np
import pytest

import vornel
from support import banded_values, quad_grid

# Large enough for each segmentation to take a good part of a second.
VERTICES, FACES = quad_grid(240, 240)
VALUES = banded_values(VERTICES, 4, noise=0.6, seed=1)


def segment_once(results, slot):
    # One thread per call: what is measured is the GIL, not the parallel stages.
    results[slot] = vornel.segment(VERTICES, FACES, VALUES, 4, 3, 60, seed=slot, threads=1).labels


def schedule_times():
    """This thread's time on a core and time waiting for one, in seconds (Linux)."""
    path = "/proc/self/task/%d/schedstat" % threading.get_native_id()
    with open(path, encoding="ascii") as stat:
        running, waiting = stat.read().split()[:2]
    return int(running) / 1e9, int(waiting) / 1e9


def time_without_waiting_for_a_core(threads):
    """Segments in `threads` threads at once; returns, for the slowest thread, its
    wall time less the time it waited for a free core. What is left is the time
    it ran or was blocked (on the GIL, for one): waiting for a core, which other
    processes on a busy machine may hold, is left out."""
    spent = {}
    all_started = threading.Barrier(threads)

    def work(slot):
        all_started.wait()  # from here on, a thread blocked on the GIL counts
        start_wall, (_, start_waiting) = time.perf_counter(), schedule_times()
        segment_once({}, slot)
        _, waiting = schedule_times()
        spent[slot] = time.perf_counter() - start_wall - (waiting - start_waiting)

    workers = [threading.Thread(target=work, args=(slot,)) for slot in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    return max(spent.values())


def test_python_code_runs_while_a_segmentation_does():
    results = {}
    worker = threading.Thread(target=segment_once, args=(results, 0))
    ticks = 0
    worker.start()
    while worker.is_alive():
        ticks += 1
        time.sleep(0.001)
    worker.join()
    assert results[0].shape == (len(VERTICES),)
    # With the GIL held the loop could not run until the segmentation ended.
    assert ticks > 10


@pytest.mark.skipif((os.cpu_count() or 1) < 2, reason="needs two cores")
@pytest.mark.skipif(not os.path.exists("/proc/self/schedstat"), reason="needs Linux schedstat")
def test_two_threads_take_clearly_less_than_twice_the_time_of_one():
    # A thread waiting for the GIL is blocked for the whole of the other's run,
    # which would make the ratio 2; cache sharing may slow each a little.
    ratios = []
    for _ in range(3):
        one = time_without_waiting_for_a_core(1)
        ratios.append(time_without_waiting_for_a_core(2) / one)
        if ratios[-1] < 1.5:
            break
    assert min(ratios) < 1.5, ratios


def test_threads_give_the_labels_of_a_lone_run():
    alone = {}
    segment_once(alone, 3)
    together = {}
    workers = [threading.Thread(target=segment_once, args=(together, slot)) for slot in (3, 4)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    np.testing.assert_array_equal(together[3], alone[3])


def test_every_thread_count_gives_the_same_labels():
    def labels(threads):
        return vornel.segment(VERTICES, FACES, VALUES, 4, 3, 20, seed=12, threads=threads).labels

    one = labels(1)
    for threads in (2, 3, 8, None):
        np.testing.assert_array_equal(labels(threads), one)
    # Two calls at once, each on its own threads.
    together = {}
    workers = [threading.Thread(target=lambda slot=slot: together.update({slot: labels(2)}))
               for slot in (0, 1)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    for slot in (0, 1):
        np.testing.assert_array_equal(together[slot], one)
