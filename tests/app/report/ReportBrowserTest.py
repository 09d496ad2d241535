"""The --report page in headless Chromium: for K = 3 and K = 5 on a generated
striped grid, the page draws without an error, every class colour covers a
visible share of the 3D view, hiding a class in the legend removes its colour,
the histogram and the trace hold drawn elements, and the segments view and
section draw. With two features the page draws one histogram per feature and
their density. The view looks the same at coordinates near the ends of the
float range, and a file name holding markup is shown as text.

Usage: ReportBrowserTest.py --vornel PATH_TO_VORNEL
Exits 0 when every check passes, 1 when one fails, 77 (skipped) when no
Chromium is installed.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "scripts"))
import headless_page  # noqa: E402

SKIPPED = 77
WIDTH, HEIGHT = 48, 32  # grid vertices
SWEEPS = 15
MIN_CLASS_SHARE = 0.01  # of the 3D view's pixels
SEGMENT_COLOURS = [[31, 119, 180], [255, 127, 14]]  # the page's first two segment colours


def write_striped_grid(folder, classes, scale=1.0, name="stripes"):
    """A flat grid (vertex spacing `scale`) whose vertical stripes hold the values
    0 .. classes - 1 plus noise."""
    mesh = os.path.join(folder, name + ".obj")
    rng = random.Random(classes)
    with open(mesh, "w") as obj:
        for y in range(HEIGHT):
            for x in range(WIDTH):
                obj.write("v {!r} {!r} 0\n".format(x * scale, y * scale))
        for y in range(HEIGHT - 1):
            for x in range(WIDTH - 1):
                a = y * WIDTH + x + 1
                obj.write("f {} {} {}\nf {} {} {}\n".format(a, a + 1, a + WIDTH + 1,
                                                           a, a + WIDTH + 1, a + WIDTH))
    with open(os.path.join(folder, name + "_attribute.att"), "w") as values:
        for y in range(HEIGHT):
            for x in range(WIDTH):
                values.write("{:.6f}\n".format(x * classes // WIDTH + rng.gauss(0.0, 0.15)))
    return mesh


def class_shares(png, colours):
    """Share of the image's pixels whose colour is a shade of each class colour
    (the view only darkens colours, keeping their hue); every second pixel of
    every second row is looked at."""
    width, height, rows = headless_page.decode_png(png)
    counts = [0] * len(colours)
    looked = 0
    norms = [sum(c * c for c in colour) for colour in colours]
    for y in range(0, height, 2):
        row = rows[y]
        for x in range(0, width, 2):
            r, g, b = row[3 * x], row[3 * x + 1], row[3 * x + 2]
            looked += 1
            best, best_error = -1, 30.0 ** 2
            for k, (cr, cg, cb) in enumerate(colours):
                shade = min(max((r * cr + g * cg + b * cb) / norms[k], 0.4), 1.05)
                error = (r - shade * cr) ** 2 + (g - shade * cg) ** 2 + (b - shade * cb) ** 2
                if error < best_error:
                    best, best_error = k, error
            if best >= 0:
                counts[best] += 1
    return [count / looked for count in counts]


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, condition, what):
        if condition:
            self.passed += 1
        else:
            self.failed += 1
            print("FAILED: " + what)


def check_report(page, vornel, classes, checks):
    with tempfile.TemporaryDirectory(prefix="vornel-report-") as folder:
        mesh = write_striped_grid(folder, classes)
        report = os.path.join(folder, "report.html")
        run = subprocess.run([vornel, mesh, str(classes), "2", str(SWEEPS), "--seed", "3",
                              "--report", report], capture_output=True, text=True, timeout=120)
        checks.check(run.returncode == 0, "K = {}: vornel exits 0 ({})".format(classes, run.stderr))
        if run.returncode != 0:
            return
        seconds = page.open("file://" + report)
        draw_ms = page.evaluate("document.body.getAttribute('data-draw-ms')")
        print("K = {}: drawn {:.2f} s after navigation (page time {} ms)".format(
            classes, seconds, draw_ms))
        page_errors = page.evaluate("document.body.getAttribute('data-errors')")
        checks.check(page_errors == "0", "K = {}: the page counted errors: {}".format(
            classes, page.evaluate("document.getElementById('errors').textContent")))
        checks.check(not page.errors(), "K = {}: the browser logged errors: {}".format(
            classes, page.errors()))

        counts = page.evaluate("""({
            bars: document.querySelectorAll('#histogram .bars rect').length,
            curves: document.querySelectorAll('#histogram .densities path').length,
            sweeps: document.querySelectorAll('#trace .changed rect').length,
            temperature: document.querySelectorAll('#trace > path').length,
            tableRows: document.querySelectorAll('#class-table tr').length,
            featurePlots: document.querySelectorAll('#histogram-1, #feature-density').length
        })""")
        checks.check(counts["bars"] >= classes, "K = {}: histogram bars {}".format(classes, counts))
        checks.check(counts["curves"] == 2 * classes,
                     "K = {}: one density curve (and its outline) per class {}".format(classes, counts))
        checks.check(counts["sweeps"] == SWEEPS, "K = {}: one trace bar per sweep {}".format(classes, counts))
        checks.check(counts["temperature"] == 1, "K = {}: temperature line {}".format(classes, counts))
        checks.check(counts["tableRows"] == classes + 2, "K = {}: class table rows {}".format(classes, counts))
        checks.check(counts["featurePlots"] == 0, "K = {}: one feature, one histogram {}".format(classes, counts))

        colours = page.evaluate("JSON.parse(document.getElementById('vornel-data').textContent).classColours")
        box = page.evaluate("(() => { const r = document.getElementById('view').getBoundingClientRect();"
                            " return {x: r.left + 1, y: r.top + 1, width: r.width - 2, height: r.height - 2}; })()")
        shares = class_shares(page.screenshot(clip=box), colours)
        print("K = {}: class shares of the 3D view {}".format(classes, ["{:.3f}".format(s) for s in shares]))
        for k, share in enumerate(shares):
            checks.check(share >= MIN_CLASS_SHARE, "K = {}: class {} covers {:.4f} of the view".format(
                classes, k, share))

        # Hiding class 0 in the legend takes its colour off the view.
        page.evaluate("document.querySelector('.legend-item[data-class=\"0\"]').click();"
                      "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))")
        hidden = class_shares(page.screenshot(clip=box), colours)
        checks.check(hidden[0] < 0.002, "K = {}: hidden class 0 still covers {:.4f}".format(classes, hidden[0]))
        checks.check(all(share >= MIN_CLASS_SHARE for share in hidden[1:]),
                     "K = {}: the other classes stay visible {}".format(classes, hidden))

        # The value view draws too.
        page.evaluate("document.querySelector('input[name=colour][value=values]').click();"
                      "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))")
        checks.check(not page.errors(), "K = {}: errors after switching to values: {}".format(
            classes, page.errors()))

        # The Segments section, and the segments view with class 0 shown again:
        # the stripes alternate between the page's first two segment colours.
        page.evaluate("document.querySelector('.legend-item[data-class=\"0\"]').click();"
                      "document.querySelector('input[name=colour][value=segments]').click();"
                      "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))")
        checks.check(not page.errors(), "K = {}: errors after switching to segments: {}".format(
            classes, page.errors()))
        segments = page.evaluate("""({
            count: JSON.parse(document.getElementById('vornel-data').textContent).segments.count,
            rows: document.querySelectorAll('#segment-table tr').length,
            bars: document.querySelectorAll('#segment-sizes .bars rect').length
        })""")
        checks.check(segments["count"] >= classes and segments["bars"] >= 1 and
                     segments["rows"] == min(20, segments["count"]) + 1,
                     "K = {}: segments section {}".format(classes, segments))
        segment_shares = class_shares(page.screenshot(clip=box), SEGMENT_COLOURS)
        print("K = {}: shares of the first two segment colours {}".format(
            classes, ["{:.3f}".format(s) for s in segment_shares]))
        checks.check(all(share >= MIN_CLASS_SHARE for share in segment_shares),
                     "K = {}: segment colours {}".format(classes, segment_shares))


def view_box(page):
    return page.evaluate("(() => { const r = document.getElementById('view').getBoundingClientRect();"
                         " return {x: r.left + 1, y: r.top + 1, width: r.width - 2, height: r.height - 2}; })()")


def view_pixels(page, vornel, folder, scale):
    """The 3D view's pixels for the 3-class grid at the given vertex spacing."""
    mesh = write_striped_grid(folder, 3, scale, "grid-{:g}".format(scale))
    report = os.path.join(folder, "scale-{:g}.html".format(scale))
    run = subprocess.run([vornel, mesh, "3", "2", str(SWEEPS), "--seed", "3", "--report", report],
                         capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        return None, run.stderr
    page.open("file://" + report)
    return headless_page.decode_png(page.screenshot(clip=view_box(page)))[2], ""


def check_extreme_scales(page, vornel, checks):
    """Positions are only the view's business: at the ends of the float range the
    view shows (and shades) the surface as it does at scale 1."""
    with tempfile.TemporaryDirectory(prefix="vornel-report-") as folder:
        reference, error = view_pixels(page, vornel, folder, 1.0)
        checks.check(reference is not None, "scale 1: vornel exits 0 ({})".format(error))
        for scale in (2e36, 1e-38):  # coordinates up to about 1e38; down to 1e-38
            pixels, error = view_pixels(page, vornel, folder, scale)
            checks.check(pixels is not None, "scale {:g}: vornel exits 0 ({})".format(scale, error))
            if pixels is None or reference is None:
                continue
            difference = sum(abs(a - b) for row, other in zip(pixels, reference)
                             for a, b in zip(row[::7], other[::7]))
            count = sum(len(row[::7]) for row in reference)
            print("scale {:g}: mean pixel difference from scale 1: {:.3f}".format(
                scale, difference / count))
            checks.check(difference / count < 0.5,
                         "scale {:g}: the view differs from scale 1 by {:.2f} per channel".format(
                             scale, difference / count))


def check_several_features(page, vornel, checks):
    """Two features: a histogram each, named after its source, and their density."""
    classes = 3
    with tempfile.TemporaryDirectory(prefix="vornel-report-") as folder:
        mesh = write_striped_grid(folder, classes)
        height = os.path.join(folder, "row height.att")
        with open(height, "w") as values:
            for y in range(HEIGHT):
                for x in range(WIDTH):
                    values.write("{:.6f}\n".format(y / HEIGHT + x * classes // WIDTH))
        report = os.path.join(folder, "report.html")
        run = subprocess.run([vornel, mesh, str(classes), "2", str(SWEEPS), "--seed", "3",
                              "--attribute-file", os.path.join(folder, "stripes_attribute.att"),
                              "--attribute-file", height, "--report", report],
                             capture_output=True, text=True, timeout=120)
        checks.check(run.returncode == 0, "two features: vornel exits 0 ({})".format(run.stderr))
        if run.returncode != 0:
            return
        page.open("file://" + report)
        checks.check(page.evaluate("document.body.getAttribute('data-errors')") == "0" and not page.errors(),
                     "two features: errors {}".format(page.errors()))
        found = page.evaluate("""({
            first: document.querySelectorAll('#histogram .bars rect').length,
            second: document.querySelectorAll('#histogram-1 .bars rect').length,
            curves: document.querySelectorAll('#histogram-1 .densities path').length,
            cells: document.querySelectorAll('#feature-density .cells rect').length,
            labels: Array.from(document.querySelectorAll('#histogram-1 .axis text, #feature-density .axis text'))
                .map(t => t.textContent)
        })""")
        checks.check(found["first"] >= classes and found["second"] >= classes,
                     "two features: histogram bars {}".format(found))
        checks.check(found["curves"] == 2 * classes, "two features: density curves {}".format(found))
        checks.check(found["cells"] >= classes, "two features: density cells {}".format(found))
        checks.check("row_height" in found["labels"] and "stripes_attribute" in found["labels"],
                     "two features: axes named after the sources {}".format(found["labels"]))


def check_markup_in_names(page, vornel, checks):
    """A file name holding markup is shown as text, never run as markup."""
    with tempfile.TemporaryDirectory(prefix="vornel-report-") as folder:
        mesh = write_striped_grid(folder, 2, name="m<img src=x>")
        report = os.path.join(folder, "report.html")
        run = subprocess.run([vornel, mesh, "2", "0", "2", "--seed", "3", "--report", report],
                             capture_output=True, text=True, timeout=120)
        checks.check(run.returncode == 0, "markup name: vornel exits 0 ({})".format(run.stderr))
        if run.returncode != 0:
            return
        page.open("file://" + report)
        found = page.evaluate("""({
            images: document.querySelectorAll('img').length,
            cells: Array.from(document.querySelectorAll('#run-table td')).map(td => td.textContent)
        })""")
        checks.check(found["images"] == 0, "markup name: the page holds {} images".format(found["images"]))
        checks.check(mesh in found["cells"], "markup name: no run table cell reads {!r}: {}".format(
            mesh, found["cells"][:3]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vornel", required=True)
    arguments = parser.parse_args()
    chromium = headless_page.find_chromium()
    if not chromium:
        print("SKIPPED: no Chromium installed (scripts/install_dependencies.sh installs it); "
              "the report page was not checked in a browser")
        return SKIPPED
    checks = Checks()
    with headless_page.HeadlessPage(chromium, width=1200, height=900, timeout=90) as page:
        for classes in (3, 5):
            check_report(page, arguments.vornel, classes, checks)
        check_extreme_scales(page, arguments.vornel, checks)
        check_several_features(page, arguments.vornel, checks)
        check_markup_in_names(page, arguments.vornel, checks)
    print("{} passed, {} failed".format(checks.passed, checks.failed))
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
