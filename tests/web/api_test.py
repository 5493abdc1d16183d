"""The JSON API end to end: ltpweb in front of a real ltpd with demo data."""
import argparse
import sys
import tempfile
import unittest

from servers import Client, Servers

ARGS = None
SERVERS = None

# One pass over each catalogue: add, read back, change, list, delete. (path, key, new record,
# change)
FAMILIES = [
    ("/api/users", "UserID", {"UserID": "webtest", "Text2": "Web Test"}, {"Text3": "QA"}),
    ("/api/groups", "GroupID", {"GroupID": "webgroup", "Text2": "Testers"}, {"Text2": "Tester"}),
    ("/api/programs", "ProgramID", {"Text2": "Web Show", "Real5": 30.0, "Number6": 0},
     {"Text3": "A show"}),
    ("/api/channels", "ChannelID", {"ChannelID": "webch", "Text2": "Web channel"},
     {"Text3": "note"}),
    ("/api/schedules", "ScheduleID",
     {"Text2": "main", "Number3": 2, "Real4": "2026-12-24T16:00:00Z",
      "Real5": "2026-12-24T16:30:00Z", "Number6": 1}, {"Number6": 3}),
    ("/api/globals", "Key", {"Key": "WebSetting", "Number2": 5, "Text3": "x"}, {"Number2": 6}),
]


class Api(unittest.TestCase):
    def setUp(self):
        self.c = Client(SERVERS.url)
        status, _, _ = self.c.sign_in()
        self.assertEqual(status, 200)

    def test_every_catalogue_round_trips(self):
        for path, key, record, change in FAMILIES:
            with self.subTest(path=path):
                status, created, _ = self.c.call("POST", path, record)
                self.assertEqual(status, 201, created)
                ident = str(created[key])
                status, got, _ = self.c.call("GET", f"{path}/{ident}")
                self.assertEqual(status, 200, got)
                for k, v in record.items():
                    if k != key:
                        self.assertEqual(got[k], v, k)
                status, _, _ = self.c.call("PUT", f"{path}/{ident}", {**got, **change})
                self.assertEqual(status, 200)
                status, got, _ = self.c.call("GET", f"{path}/{ident}")
                for k, v in change.items():
                    self.assertEqual(got[k], v, k)
                status, listed, _ = self.c.call("GET", path)
                self.assertIn(ident, [str(r[key]) for r in listed])
                self.assertEqual(self.c.call("DELETE", f"{path}/{ident}")[0], 200)
                self.assertEqual(self.c.call("GET", f"{path}/{ident}")[0], 404)

    def test_relations_rights_tree_and_server(self):
        c = self.c
        steps = [  # (method, path, body, expected status)
            ("PUT", "/api/users/frank/groups/editors", None, 404),  # no such user yet
            ("POST", "/api/users", {"UserID": "frank"}, 201),
            ("PUT", "/api/users/frank/groups/editors", None, 200),
            ("GET", "/api/groups/editors/users", None, 200),
            ("POST", "/api/programs/1/rights/users/frank", {"rights": 8}, 201),
            ("PUT", "/api/programs/1/rights/users/frank", {"rights": 9}, 200),
            ("GET", "/api/programs/1/rights/users/frank", None, 200),
            ("GET", "/api/programs/1/rights/users", None, 200),
            ("GET", "/api/programs/1/rights/groups", None, 200),
            ("GET", "/api/users/frank/permission/1", None, 200),
            ("POST", "/api/programs/1/rights/apply", None, 200),
            ("DELETE", "/api/programs/1/rights/users/frank", None, 200),
            ("DELETE", "/api/users/frank/groups/editors", None, 200),
            ("GET", "/api/users/frank/groups", None, 200),
            ("POST", "/api/programs/7/copy", {"to": 4}, 200),
            ("POST", "/api/programs/7/move", {"to": 1}, 200),
            ("GET", "/api/programs/tree", None, 200),
            ("GET", "/api/statistics/top?count=3&from=2020-01-01T00:00:00Z", None, 200),
            ("GET", "/api/users/alice/statistics?from=2020-01-01", None, 200),
            ("GET", "/api/programs/2/statistics", None, 200),
            ("POST", "/api/programs/5/paths", {"ProgramPath": "/media/x.ts"}, 201),
            ("GET", "/api/programs/5/paths", None, 200),
            ("DELETE", "/api/programs/5/paths?path=%2Fmedia%2Fx.ts", None, 200),
            ("GET", "/api/channels/main/schedules?from=2000-01-01&to=2100-01-01", None, 200),
            ("GET", "/api/schedules/1/channel", None, 200),
            ("GET", "/api/mtp-servers", None, 200),
            ("PUT", "/api/information", {"text": "Hello <b>there</b> | all"}, 200),
            ("GET", "/api/system", None, 200),
            ("GET", "/api/log", None, 200),
            ("DELETE", "/api/log", None, 200),
            ("GET", "/api/labels", None, 200),
            ("GET", "/api/schema", None, 200),
            ("DELETE", "/api/users/frank", None, 200),
        ]
        for method, path, body, expected in steps:
            with self.subTest(method=method, path=path):
                status, answer, _ = c.call(method, path, body)
                self.assertEqual(status, expected, answer)
        tree = c.call("GET", "/api/programs/tree")[1]
        news = next(p for p in tree if p["ProgramID"] == 1)
        self.assertIn(7, [p["ProgramID"] for p in news["children"]])
        self.assertEqual(c.call("GET", "/api/information")[1]["text"], "Hello <b>there</b> | all")

    def test_openapi_lists_the_routes_that_answer_in_the_vocabulary(self):
        doc = self.c.call("GET", "/api/openapi.json")[1]
        # A key of the seed for each placeholder, by the resource it follows.
        sample = {"users": "alice", "groups": "editors", "programs": "1", "channels": "main",
                  "schedules": "1", "mtp-servers": "mtp-east", "globals": "MaxSessions",
                  "group": "editors",
                  "name": "alice", "program": "1"}
        names = set()
        no_token = Client(SERVERS.url)
        no_token.sign_in()
        no_token.csrf = None
        for path, methods in doc["paths"].items():
            parts = path.split("/")
            filled = "/".join(sample[parts[i - 1]] if p == "{id}" else
                              sample.get(p[1:-1], p) if p.startswith("{") else p
                              for i, p in enumerate(parts))
            for method, op in methods.items():
                with self.subTest(method=method, path=path):
                    name = op["operationId"]
                    self.assertNotIn(name, names)
                    names.add(name)
                    if method == "get":
                        status, answer, _ = self.c.call("GET", filled)
                        self.assertNotEqual(status, 405, answer)
                        if status == 404:  # a record the seed lacks, never an unknown path
                            self.assertNotEqual(answer["reason"], "no such resource")
                    elif path not in ("/api/session",):
                        # Without the token a change is refused before anything is done; a
                        # path or method the server does not answer would say so instead.
                        status, answer, _ = no_token.call(method.upper(), filled, {})
                        self.assertEqual(status, 403, answer)
        # The names are the vocabulary's: the client's calls, the families' verbs.
        for name in ("users", "find_user", "modify_user", "delete_mtp_server", "sys_info",
                     "user_groups", "add_user_to_group", "program_statistics", "top_programs",
                     "apply_permission_to_descendants", "channel_mtp_server"):
            self.assertIn(name, names)
        self.assertTrue(doc["paths"]["/api/system"]["get"]["deprecated"])
        self.assertNotIn("deprecated", doc["paths"]["/api/sysinfo"]["get"])

    def test_earlier_paths_answer_as_the_new_ones(self):
        status, new, _ = self.c.call("GET", "/api/sysinfo")
        self.assertEqual(status, 200, new)
        status, old, _ = self.c.call("GET", "/api/system")
        self.assertEqual(status, 200, old)
        self.assertEqual(sorted(old), sorted(new))  # its counters move between two asks
        for path in ("/api/programs/1/apply-permission", "/api/programs/1/rights/apply"):
            self.assertEqual(self.c.call("POST", path)[0], 200, path)
        self.assertEqual(self.c.call("GET", "/api/mtp-servers/mtp-west")[1]["MTPSvrName"],
                         "mtp-west")
        self.assertEqual(self.c.call("GET", "/api/mtp-servers/news24")[0], 404)

    def test_failures_map_to_fitting_codes(self):
        cases = [  # (method, path, body, raw, status, error kind)
            ("GET", "/api/users/nobody", None, None, 404, "not_found"),
            ("POST", "/api/users", {"UserID": "alice"}, None, 409, "conflict"),
            ("POST", "/api/users", {"UserID": "bad|name"}, None, 422, "invalid_input"),
            ("POST", "/api/users", None, b"{not json", 400, "bad_request"),
            ("POST", "/api/users", {"UserID": 5}, None, 400, "bad_request"),
            ("POST", "/api/users", {"Nickname": "x"}, None, 400, "bad_request"),
            ("POST", "/api/users", None, b"[" * 5000, 400, "bad_request"),
            ("POST", "/api/users", None, b'{"UserID":"' + b"a" * (2 << 20) + b'"}', 413, "too_large"),
            ("POST", "/api/programs/1/move", {"to": 2 ** 40}, None, 400, "bad_request"),
            ("GET", "/api/programs/abc", None, None, 400, "bad_request"),
            ("GET", "/api/statistics/top?from=yesterday", None, None, 400, "bad_request"),
            ("GET", "/api/nothing-here", None, None, 404, "not_found"),
        ]
        for method, path, body, raw, status, kind in cases:
            with self.subTest(path=path, body=body if raw is None else raw[:20]):
                got, answer, _ = self.c.call(method, path, body, raw=raw)
                self.assertEqual(got, status, answer)
                self.assertEqual(answer["error"], kind)
                self.assertTrue(answer["reason"])
        got, answer, _ = self.c.call("POST", "/api/users", raw=b'{"UserID":"a"}', content_type="text/plain")
        self.assertEqual(got, 415)

    def test_sessions_csrf_and_headers(self):
        anonymous = Client(SERVERS.url)
        self.assertEqual(anonymous.call("GET", "/api/users")[0], 401)
        self.assertEqual(self.c.call("POST", "/api/groups", {"GroupID": "g"}, csrf=False)[0], 403)
        wrong = Client(SERVERS.url)
        wrong.jar = self.c.jar
        wrong.opener = self.c.opener
        wrong.csrf = "x" * 43
        self.assertEqual(wrong.call("DELETE", "/api/users/alice")[0], 403)
        status, body, headers = Client(SERVERS.url).sign_in("admin", "wrong")
        self.assertEqual((status, body["error"]), (401, "unauthorized"))
        status, _, headers = Client(SERVERS.url).sign_in()
        cookie = headers["Set-Cookie"]
        for flag in ("HttpOnly", "SameSite=Strict", "Path=/"):
            self.assertIn(flag, cookie)
        self.assertGreaterEqual(len(cookie.split(";")[0].split("=", 1)[1]), 40)
        csp = headers["Content-Security-Policy"]
        self.assertIn("frame-ancestors 'none'", csp)
        self.assertNotIn("unsafe-inline", csp)
        self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
        # Signed out, the cookie is worth nothing.
        self.assertEqual(self.c.call("DELETE", "/api/session")[0], 200)
        self.assertEqual(self.c.call("GET", "/api/users")[0], 401)

    def test_sign_in_is_throttled_per_address(self):
        # Run last among sign-ins (alphabetical order): it leaves this address throttled.
        statuses = [Client(SERVERS.url).sign_in("admin", "wrong")[0] for _ in range(6)]
        self.assertEqual(statuses[:5], [401] * 5)
        status, body, headers = Client(SERVERS.url).sign_in()
        self.assertEqual(status, 429)
        self.assertTrue(int(headers["Retry-After"]) > 0)

    def test_lists_page_search_and_sort(self):
        cases = [  # (query, status, total, keys of the page's items)
            ("?limit=2", 200, 5, ["alice", "bob"]),
            ("?offset=3&limit=10", 200, 5, ["dave", "erin"]),
            ("?sort=-UserID&limit=2", 200, 5, ["erin", "dave"]),
            ("?sort=Text3&limit=3", 200, 5, ["alice", "erin", "bob"]),  # Editorial, Editorial, Operations
            ("?q=OPERATIONS", 200, 2, ["bob", "carol"]),
            ("?q=%40example.org&offset=4", 200, 5, ["erin"]),
            ("?q=nobody-here", 200, 0, []),
            ("?offset=99", 200, 5, []),
            ("?limit=1001", 400, None, None),
            ("?offset=-1", 400, None, None),
            ("?limit=many", 400, None, None),
        ]
        for query, status, total, keys in cases:
            with self.subTest(query=query):
                got, page, _ = self.c.call("GET", "/api/users" + query)
                self.assertEqual(got, status, page)
                if status == 200:
                    self.assertEqual(page["total"], total)
                    self.assertEqual([u["UserID"] for u in page["items"]], keys)
        got, plain, _ = self.c.call("GET", "/api/users")
        self.assertIsInstance(plain, list)  # without paging the answer keeps its old shape
        self.c.call("PUT", "/api/information", {"text": "x"})  # a logged change, dated now
        newest = self.c.call("GET", "/api/log?sort=-Real2&limit=1")[1]
        self.assertEqual(newest["items"][0]["Text3"], "admin")
        self.assertEqual(self.c.call("GET", "/api/log?to=2000-01-01T00:00:00Z&limit=5")[1]["total"], 0)

    def test_activity_kept_bounded_and_across_restarts(self):
        with tempfile.TemporaryDirectory() as work:
            extra = ["--activity", f"{work}/activity.sqlite", "--activity-max", "3"]
            servers = Servers(ARGS.ltpd, ARGS.ltpweb, extra=extra)
            try:
                c = Client(servers.url)
                c.sign_in()
                for change in [("POST", "/api/groups", {"GroupID": "audit", "Text2": "one"}),
                               ("PUT", "/api/groups/audit", {"Text2": "two"}),
                               ("POST", "/api/programs/7/move", {"to": 4}),
                               ("DELETE", "/api/groups/audit", None),
                               ("PUT", "/api/users/nobody/groups/audit", None)]:  # refused: not kept
                    c.call(*change)
            finally:
                servers.stop()
            servers = Servers(ARGS.ltpd, ARGS.ltpweb, extra=extra)
            try:
                c = Client(servers.url)
                c.sign_in()
                page = c.call("GET", "/api/activity")[1]
            finally:
                servers.stop()
        self.assertEqual(page["total"], 3)  # the oldest is gone
        rows = [(r["who"], r["method"], r["path"]) for r in page["items"]]
        self.assertEqual(rows, [("admin", "DELETE", "/api/groups/audit"),
                                ("admin", "POST", "/api/programs/7/move"),
                                ("admin", "PUT", "/api/groups/audit")])
        delete, move, change = page["items"]
        self.assertEqual((delete["before"]["Text2"], delete["after"]), ("two", None))
        self.assertEqual((move["before"]["Number6"], move["after"]["Number6"]), (0, 4))
        self.assertEqual((change["before"]["Text2"], change["after"]["Text2"]), ("one", "two"))

    def test_openapi_names_every_operation(self):
        status, doc, _ = Client(SERVERS.url).call("GET", "/api/openapi.json")
        self.assertEqual(status, 200)
        self.assertTrue(doc["openapi"].startswith("3."))
        operations = sum(len(v) for v in doc["paths"].values())
        self.assertGreaterEqual(operations, 66)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--ltpd", required=True)
    parser.add_argument("--ltpweb", required=True)
    ARGS, rest = parser.parse_known_args()
    SERVERS = Servers(ARGS.ltpd, ARGS.ltpweb)
    try:
        result = unittest.main(argv=[sys.argv[0], *rest], exit=False).result
    finally:
        SERVERS.stop()
    sys.exit(0 if result.wasSuccessful() else 1)
