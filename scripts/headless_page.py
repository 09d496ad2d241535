"""Loads a local page in headless Chromium through the DevTools protocol over a
pipe (standard library only), waits for the page to signal that it has drawn,
and gives back what a check needs: errors, values computed in the page, and
PNG screenshots decoded to pixels.

Used by the report's browser test and by scripts/report_screenshot.sh.
"""

import base64
import fcntl
import json
import os
import queue
import shutil
import struct
import subprocess
import tempfile
import threading
import time
import zlib

# The network is closed here: without these flags Chromium waits on connections.
CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    # WebGL without a GPU: the software renderer.
    "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader",
    "--hide-scrollbars",
]


def find_chromium():
    """The Chromium binary, or None."""
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def _move_above(descriptor, lowest):
    """The descriptor renumbered to lowest or above (the old number is closed)."""
    moved = fcntl.fcntl(descriptor, fcntl.F_DUPFD, lowest)
    os.close(descriptor)
    return moved


class PageError(Exception):
    pass


class HeadlessPage:
    """One Chromium process with one page, driven over --remote-debugging-pipe."""

    def __init__(self, chromium, width=1200, height=900, timeout=60.0):
        self.timeout = timeout
        self.events = []
        self._messages = queue.Queue()
        self._next_id = 0
        self._profile = tempfile.mkdtemp(prefix="vornel-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        # Chromium reads commands on descriptor 3 and writes answers on 4; the
        # pipe ends move above both first, so that the shell's moves cannot clash.
        to_browser_read = _move_above(to_browser_read, 10)
        from_browser_write = _move_above(from_browser_write, 10)
        redirect = 'exec "$0" "$@" 3<&{0} 4>&{1} {0}<&- {1}>&-'.format(
            to_browser_read, from_browser_write)
        self._log = tempfile.TemporaryFile()
        self._process = subprocess.Popen(
            ["/bin/bash", "-c", redirect, chromium] + CHROMIUM_FLAGS + [
                "--remote-debugging-pipe",
                "--user-data-dir=" + self._profile,
                "--window-size={},{}".format(width, height),
                "about:blank",
            ],
            pass_fds=(to_browser_read, from_browser_write),
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=self._log,
            start_new_session=True)
        os.close(to_browser_read)
        os.close(from_browser_write)
        threading.Thread(target=self._read_messages, daemon=True).start()
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self._session = self.call("Target.attachToTarget",
                                  {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable", session=True)
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
                  session=True)

    def _read_messages(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 20)
            except OSError:
                chunk = b""
            if not chunk:
                self._messages.put(None)
                return
            pending += chunk
            while b"\0" in pending:
                message, pending = pending.split(b"\0", 1)
                self._messages.put(json.loads(message.decode("utf-8")))

    def call(self, method, params=None, session=False):
        """Sends one command and waits for its answer, keeping the events met."""
        self._next_id += 1
        command = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = self._session
        os.write(self._to_browser, json.dumps(command).encode("utf-8") + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise PageError("no answer to " + method + " within the time limit")
            try:
                message = self._messages.get(timeout=remaining)
            except queue.Empty:
                continue
            if message is None:
                raise PageError("Chromium closed the connection during " + method + ": " +
                                self.browser_log())
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise PageError(method + ": " + json.dumps(message["error"]))
                return message.get("result", {})
            if "method" in message:
                self.events.append(message)

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page."""
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True,
                            "awaitPromise": True}, session=True)
        if "exceptionDetails" in result:
            raise PageError("evaluating " + expression + ": " +
                            json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def open(self, url, signal="data-drawn", timeout=None):
        """Navigates to url and waits until <body> carries the signal attribute.
        Returns the seconds waited."""
        start = time.monotonic()
        self.call("Page.navigate", {"url": url}, session=True)
        deadline = start + (timeout or self.timeout)
        check = "document.body ? document.body.getAttribute('{}') : null".format(signal)
        while time.monotonic() < deadline:
            if self.evaluate(check) is not None:
                return time.monotonic() - start
            time.sleep(0.05)
        raise PageError("the page did not set {} within the time limit".format(signal))

    def drag(self, start, end, steps=10):
        """Drags the mouse with the left button held from start to end (page pixels)."""
        def mouse(kind, x, y, buttons):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "buttons": buttons,
                       "clickCount": 1}, session=True)
        mouse("mousePressed", start[0], start[1], 1)
        for step in range(1, steps + 1):
            mouse("mouseMoved", start[0] + (end[0] - start[0]) * step / steps,
                  start[1] + (end[1] - start[1]) * step / steps, 1)
        mouse("mouseReleased", end[0], end[1], 0)

    def errors(self):
        """Uncaught exceptions, console errors and error log entries so far."""
        found = []
        for event in self.events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                details = params.get("exceptionDetails", {})
                found.append("exception: " + details.get("exception", {}).get(
                    "description", details.get("text", "")))
            elif method == "Runtime.consoleAPICalled" and params.get("type") == "error":
                found.append("console error: " + " ".join(
                    str(arg.get("value", arg.get("description", ""))) for arg in params["args"]))
            elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
                found.append("log error: " + params["entry"].get("text", ""))
        return found

    def screenshot(self, clip=None, full_page=False, scale=1):
        """PNG bytes of the viewport, of a clip {x, y, width, height} or of the
        whole page, rendered at scale."""
        params = {"format": "png"}
        if full_page:
            size = self.evaluate("[document.documentElement.scrollWidth, "
                                 "document.documentElement.scrollHeight]")
            clip = {"x": 0, "y": 0, "width": size[0], "height": size[1]}
            params["captureBeyondViewport"] = True
        if clip:
            params["clip"] = dict(clip, scale=scale)
        return base64.b64decode(self.call("Page.captureScreenshot", params, session=True)["data"])

    def browser_log(self):
        self._log.seek(0)
        return self._log.read().decode("utf-8", "replace")[-2000:]

    def close(self):
        try:
            self.call("Browser.close")
        except PageError:
            pass
        try:
            self._process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(self._process.pid, 9)
            self._process.wait()
        for descriptor in (self._to_browser, self._from_browser):
            try:
                os.close(descriptor)
            except OSError:
                pass
        shutil.rmtree(self._profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()


def decode_png(data):
    """(width, height, rows) of an 8-bit RGB or RGBA PNG; each row a bytes of
    RGB triples."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("unsupported PNG layout")
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 255
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + previous[i]) & 255
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = line
        if channels == 4:
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[0::4], line[1::4], line[2::4]
            rows.append(bytes(rgb))
        else:
            rows.append(bytes(line))
    return width, height, rows
