"""Takes the README's picture of a report page: the page in headless Chromium,
the 3D view turned a little, the whole page captured at three quarters of its size.

Usage: report_screenshot.py REPORT.html OUT.png
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import headless_page  # noqa: E402


def main():
    report, out = sys.argv[1], sys.argv[2]
    chromium = headless_page.find_chromium()
    if not chromium:
        sys.exit("no Chromium installed (scripts/install_dependencies.sh installs it)")
    with headless_page.HeadlessPage(chromium, width=1180, height=900, timeout=120) as page:
        page.open("file://" + os.path.abspath(report))
        if page.evaluate("document.body.getAttribute('data-errors')") != "0":
            sys.exit("the page reported errors")
        box = page.evaluate("(() => { const r = document.getElementById('view')"
                            ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()")
        centre = (box[0] + box[2] / 2, box[1] + box[3] / 2)
        # Tip the generated sphere's axis up the screen, so that every band shows.
        page.drag(centre, (centre[0] + 20, centre[1] - 105))
        page.evaluate("new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))")
        png = page.screenshot(full_page=True, scale=0.75)
    with open(out, "wb") as picture:
        picture.write(png)


if __name__ == "__main__":
    main()
