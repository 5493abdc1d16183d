"""ltpadmin from Python against ltpd: the families' life cycles, errors, dates, texts, threads."""
import os
import subprocess
import sys
import threading
from datetime import datetime, timedelta, timezone

import pytest

import ltpadmin
from fake_server import FakeServer, response

UTC = timezone.utc
NOON = datetime(2025, 1, 1, 12, 0, tzinfo=UTC)  # 45658.5 on the wire

# One row per family: a new record, the change to make, and the names of its methods. For
# families whose id the server gives, add returns it and it is set on the record.
FAMILIES = [
    ("user", ltpadmin.User(user_id="py-ann", text2="Ann", text5="é ü"), "text3", "Desk",
     "user_id"),
    ("group", ltpadmin.Group(group_id="py-crew", text2="Crew"), "text2", "The crew",
     "group_id"),
    ("channel", ltpadmin.Channel(channel_id="py-ch", text2="Py", text3="HD"), "text3", "SD",
     "channel_id"),
    ("global", ltpadmin.Global(key="PyKey", number2=-5, text3="v"), "number2", 2**31 - 1, "key"),
    ("mtp_server", ltpadmin.MtpServer(mtp_svr_name="py-mtp", text2="h", text3="main",
                                      number5=7000), "number6", 9, "mtp_svr_name"),
    ("program", ltpadmin.Program(text2="Py show", real5=42.5, number6=1), "text9", "Host",
     "program_id"),
    ("schedule", ltpadmin.Schedule(text2="main", number3=2, real4=NOON,
                                   real5=NOON + timedelta(hours=6)),
     "real5", NOON + timedelta(days=1), "schedule_id"),
]


def plural(family):
    return "mtp_servers" if family == "mtp_server" else family + "s"


@pytest.mark.parametrize("family,record,field,value,key", FAMILIES, ids=[f[0] for f in FAMILIES])
def test_life_cycle(client, family, record, field, value, key):
    new_id = getattr(client, "add_" + family)(record)
    if isinstance(new_id, int):
        setattr(record, key, new_id)
    find = getattr(client, "find_" + family)
    found = find(getattr(record, key))
    if family == "mtp_server":  # its number is the server's
        record.number4 = found.number4
    assert found == record
    assert found in getattr(client, plural(family))()

    setattr(record, field, value)
    getattr(client, "modify_" + family)(record)
    assert find(getattr(record, key)) == record

    getattr(client, "delete_" + family)(getattr(record, key))
    assert find(getattr(record, key)) is None


def test_records_are_plain_values():
    user = ltpadmin.User(user_id="u", text2="x")
    assert user == ltpadmin.User.from_dict(user.to_dict())
    assert user != ltpadmin.User(user_id="u")
    assert user != "u"
    assert repr(user).startswith("User(user_id='u', text2='x', text3=''")
    with pytest.raises(TypeError, match="no field 'name'"):
        ltpadmin.User(name="u")
    with pytest.raises(TypeError):
        hash(user)


@pytest.mark.parametrize("field,value,error", [
    ("number2", 2**31, ValueError),
    ("number2", -2**31 - 1, ValueError),
    ("number2", "1", TypeError),
    ("number2", True, TypeError),
    ("text3", b"bytes", TypeError),
    ("text3", None, TypeError),
])
def test_field_values_of_the_wrong_kind_are_refused(field, value, error):
    with pytest.raises(error, match="Global." + field):
        ltpadmin.Global(**{field: value})


@pytest.mark.parametrize("find,key", [
    ("find_user", "nobody"), ("find_group", "nobody"), ("find_program", 999999),
    ("find_channel", "nobody"), ("find_schedule", 999999), ("find_global", "nobody"),
    ("find_mtp_server", "nobody"), ("schedule_channel", 999999),
])
def test_lookup_of_what_is_missing_gives_none(client, find, key):
    assert getattr(client, find)(key) is None


def test_refused_has_status_and_reason(client):
    with pytest.raises(ltpadmin.Refused) as caught:
        client.add_user(ltpadmin.User(user_id="alice"))
    assert caught.value.status == 409
    assert caught.value.reason and caught.value.reason in str(caught.value)
    assert isinstance(caught.value, ltpadmin.Error)


def test_transport_error_has_kind(options):
    fake = FakeServer(b"")  # accepts, then closes without answering
    with ltpadmin.Client(**dict(options, port=fake.port)) as c:
        with pytest.raises(ltpadmin.TransportError) as caught:
            c.users()
    fake.close()
    assert caught.value.kind == "closed"
    with ltpadmin.Client(**dict(options, port=fake.port, connect_timeout=2.0)) as c:
        with pytest.raises(ltpadmin.TransportError) as caught:
            c.users()
    assert caught.value.kind == "connect" and caught.value.system_message


@pytest.mark.parametrize("call,argument,character", [
    (lambda c: c.add_user(ltpadmin.User(user_id="a|b")), "user_id", "|"),
    (lambda c: c.find_group("x<y"), "group_id", "<"),
    (lambda c: c.add_channel(ltpadmin.Channel(channel_id="c", text3="two\nlines")), "text3", "\n"),
])
def test_invalid_input_is_refused_before_sending(call, argument, character):
    # Nothing listens on this port: reaching the network would be a TransportError.
    with ltpadmin.Client(port=1, connect_timeout=1.0) as c:
        with pytest.raises(ltpadmin.InvalidInput) as caught:
            call(c)
        assert not c.connected()
    assert (caught.value.argument, caught.value.character) == (argument, character)


def test_protocol_error_for_an_add_without_its_number():
    fake = FakeServer(response("200 OK"))
    with ltpadmin.Client(port=fake.port) as c:
        with pytest.raises(ltpadmin.ProtocolError):
            c.add_program(ltpadmin.Program(text2="p"))
    fake.close()


def test_dates_on_the_wire_both_ways():
    fake = FakeServer(response("200 OK", b"<ScheduleID>7</ScheduleID>"))
    two_pm_in_paris = datetime(2025, 1, 1, 13, 0, tzinfo=timezone(timedelta(hours=1)))
    with ltpadmin.Client(port=fake.port) as c:
        assert c.add_schedule(ltpadmin.Schedule(real4=two_pm_in_paris, real5=NOON)) == 7
    fake.close()
    assert b"|45658.500000|45658.500000|" in fake.request

    fake = FakeServer(response("200 OK", b"<Schedule>3|main|0|45658.75|0|0</Schedule>\r\n"))
    with ltpadmin.Client(port=fake.port) as c:
        schedule = c.find_schedule(3)
    fake.close()
    assert schedule.real4 == datetime(2025, 1, 1, 18, 0, tzinfo=UTC)
    assert schedule.real4.tzinfo is UTC
    assert schedule.real5 == datetime(1899, 12, 30, tzinfo=UTC)


@pytest.mark.parametrize("call,row", [
    (lambda c, start, stop: c.top_programs(5, start, stop), ltpadmin.TopProgram),
    (lambda c, start, stop: c.program_statistics(2, start, stop), ltpadmin.ProgramStatistic),
    (lambda c, start, stop: c.user_program_statistics("alice", start, stop),
     ltpadmin.ProgramStatistic),
])
def test_statistics_take_their_period_as_datetimes(client, call, row):
    rows = call(client, datetime(2000, 1, 1, tzinfo=UTC), datetime(2100, 1, 1, tzinfo=UTC))
    assert rows and all(isinstance(r, row) for r in rows)
    assert call(client, datetime(2000, 1, 1, tzinfo=UTC), datetime(2000, 1, 2, tzinfo=UTC)) == []
    with pytest.raises(ValueError, match="naive"):
        call(client, datetime(2000, 1, 1), datetime(2100, 1, 1, tzinfo=UTC))


@pytest.mark.parametrize("value,error", [
    (datetime(2025, 1, 1, 12, 0), ValueError),  # naive: its zone would be a guess
    (datetime(3000, 1, 1, tzinfo=UTC), ValueError),
    (45658.5, TypeError),
])
def test_dates_that_cannot_be_converted_are_refused(value, error):
    with pytest.raises(error, match="Schedule.real4"):
        ltpadmin.Schedule(real4=value)


def test_a_wire_date_no_datetime_holds_is_an_error_and_repr_still_works():
    fake = FakeServer(response("200 OK", b"<Schedule>3|main|0|1000000000000.5|0|0</Schedule>\r\n"))
    with ltpadmin.Client(port=fake.port) as c:
        schedule = c.find_schedule(3)
    fake.close()
    with pytest.raises(ValueError, match="Schedule.real4"):
        schedule.real4
    assert "real4=1000000000000.5" in repr(schedule)


def test_texts_keep_every_byte(client):
    # Latin-1 bytes, not UTF-8, as a server with code page 1252 keeps them.
    text2 = b"caf\xe9 \xff".decode("utf-8", "surrogateescape")
    client.add_group(ltpadmin.Group(group_id="py-bytes", text2=text2))
    try:
        assert client.find_group("py-bytes").text2 == text2
        client.add_information("ünïcode & <b>")
        assert client.information() == "ünïcode & <b>"
    finally:
        client.delete_group("py-bytes")


def test_pool_serves_eight_threads(options):
    pool = ltpadmin.Pool(3, **options)
    failures = []

    def work():
        try:
            for _ in range(25):
                with pool.acquire() as c:
                    assert c.find_user("alice").user_id == "alice"
        except Exception as e:  # noqa: BLE001 - reported below
            failures.append(e)

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert not failures
    assert pool.size == 3

    lease = pool.acquire()
    c = lease.client
    lease.release()
    with pytest.raises(ltpadmin.Error, match="pool"):
        c.users()
    assert pool.try_acquire(0.0) is not None
    with pytest.raises(ValueError):
        ltpadmin.Pool(0)


def test_one_client_shared_by_threads_serves_them_in_turn(client):
    results = []

    def work():
        for _ in range(20):
            results.append(len(client.users()))

    threads = [threading.Thread(target=work) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    assert results == [results[0]] * 80


def test_options_read_back_as_given(options):
    with ltpadmin.Client(**options, code_page=932) as c:
        assert c.options() == dict(options, host="127.0.0.1", connect_timeout=10.0,
                                   code_page=932)
    with ltpadmin.Pool(2, **options).acquire() as c:
        assert c.options()["port"] == options["port"]


@pytest.mark.parametrize("options,message", [
    (dict(port=0), "port"), (dict(port=70000), "port"),
    (dict(request_timeout=0.0), "request_timeout"),
    (dict(connect_timeout=float("nan")), "connect_timeout"),
])
def test_options_out_of_range_are_refused(options, message):
    with pytest.raises(ValueError, match=message):
        ltpadmin.Client(**options)


def test_example_lists_the_users(options):
    example = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python_client.py")
    args = [sys.executable, example, "127.0.0.1", str(options["port"]), "admin"]
    listed = subprocess.run(args + [options["password"]], capture_output=True, text=True,
                            timeout=60)
    assert listed.returncode == 0 and listed.stdout.startswith("alice\n")
    refused = subprocess.run(args + ["wrong"], capture_output=True, text=True, timeout=60)
    assert refused.returncode == 1 and refused.stdout.startswith("refused: 401 ")
