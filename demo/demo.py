#!/usr/bin/env python3
"""The launcher's main job on an embedded default: a branded demo launcher
with demo zones, a login server that answers and one that does not, and an
update site with one pending game-file update, all on 127.0.0.1.

    python3 demo/demo.py            run it on this display (or under Xvfb,
                                    saving a screenshot, when there is none)
    python3 demo/demo.py --check    CI mode: answer the update question,
                                    check the result, keep a screenshot, exit

Expects the win64 build (launcher, democlient, wininspect) and the host
launcher-kit; scripts/run.sh builds them first. Everything the demo starts
ends with it.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
os.environ.setdefault("LK_SOURCE_DIR", ROOT)
os.environ.setdefault("LK_BUILD_DIR", os.path.join(ROOT, "build", "win64"))
os.environ.setdefault("LK_WINE_RUN", os.path.join(ROOT, "scripts", "wine-run"))

import lkharness as h  # noqa: E402
import lkservers  # noqa: E402

BRAND = "演示服"
TOKEN = "DEMO-TOKEN-2026"
LAUNCHER_NAME = "演示登录器.exe"
KIT = os.path.join(ROOT, "build", "host", "tools", "launcher-kit")
DEMO = os.path.join(ROOT, "build", "demo")
ARTIFACTS = os.path.join(ROOT, "build", "win64", "artifacts")


def kit(*args):
    r = subprocess.run([KIT, *args], capture_output=True, text=True)
    if r.returncode != 0:
        raise SystemExit(f"launcher-kit {args[0]} failed:\n{r.stderr}")
    return r.stdout


class LoginServer:
    """A login server stand-in: accepts connections and closes them, as the
    launcher's probe only connects."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(16)
        self.port = self.sock.getsockname()[1]
        self.running = True
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while self.running:
            try:
                conn, _ = self.sock.accept()
                conn.close()
            except OSError:
                return

    def stop(self):
        self.running = False
        self.sock.close()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def prepare(site_port, login_port, closed_port):
    """Lays out build/demo: game/ (what a player has), release/ (what the
    operator publishes), site/ (the update site nginx serves)."""
    shutil.rmtree(DEMO, ignore_errors=True)
    game, release, site = (os.path.join(DEMO, d) for d in ("game", "release", "site"))
    os.makedirs(game)
    exe = os.path.join(game, LAUNCHER_NAME)
    kit("pack", "--launcher", h.build_path("launcher", "launcher.exe"), "--out", exe,
        "--brand", BRAND, "--token", TOKEN, "--skin", os.path.join(ROOT, "skins", "demo"))
    update_url = f"http://127.0.0.1:{site_port}/update.ini"
    with open(os.path.join(ROOT, "demo", "zones.txt.in"), encoding="utf-8") as f:
        zones = (f.read().replace("@LOGIN_PORT@", str(login_port)).replace("@CLOSED_PORT@", str(closed_port))
                 .replace("@UPDATE_URL@", update_url).replace("@SITE_PORT@", str(site_port)))
    write(os.path.join(DEMO, "zones.txt"), zones)
    kit("inf", os.path.join(DEMO, "zones.txt"), os.path.join(game, LAUNCHER_NAME[:-4] + ".inf"))
    os.makedirs(os.path.join(game, "bin"))
    shutil.copy(h.build_path("demo", "democlient.exe"), os.path.join(game, "bin", "DemoGame.exe"))
    write(os.path.join(game, "data", "公告.txt"), "版本 1\n")

    # The operator's release: the same launcher and configuration, and a new
    # version of one game file. That one file is the pending update.
    shutil.copytree(game, release)
    write(os.path.join(release, "data", "公告.txt"), "版本 2：演示更新已安装。\n")
    kit("publish", release, site, "--url", f"http://127.0.0.1:{site_port}/",
        "--launcher", LAUNCHER_NAME, "--manifest", "update.ini",
        "--remote-caption1", "远程协助", "--remote-path1", "远程软件\\远程控制1.exe",
        "--remote-caption2", "远程工具2", "--remote-path2", "远程软件\\远程控制2.exe")
    write(os.path.join(site, "notice.html"),
          "<!DOCTYPE html><html><head><meta charset='utf-8'>"
          "<meta http-equiv='X-UA-Compatible' content='IE=edge'></head>"
          "<body><h3>演示公告</h3><p>欢迎来到演示服。</p></body></html>")
    return game, exe


def play(window, game):
    """As a player: click the online zone, wait for its status, press start;
    the demo client records its command line, which must end with the
    brand's launch token."""
    ctl = h.controls(window)
    tree = ctl["TreeView1"]
    item = [i for i in h.tree_items(tree.hwnd) if i.text == "风云一区（在线）"][0]
    h.click_tree_item(window, tree, item)
    status = h.wait_until(lambda: (lambda t: t if t.startswith("运行中") else None)(
        h.controls(window)["Label2"].text), 15, 0.3, "the zone's status")
    print(f"demo: zone probed: {status}")
    h.click_control(window, ctl["Image2"])
    log = os.path.join(game, "bin", "democlient.log")
    h.wait_until(lambda: os.path.exists(log) and os.path.getsize(log) > 0, 30, 0.3, "the demo game client")
    with open(log, encoding="utf-8") as f:
        command_line = f.read()
    if not command_line.endswith(" " + TOKEN):
        raise RuntimeError(f"the client got {command_line!r}, not the launch token {TOKEN}")
    print(f"demo: the game client runs with {command_line}")
    box = h.wait_until(lambda: h.find_windows(title="演示游戏", visible=True), 20, 0.3, "the client's window")[0]
    screenshot(os.path.join(ARTIFACTS, "demo-client.png"))
    h.press_button(box, 1)


def display_usable():
    if not os.environ.get("DISPLAY"):
        return False
    return subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True).returncode == 0


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True, capture_output=True)
    return path


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--check", action="store_true", help="CI mode: answer, check, screenshot, exit")
    ap.add_argument("--headless", action="store_true", help="use Xvfb even when a display is there")
    opts = ap.parse_args()

    # Wine and (when needed) Xvfb through the project's harness. What the
    # demo starts it also stops; a wineserver or display that was already
    # there (the test command's) stays.
    env_script = os.path.join(ROOT, "scripts", "wine-env.sh")
    xvfb = None
    if opts.headless or not display_usable():
        for n in range(141, 190):
            if not os.path.exists(f"/tmp/.X11-unix/X{n}"):
                xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
                os.environ["DISPLAY"] = f":{n}"
                h.wait_until(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}"), 10, 0.1, "Xvfb")
                break
    wine_was_running = subprocess.run(
        ["bash", "-c", f". '{env_script}' && lk_wine_env && lk_wine_server_running"]).returncode == 0
    subprocess.run(["bash", "-c", f". '{env_script}' && lk_wine_start"], check=True)

    login = LoginServer()
    closed_port = lkservers.closed_port()
    site_dir = os.path.join(DEMO, "site")
    os.makedirs(site_dir, exist_ok=True)
    nginx = lkservers.Nginx(site_dir)
    launcher = None
    ok = True
    try:
        game, exe = prepare(nginx.port, login.port, closed_port)
        print(f"demo: launcher {exe}")
        print(f"demo: login server 127.0.0.1:{login.port}, closed port {closed_port}, "
              f"update site http://127.0.0.1:{nginx.port}/update.ini")
        launcher = h.start_wine(exe, cwd=game)
        main_window = h.wait_until(lambda: h.find_windows(cls="TForm2", title=BRAND, visible=True), 60,
                                   what="the launcher window")[0]
        if opts.check or xvfb:
            # The pending update asks first; CI answers OK.
            question = h.wait_until(lambda: h.find_windows(title="提示", visible=True), 60,
                                    what="the update question")[0]
            os.makedirs(ARTIFACTS, exist_ok=True)
            screenshot(os.path.join(ARTIFACTS, "demo-question.png"))
            h.press_button(question, 1)  # IDOK
            notice = os.path.join(game, "data", "公告.txt")
            h.wait_until(lambda: open(notice, encoding="utf-8").read().startswith("版本 2"), 60, 0.5,
                         "the update to be applied")
            h.wait_until(lambda: not os.path.isdir(os.path.join(game, "Patch")), 30, 0.5,
                         "the Patch folder to go")
            time.sleep(1)
            ctl = h.controls(main_window)
            zones = [i.text for i in h.tree_items(ctl["TreeView1"].hwnd)]
            expected = ["电信专区", "风云一区（在线）", "风云二区（维护）", "网通专区", "网通一区（在线）"]
            if zones != expected:
                raise RuntimeError(f"the zone tree shows {zones}, expected {expected}")
            status = h.controls(main_window)["Label3"].text
            if status != "更新完成。":
                raise RuntimeError(f"the status line reads {status!r}, expected '更新完成。'")
            shot = screenshot(os.path.join(ARTIFACTS, "demo-launcher.png"))
            print(f"demo: zones listed, update applied ({status}); screenshot {shot}")
            if opts.check:
                play(main_window, game)
            if opts.check:
                h.close_window(main_window)
                launcher.wait(60)
            else:
                print("demo: no display here, so the launcher runs under Xvfb; "
                      f"the screenshot {shot} shows it. Ending it now.")
                h.close_window(main_window)
                launcher.wait(60)
        else:
            print("demo: the launcher is on your display; close it to end the demo.")
            launcher.wait()
    except Exception as e:  # noqa: BLE001 - the demo reports and cleans up
        print(f"demo: failed: {e}", file=sys.stderr)
        ok = False
    finally:
        if launcher and launcher.poll() is None:
            launcher.kill()
        nginx.stop()
        login.stop()
        if not wine_was_running:
            subprocess.run(["bash", "-c", f". '{env_script}' && lk_wine_stop"])
        if xvfb:
            xvfb.kill()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
