"""The page in headless Chromium against ltpweb and a real ltpd with demo data. One browser session
runs the scenarios in order; each leaves a screenshot in the output folder for people to look at."""
import argparse
import json
import os
import sys
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import Select, WebDriverWait

from servers import Client, PASSWORD, Servers

ARGS = None
INJECTED = 'x" onmouseover="alert(1)'


def demo_schema(api):
    """The meaning of ltpd's demo fields in the agreed shape of /api/schema."""
    doc = api.call("GET", "/api/openapi.json")[1]
    labels = api.call("GET", "/api/labels")[1]
    paths = {"User": "/api/users", "Group": "/api/groups", "Program": "/api/programs",
             "Channel": "/api/channels", "Schedule": "/api/schedules", "Global": "/api/globals",
             "MTPSvr": "/api/mtp-servers"}
    extra = {("Program", "ProgramID"): {"assigned": True}, ("Schedule", "ScheduleID"): {"assigned": True},
             ("Program", "Real5"): {"kind": "minutes"}, ("Program", "Number6"): {"kind": "ref", "ref": "Program"},
             ("Schedule", "Text2"): {"kind": "ref", "ref": "Channel"},
             ("Schedule", "Number3"): {"kind": "ref", "ref": "Program"},
             ("Schedule", "Real5"): {"kind": "date", "none": 0},
             ("Schedule", "Number6"): {"kind": "bits", "bits": "days"}}
    records = {}
    for record, path in paths.items():
        props = doc["paths"][path]["post"]["requestBody"]["content"]["application/json"]["schema"]["properties"]
        fields = []
        for wire, p in props.items():
            kind = "date" if p.get("format") == "date-time" else {"integer": "integer", "number": "decimal"}.get(p.get("type"), "text")
            f = {"wire": wire, "name": wire.lower(), "kind": kind}
            if wire in labels.get(record, {}):
                f["label"] = labels[record][wire]
            if kind == "text":
                f["max"] = 254
            f.update(extra.get((record, wire), {}))
            if record == "Program" and wire in ("Text11", "Text12", "Text13"):
                f["hidden"] = True
            fields.append(f)
        records[record] = {"key": fields[0]["wire"], "display": "Text2" if record != "Global" else None, "fields": fields}
    records["SysInfo"] = {"key": None, "display": None, "fields": [
        {"wire": w, "name": w.lower(), "label": l, "kind": "decimal" if w.startswith("Real") else "integer"}
        for w, l in labels["SysInfo"].items()]}
    rights = [{"value": 1, "name": "read"}, {"value": 2, "name": "edit"},
              {"value": 4, "name": "schedule"}, {"value": 8, "name": "delete"}]
    days = [{"value": 1 << i, "name": n} for i, n in enumerate(["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"])]
    return {"records": records, "bits": {"rights": rights, "days": days}, "enums": {},
            "values": {k: {"kind": "bits", "bits": "rights"} for k in ("user_rights", "group_rights", "permission")},
            "units": {"SysInfo": {"Number1": "minutes"}}}


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.servers = Servers(ARGS.ltpd, ARGS.ltpweb, labels=ARGS.labels)
        # Plant what the scenarios look for: an overlap in this week's schedule of channel main
        # (the demo's 07:00-08:00 and a new 07:30-07:50 today) and a user with a hostile name.
        api = Client(cls.servers.url)
        api.sign_in()
        today = time.strftime("%Y-%m-%d", time.gmtime())
        status, body, _ = api.call("POST", "/api/schedules", {
            "Text2": "main", "Number3": 3, "Real4": f"{today}T07:30:00Z",
            "Real5": f"{today}T07:50:00Z", "Number6": 1})
        assert status == 201, body
        cls.planted = body["ScheduleID"]
        assert api.call("POST", "/api/users", {"UserID": INJECTED, "Text2": INJECTED})[0] == 201
        options = webdriver.ChromeOptions()
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1400,1000",
                  "--disable-dev-shm-usage", "--no-first-run", "--lang=en-US"):
            options.add_argument(a)
        options.binary_location = ARGS.chromium
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
        cls.driver.set_page_load_timeout(30)
        # The page redraws what it shows after each change: an element found may be replaced.
        cls.wait = WebDriverWait(cls.driver, 15, ignored_exceptions=[StaleElementReferenceException])
        if api.call("GET", "/api/schema")[0] == 404:
            # ltpweb without the schema endpoint: the page is given the agreed shape, built from
            # what the API says, so that the named forms are tested all the same.
            cls.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": (
                "const schemaText = %s; const realFetch = window.fetch;"
                "window.fetch = (u, o) => String(u) === '/api/schema' ? Promise.resolve(new Response("
                "schemaText, {status: 200, headers: {'Content-Type': 'application/json'}})) : realFetch(u, o);"
                ) % json.dumps(json.dumps(demo_schema(api)))})
        with open(ARGS.axe) as f:
            cls.axe = f.read()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.servers.stop()

    def errors(self):
        """The console's errors since the last call."""
        return [e["message"] for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def open(self, path):
        """Loads the page at an address and waits until its view has loaded."""
        Page.loads = getattr(Page, "loads", 0) + 1  # a new address, so the page loads afresh
        self.driver.get(f"{self.servers.url}/?load={Page.loads}#/{path}")
        view = path.split("/")[0]
        self.wait.until(lambda d: d.execute_script(
            f"const v = document.getElementById('view-{view}'); return v && !v.hidden && v.getAttribute('aria-busy') === 'false'"))

    def api(self):
        c = Client(self.servers.url)
        c.sign_in()
        return c

    def find_button(self, within, text):
        return self.wait.until(lambda d: next((b for b in d.find_elements(By.CSS_SELECTOR, f"{within} button")
                                               if b.text == text and b.is_displayed()), None))

    def keys(self, *keys):
        ActionChains(self.driver).send_keys(*keys).perform()

    def tab_to(self, test, limit=60):
        """Presses Tab until the focused element passes test (a script on `e`)."""
        for _ in range(limit):
            self.keys(Keys.TAB)
            if self.driver.execute_script(f"const e = document.activeElement; return !!({test});"):
                return self.driver.switch_to.active_element
        raise AssertionError(f"Tab never reached an element where {test}")

    def shot(self, name):
        self.driver.save_screenshot(os.path.join(ARGS.out, f"{name}.png"))

    def find(self, css):
        try:
            return self.wait.until(EC.visibility_of_element_located((By.CSS_SELECTOR, css)))
        except TimeoutException:
            self.shot(f"failed-{self._testMethodName}")
            raise AssertionError(f"nothing visible matches {css}") from None

    def status_says(self, text):
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "status"), text))

    def nav(self, view):
        self.driver.find_element(By.CSS_SELECTOR, f'#nav a[data-view="{view}"]').click()

    def test_1_sign_in(self):
        self.driver.get(self.servers.url + "/")
        self.find("#signin-user").send_keys("admin")
        self.find("#signin-password").send_keys(PASSWORD + Keys.ENTER)
        self.find("#whoami-name")
        self.assertEqual(self.driver.find_element(By.ID, "whoami-name").text, "admin")
        self.find('#users-table .vrow[data-user="alice"]')
        self.shot("1-signed-in")

    def test_2_users_list_and_add(self):
        rows = self.driver.find_elements(By.CSS_SELECTOR, "#users-table .vspacer .vrow")
        self.assertGreater(len(rows), 3)
        self.find("#users-add").click()
        self.find('#dialog input[name="UserID"]').send_keys("grace")
        self.driver.find_element(By.CSS_SELECTOR, '#dialog input[name="Text2"]').send_keys("Grace Hall")
        self.shot("2-add-user-dialog")
        self.driver.find_element(By.ID, "dialog-ok").click()
        self.status_says("User grace added.")
        self.find("#users-filter").send_keys("grace")
        self.wait.until(lambda d: d.find_element(By.ID, "users-table").get_attribute("data-q") == "grace")
        row = self.find('#users-table .vrow[data-user="grace"]')
        self.assertIn("Grace Hall", row.text)
        self.shot("2-user-added")

    def test_2b_keys_through_the_pages_address_builder(self):
        # Each key travels in a path built by the page itself; the server decodes it once.
        outcome = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const keys = ['ab%63', 'a/b', '100%', '\u540d\u524d', 'a b+c', 'x%2Fy'];
            (async () => {
              // The page's own module: the same instance, so the same session and token.
              const { api, enc } = await import('/js/core.js');
              const seen = [];
              await api('POST', '/api/users', { UserID: 'abc' });
              for (const k of keys) {
                await api('POST', '/api/users', { UserID: k });
                const got = await api('GET', `/api/users/${enc(k)}`);
                await api('DELETE', `/api/users/${enc(k)}`);
                seen.push(got.UserID);
              }
              const abc = await api('GET', '/api/users/abc');
              await api('DELETE', '/api/users/abc');
              return { seen, keys, abc: abc.UserID };
            })().then(done, (e) => done({ error: String(e) }));""")
        self.assertNotIn("error", outcome, outcome)
        self.assertEqual(outcome["seen"], outcome["keys"])
        self.assertEqual(outcome["abc"], "abc")

    def test_3_injected_name_stays_text(self):
        box = self.find("#users-filter")
        box.clear()
        box.send_keys("onmouseover")
        self.wait.until(lambda d: d.find_element(By.ID, "users-table").get_attribute("data-q") == "onmouseover")
        row = self.wait.until(lambda d: next((r for r in d.find_elements(By.CSS_SELECTOR, "#users-table .vspacer .vrow")
                                              if r.get_attribute("data-user") == INJECTED), None))
        self.assertEqual(row.get_attribute("data-user"), INJECTED)
        self.assertIn(INJECTED, row.text)
        ActionChains(self.driver).move_to_element(row).click(row).perform()
        self.wait.until(lambda d: d.find_element(By.CSS_SELECTOR, "#user-detail h3").text == INJECTED)
        hostile = self.driver.execute_script(
            "return document.querySelectorAll('[onmouseover]').length")
        self.assertEqual(hostile, 0)
        with self.assertRaises(Exception):
            self.driver.switch_to.alert.text  # no alert was raised
        self.shot("3-injected-name")

    def test_4_move_program_by_drag_and_drop(self):
        self.nav("programs")
        source = self.find('#tree .node[data-program="7"]')  # Weather, at the top level
        target = self.find('#tree .node[data-program="4"]')  # Sport
        ActionChains(self.driver).click_and_hold(source).move_by_offset(5, 5) \
            .move_to_element(target).pause(0.2).release(target).perform()
        self.status_says("Program Weather moved.")
        moved = self.find('#tree .node[data-program="4"] ~ ul .node[data-program="7"]')
        self.assertEqual(moved.text, "Weather")
        self.find('#tree .node[data-program="1"]').click()  # News: its rights beside the tree
        self.wait.until(EC.text_to_be_present_in_element((By.CSS_SELECTOR, "#program-detail h3"), "News"))
        self.shot("4-tree-after-move")

    def test_5_week_marks_the_overlap(self):
        self.nav("week")
        Select(self.find("#week-channel")).select_by_value("main")
        slot = self.find(f'#timeline .slot[data-schedule="{self.planted}"]')
        self.assertIn("overlap", slot.get_attribute("class"))
        self.assertIn("overlap", slot.text)
        marked = self.driver.find_elements(By.CSS_SELECTOR, "#timeline .slot.overlap")
        self.assertGreaterEqual(len(marked), 2)  # both sides of the overlap
        self.assertIn("UTC", self.driver.find_element(By.ID, "week-zone").text)
        self.shot("5-week-timeline")

    def test_6_top_programs_chart_draws(self):
        self.nav("stats")
        self.find("#stats-from").send_keys("01012020")
        self.driver.find_element(By.CSS_SELECTOR, "#stats-form button[type=submit]").click()
        painted = self.wait.until(lambda d: d.execute_script("""
            const c = document.getElementById('chart-top');
            if (!c) return 0;
            const px = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let n = 0;
            for (let i = 3; i < px.length; i += 4) if (px[i] !== 0) n++;
            return n;"""))
        self.assertGreater(painted, 1000)
        self.shot("6-top-programs-chart")

    def test_8a_detail_after_edit_and_delete(self):
        self.api().call("POST", "/api/users", {"UserID": "henry", "Text2": "Henry Old"})
        self.open("users/henry")
        self.find("#user-detail h3")
        self.find_button("#user-detail", "Edit").click()
        name = self.find('#dialog input[name="Text2"]')
        name.clear()
        name.send_keys("Henry New" + Keys.ENTER)
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "user-detail"), "Henry New"))
        self.assertNotIn("Henry Old", self.driver.find_element(By.ID, "user-detail").text)
        self.find('#users-table .vrow[data-user="henry"]')  # the list is fresh too
        self.find_button("#user-detail", "Delete user henry").click()
        ok = self.find("#confirm-ok")
        self.assertEqual(ok.text, "Delete user henry")
        ok.click()
        self.wait.until(lambda d: d.current_url.endswith("#/users"))
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "user-detail"), "Choose a user"))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "#user-detail button"), [])
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, '#users-table .vrow[data-user="henry"]'), [])

    def test_8b_url_after_click_back_and_reload(self):
        self.open("groups")
        self.find('#groups-list [data-group="editors"]').click()
        self.wait.until(lambda d: d.current_url.endswith("#/groups/editors"))
        self.find_button("#group-detail", "Remove alice")
        self.driver.refresh()
        self.wait.until(EC.text_to_be_present_in_element((By.CSS_SELECTOR, "#group-detail h3"), "editors"))
        self.nav("users")
        self.find('#users-table .vrow[data-user="bob"]').click()
        self.wait.until(lambda d: d.current_url.endswith("#/users/bob"))
        self.wait.until(EC.text_to_be_present_in_element((By.CSS_SELECTOR, "#user-detail h3"), "bob"))
        self.driver.back()
        self.wait.until(lambda d: d.current_url.endswith("#/users"))
        self.driver.back()
        self.wait.until(EC.text_to_be_present_in_element((By.CSS_SELECTOR, "#group-detail h3"), "editors"))

    def test_8c_keyboard_adds_a_user(self):
        self.open("users")
        self.driver.execute_script("document.activeElement.blur()")
        self.tab_to("e.id === 'users-add'").send_keys(Keys.ENTER)
        self.wait.until(lambda d: d.switch_to.active_element.get_attribute("name") == "UserID")
        self.keys("ivy", Keys.TAB, "Ivy Keys", Keys.ENTER)
        self.wait.until(lambda d: d.current_url.endswith("#/users/ivy"))
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "user-detail"), "Ivy Keys"))
        # Arrow keys walk the list from one Tab stop; focus stays on a row.
        row = self.find('#users-table .vrow[data-user="alice"]')
        self.driver.execute_script("arguments[0].focus()", row)
        self.keys(Keys.ARROW_DOWN)
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("data-user"), "bob")
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, '#users-table .vrow[tabindex="0"]')), 1)
        # Past the first page the server sends: End reaches the last user, and scrolling the list
        # away and back keeps focus on that row.
        api = self.api()
        for i in range(120):
            api.call("POST", "/api/users", {"UserID": f"zz{i:03}"})
        self.open("users")
        row = self.find('#users-table .vrow[data-user="alice"]')
        self.driver.execute_script("arguments[0].focus()", row)
        self.keys(Keys.END)
        focused = lambda d: d.execute_script("return document.activeElement.dataset.user")
        self.wait.until(lambda d: focused(d) == "zz119")
        self.driver.execute_script("document.getElementById('users-viewport').scrollTop = 0")
        self.find('#users-table .vrow[data-user="alice"]')
        self.assertEqual(focused(self.driver), "zz119")
        self.keys(Keys.PAGE_UP)
        self.wait.until(lambda d: focused(d) == "zz109")
        for i in range(120):
            api.call("DELETE", f"/api/users/zz{i:03}")

    def test_8d_keyboard_moves_a_program_and_undo_puts_it_back(self):
        self.open("programs")
        self.driver.execute_script("document.activeElement.blur()")
        self.tab_to("e.getAttribute('role') === 'treeitem'")
        for _ in range(20):
            if self.driver.switch_to.active_element.get_attribute("data-program") == "9":
                break
            self.keys(Keys.ARROW_DOWN)
        self.keys(Keys.ENTER)  # Story Time, under Kids
        self.wait.until(EC.text_to_be_present_in_element((By.CSS_SELECTOR, "#program-detail h3"), "Story Time"))
        self.tab_to("e.textContent === 'Move to…'").send_keys(Keys.ENTER)
        target = self.wait.until(lambda d: d.switch_to.active_element if d.switch_to.active_element.tag_name == "select" else None)
        Select(target).select_by_value("0")  # keyboard on a select is the browser's own
        self.keys(Keys.TAB, Keys.TAB, Keys.ENTER)
        top = '#tree > li[data-program="9"]'
        self.find(top)
        self.find(".toast:last-child .undo").click()
        self.find('#tree li[data-program="8"] li[data-program="9"]')
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, top), [])
        # A copy is undone by deleting the copies, and only them.
        copies = '#tree li[data-program="4"] > ul > li .node'
        count = lambda d: [n.text for n in d.find_elements(By.CSS_SELECTOR, copies)].count("Story Time")
        self.find_button("#program-detail", "Copy to…").click()
        Select(self.find('#dialog select[name="to"]')).select_by_value("4")
        self.find("#dialog-ok").click()
        self.wait.until(lambda d: count(d) == 1)
        self.find(".toast:last-child .undo").click()
        self.wait.until(lambda d: count(d) == 0)
        self.find('#tree li[data-program="8"] li[data-program="9"]')

    def test_8e_keyboard_deletes_a_schedule(self):
        monday = self.driver.execute_script(
            "const d = new Date(); d.setDate(d.getDate() - (d.getDay() + 6) % 7);"
            "return `${d.getFullYear()}-${String(d.getMonth() + 1).padStart(2, '0')}-${String(d.getDate()).padStart(2, '0')}`")
        self.open(f"week/main/{monday}")
        self.driver.execute_script("document.activeElement.blur()")
        self.tab_to(f"e.dataset.schedule === '{self.planted}'").send_keys(Keys.ENTER)
        self.tab_to(f"e.textContent === 'Delete schedule {self.planted}'").send_keys(Keys.ENTER)
        self.wait.until(lambda d: d.switch_to.active_element.get_attribute("id") == "confirm-ok")
        self.keys(Keys.ENTER)
        self.wait.until(lambda d: not d.find_elements(By.CSS_SELECTOR, f'#timeline .slot[data-schedule="{self.planted}"]'))
        self.shot("8e-schedule-deleted")

    def test_8f_named_values_days_rights_and_pickers(self):
        self.open("week/main")
        self.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#timeline .slot[data-schedule="2"]')) == 7)
        self.find('#timeline .slot[data-schedule="2"]').click()
        self.find("#dialog fieldset.days")
        days = self.driver.find_elements(By.CSS_SELECTOR, '#dialog fieldset.days input[type=checkbox]')
        self.assertEqual([d.is_selected() for d in days], [True] * 7)  # days 127
        picker = Select(self.find('#dialog select[name="Number3"]'))
        self.assertEqual(picker.first_selected_option.text, "Weather (7)")
        self.assertNotIn("1899", self.driver.find_element(By.ID, "dialog").text)
        self.shot("8f-schedule-dialog")
        self.find("#dialog-cancel").click()
        self.open("programs/4")
        self.find_button("#program-detail", "Add program below").click()
        self.find('#dialog input[name="Text2"]')
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, '#dialog [name="ProgramID"]'), [])
        # The limit ltpd's schema gives a program's name (its record holds 49 bytes).
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, '#dialog input[name="Text2"]').get_attribute("maxlength"), "49")
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, '#dialog [name="Text11"]'), [])
        self.assertEqual(Select(self.driver.find_element(By.CSS_SELECTOR, '#dialog select[name="Number6"]')).first_selected_option.text, "Sport (4)")
        self.find("#dialog-cancel").click()
        rights = self.find("#program-detail fieldset.bits")
        self.assertEqual([b.text.strip() for b in rights.find_elements(By.CSS_SELECTOR, "label")],
                         ["read", "edit", "schedule", "delete"])
        self.assertIn("read, edit, schedule", self.driver.find_element(By.ID, "program-detail").text)  # editors: 7

    def test_8g_activity_lists_the_changes(self):
        self.open("activity")
        self.find("#activity table")
        box = self.find("#activity-filter")
        for search, change in [("henry", "Delete a user"), ("henry", "Henry New"), ("ivy", "Add a user"),
                               ("move", "Move a program"), (f"schedules/{self.planted}", "Delete a schedule")]:
            box.clear()
            box.send_keys(search)
            self.wait.until(EC.text_to_be_present_in_element((By.ID, "activity"), change))
        box.clear()
        # The move and its undo: the parent before and after.
        self.find("#activity-filter").send_keys("programs/9/move")
        self.wait.until(lambda d: "2 of 2" in d.find_element(By.ID, "activity-count").text
                        or "1–2 of 2" in d.find_element(By.ID, "activity-count").text)
        self.shot("8g-activity")

    def test_8h_every_view_in_every_state(self):
        inject = self.axe + "; return true;"
        cases = []  # (signed in, view, width, scheme)
        # Each view wide in light and narrow in dark; the views with most colour also the other way
        # round, so that each width is seen in each scheme without walking every pairing.
        every = [(1400, "light"), (500, "dark")]
        crossed = every + [(1400, "dark"), (500, "light")]
        for signed, view, states in [
                (True, "users", every), (True, "users/alice", crossed), (True, "groups/editors", every),
                (True, "programs/1", crossed), (True, "week/main", crossed), (True, "stats", crossed),
                (True, "server", every), (True, "activity", every),
                (False, "signin", crossed), (False, "users/alice", every)]:
            for width, scheme in states:
                cases.append((signed, view, width, scheme))
        self.errors()
        for signed, view, width, scheme in cases:
            if not signed and self.driver.find_elements(By.CSS_SELECTOR, "#whoami:not([hidden])"):
                self.driver.find_element(By.ID, "signout").click()
                self.find("#signin-form")
            with self.subTest(signed=signed, view=view, width=width, scheme=scheme):
                self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                    "width": width, "height": 900, "deviceScaleFactor": 1, "mobile": False})
                self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                    "features": [{"name": "prefers-color-scheme", "value": scheme}]})
                if signed:
                    self.open(view)
                else:
                    self.driver.get(f"{self.servers.url}/?{width}{scheme}#/{view}")
                    self.find("#signin-user")
                    self.assertFalse(self.driver.find_element(By.ID, "nav").is_displayed())
                    self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "signin-user")
                name = f"view-{'in' if signed else 'out'}-{view.replace('/', '-')}-{width}-{scheme}"
                self.shot(name)
                wide = self.driver.execute_script("return document.documentElement.scrollWidth - window.innerWidth")
                self.assertLessEqual(wide, 0, "the page scrolls sideways")
                self.driver.execute_script(inject)
                found = self.driver.execute_async_script(
                    "const done = arguments[arguments.length - 1];"
                    "axe.run(document, {resultTypes: ['violations']}).then((r) => done(r.violations"
                    ".filter((v) => v.impact === 'serious' || v.impact === 'critical')"
                    ".map((v) => v.id + ': ' + v.nodes.map((n) => n.target.join(' ')).slice(0, 3).join(', '))));")
                self.assertEqual(found, [])
                self.assertEqual(self.errors(), [])
        self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
        self.find("#signin-user").send_keys("admin")
        self.find("#signin-password").send_keys(PASSWORD + Keys.ENTER)
        self.find("#whoami-name")

    def test_8k_groups_members_settings_and_charts(self):
        self.open("groups")
        self.find("#groups-add").click()
        self.find('#dialog input[name="GroupID"]').send_keys("night")
        self.driver.find_element(By.CSS_SELECTOR, '#dialog input[name="Text2"]').send_keys("Night shift" + Keys.ENTER)
        self.wait.until(lambda d: d.current_url.endswith("#/groups/night"))
        self.find("#group-detail .toolbar input").send_keys("carol")
        self.find_button("#group-detail", "Add member").click()
        self.find_button("#group-detail", "Remove carol").click()
        self.assertEqual(self.find("#confirm-ok").text, "Remove carol from night")
        self.find("#confirm-ok").click()
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "group-detail"), "No members yet"))
        self.find(".toast:last-child .undo").click()  # the membership comes back
        self.find_button("#group-detail", "Remove carol")
        self.find_button("#group-detail", "Delete group night").click()
        self.assertIn("1 membership", self.find("#confirm-text").text)
        self.find("#confirm-ok").click()
        self.wait.until(lambda d: d.current_url.endswith("#/groups"))
        self.wait.until(lambda d: not d.find_elements(By.CSS_SELECTOR, '#groups-list [data-group="night"]'))
        # A setting deleted and brought back by its undo, whole.
        self.open("server")
        self.find("#globals button[aria-label='Delete setting RetentionDays']").click()
        self.find("#confirm-ok").click()
        self.wait.until(lambda d: "RetentionDays" not in d.find_element(By.ID, "globals").text)
        self.find(".toast:last-child .undo").click()
        self.wait.until(EC.text_to_be_present_in_element((By.ID, "globals"), "Days usage figures are kept"))
        # A failed lookup leaves no chart from before behind.
        self.open("stats/users/alice")
        self.find("#chart-usage")
        self.open("stats/users/nobody")
        self.assertFalse(self.driver.find_element(By.ID, "chart-usage").is_displayed())
        self.find("#view-stats .stale-banner")

    def test_8z_out_of_date_when_the_server_is_gone(self):
        self.open("users")
        self.find('#users-table .vrow[data-user="alice"]')
        self.servers.ltpd.terminate()
        self.servers.ltpd.wait(timeout=10)
        self.find("#users-filter").send_keys("a")
        banner = self.find("#view-users .stale-banner")
        self.assertIn("Out of date", banner.text)
        self.find('#users-table .vrow[data-user="alice"]').click()  # kept, marked, and safe to click
        self.wait.until(lambda d: d.current_url.endswith("#/users/alice"))
        self.wait.until(lambda d: d.find_element(By.ID, "view-users").get_attribute("aria-busy") == "false")
        self.assertIn("LTP server", self.find("#view-users .stale-banner").text)
        self.assertEqual([e for e in self.errors() if "Failed to load resource" not in e], [])
        self.find_button("#view-users .stale-banner", "Retry")
        self.shot("8z-out-of-date")

    def test_8j_value_forms(self):
        """The page's own reading of values, run in the page: day sets, repeats and CSV cells."""
        days = [{"value": 1 << i, "name": n} for i, n in enumerate(["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"])]
        rights = [{"value": 1, "name": "read"}, {"value": 2, "name": "edit"}]
        bits_cases = [  # (bits, value, text)
            (days, 31, "Mon-Fri"), (days, 127, "Mon-Sun"), (days, 96, "Sat, Sun"), (days, 0, "none"),
            (days, 1 + 4 + 8 + 16 + 64, "Mon, Wed-Fri, Sun"), (days, 3, "Mon, Tue"),
            (rights, 3, "read, edit"), (rights, 5, "read, 4"), (None, 15, "15")]
        monday = "2026-12-07T00:00"
        repeat_cases = [  # (start, stop, days, weekdays drawn in the week of monday)
            ("2026-12-08T08:00", "2026-12-08T08:06", 127, [0, 1, 2, 3, 4, 5, 6]),
            ("2026-12-08T07:00", "2026-12-08T08:00", 31, [0, 1, 2, 3, 4]),
            ("2026-01-05T20:00", "2026-01-05T21:45", 64, [6]),  # a Sunday schedule, on Sunday
            ("2026-12-09T19:00", "2026-12-09T19:30", 0, [2]),  # one-off: its own day only
            ("2026-12-20T19:00", "2026-12-20T19:30", 0, []),  # one-off in another week
        ]
        csv_cases = [("plain", "plain"), ("a,b", '"a,b"'), ('say "hi"', '"say ""hi"""'),
                     ("=cmd()", "'=cmd()"), ("-1+2", "'-1+2"), ("two\nlines", '"two\nlines"'),
                     (None, ""), ({"Text2": "x"}, '"{""Text2"":""x""}"')]
        got = self.driver.execute_async_script("""
            const [bitsCases, repeatCases, csvCases, monday, done] = arguments;
            Promise.all([import('/js/schema.js'), import('/js/week.js'), import('/js/activity.js')]).then(([s, w, a]) => done({
              bits: bitsCases.map(([b, v]) => s.bitsText(b, v)),
              repeats: repeatCases.map(([a0, b0, d]) => w.occurrences(
                {Real4: new Date(a0).toISOString(), Real5: new Date(b0).toISOString(), Number6: d}, new Date(monday)).map((o) => o.day)),
              csv: csvCases.map(([v]) => a.csvCell(v))}));""", bits_cases, repeat_cases, csv_cases, monday)
        self.assertEqual(got["bits"], [c[2] for c in bits_cases])
        self.assertEqual(got["repeats"], [c[3] for c in repeat_cases])
        self.assertEqual(got["csv"], [c[1] for c in csv_cases])

    def test_9_sign_out(self):
        self.driver.find_element(By.ID, "signout").click()
        self.find("#signin-form")
        self.status_says("Signed out.")
        status = self.driver.execute_script(
            "return fetch('/api/users', {credentials: 'same-origin'}).then(r => r.status)")
        self.assertEqual(status, 401)
        self.shot("7-signed-out")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--ltpd", required=True)
    parser.add_argument("--ltpweb", required=True)
    parser.add_argument("--labels")
    parser.add_argument("--out", required=True)
    parser.add_argument("--axe", required=True, help="axe.min.js (scripts/deps installs it)")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.out, exist_ok=True)
    result = unittest.main(argv=[sys.argv[0], "--failfast", *rest], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
