#!/usr/bin/env python3
"""A small driver of a headless Chromium through its DevTools protocol, for the web remote's stage.

Every command connects anew to the first page of the browser listening on 127.0.0.1:PORT
(CDP_PORT, 9222), so the shell script can step through a session one command at a time.

  cdp.py open URL LANG            Accept-Language LANG, then URL
(each on a phone's screen, 390 x 844)
  cdp.py tap SELECTOR             a tap (mouse press and release) at the middle of the element
  cdp.py text SELECTOR            prints the element's text ("" when there is none or it is hidden)
  cdp.py wait SELECTOR TEXT SECS  waits until the element's text holds TEXT; exit 1 when it never does
  cdp.py eval EXPRESSION          prints the value of a script in the page
  cdp.py shot FILE                a screenshot of the page (PNG)
"""
import base64
import json
import os
import sys
import time
import urllib.request

import websocket

PORT = int(os.environ.get("CDP_PORT", "9222"))


class Page:
    def __init__(self):
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{PORT}/json", timeout=10))
        page = next(t for t in targets if t["type"] == "page")
        self.ws = websocket.create_connection(page["webSocketDebuggerUrl"], timeout=30)
        self.next_id = 0
        # a phone's screen; it holds as long as this session, so every command sets it
        self.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=1, mobile=True)

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.ws.recv())
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})

    def eval(self, expression):
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in r:
            raise RuntimeError(f"{expression}: {r['exceptionDetails']}")
        return r["result"].get("value")

    def text(self, selector):
        return self.eval(f"(() => {{ const e = document.querySelector({json.dumps(selector)});"
                         f" return e && e.offsetParent !== null ? e.innerText : ''; }})()")


def main(args):
    page = Page()
    cmd = args[0]
    if cmd == "open":
        url, lang = args[1], args[2]
        ua = page.eval("navigator.userAgent")
        page.call("Network.enable")
        page.call("Network.setUserAgentOverride", userAgent=ua, acceptLanguage=lang)
        page.call("Page.enable")
        page.call("Page.navigate", url=url)
        until = time.monotonic() + 20
        while time.monotonic() < until:
            if page.eval("document.readyState") == "complete" and page.eval("location.href") == url:
                break
            time.sleep(0.2)
        time.sleep(1)  # the page asks for the list once loaded
    elif cmd == "tap":
        box = page.eval(f"(() => {{ const r = document.querySelector({json.dumps(args[1])}).getBoundingClientRect();"
                        " return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1], button="left", clickCount=1)
    elif cmd == "text":
        print(page.text(args[1]))
    elif cmd == "wait":
        until = time.monotonic() + float(args[3])
        while args[2] not in page.text(args[1]):
            if time.monotonic() > until:
                print(f"waited in vain for {args[2]!r} in {args[1]}: {page.text(args[1])!r}")
                return 1
            time.sleep(0.1)
    elif cmd == "eval":
        print(json.dumps(page.eval(args[1])))
    elif cmd == "shot":
        data = page.call("Page.captureScreenshot", format="png")["data"]
        with open(args[1], "wb") as f:
            f.write(base64.b64decode(data))
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
