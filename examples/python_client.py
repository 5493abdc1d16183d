#!/usr/bin/env python3
"""Lists the users of an LTP/1.0 server, looks one up, and says why when that fails.

    python3 examples/python_client.py HOST PORT USER PASSWORD
"""
import sys
from typing import Optional

import ltpadmin


def main(argv: list[str]) -> int:
    if len(argv) != 5:
        print(f"usage: {argv[0]} HOST PORT USER PASSWORD", file=sys.stderr)
        return 2
    host, port, user, password = argv[1], int(argv[2]), argv[3], argv[4]
    with ltpadmin.Client(host=host, port=port, user=user, password=password) as client:
        try:
            users = client.users()
            for u in users:
                print(u.user_id)
            first: Optional[ltpadmin.User] = client.find_user(users[0].user_id) if users else None
            if first is not None:
                print(first.to_dict())
        except ltpadmin.Refused as e:  # the server said no
            print(f"refused: {e.status} {e.reason}")
            return 1
        except ltpadmin.Error as e:  # transport, protocol, invalid input
            print(e)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
