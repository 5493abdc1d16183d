"""The page in headless Chromium against ltpweb and a real ltpd with demo data. One browser session
runs the scenarios in order; each leaves a screenshot in the output folder for people to look at."""
import argparse
import os
import sys
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions as EC
from selenium.webdriver.support.ui import Select, WebDriverWait

from servers import Client, PASSWORD, Servers

ARGS = None
INJECTED = 'x" onmouseover="alert(1)'


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
        cls.driver = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
        cls.driver.set_page_load_timeout(30)
        cls.wait = WebDriverWait(cls.driver, 15)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.servers.stop()

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
        self.driver.find_element(By.CSS_SELECTOR, f'#nav button[data-view="{view}"]').click()

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
        self.status_says("Added.")
        self.find("#users-filter").send_keys("grace")
        row = self.find('#users-table .vrow[data-user="grace"]')
        self.assertIn("Grace Hall", row.text)
        self.shot("2-user-added")

    def test_2b_keys_through_the_pages_address_builder(self):
        # Each key travels in a path built by the page itself; the server decodes it once.
        outcome = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const keys = ['ab%63', 'a/b', '100%', '\u540d\u524d', 'a b+c', 'x%2Fy'];
            (async () => {
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
        row = self.find("#users-table .vspacer .vrow")
        self.assertEqual(row.get_attribute("data-user"), INJECTED)
        self.assertIn(INJECTED, row.text)
        ActionChains(self.driver).move_to_element(row).click(row).perform()
        self.find("#user-detail h3")
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, "#user-detail h3").text, INJECTED)
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
        self.status_says("Program moved.")
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

    def test_7_sign_out(self):
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
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.out, exist_ok=True)
    result = unittest.main(argv=[sys.argv[0], "--failfast", *rest], exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
