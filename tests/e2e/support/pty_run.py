#!/usr/bin/env python3
"""Runs a program on a pseudo-terminal, as a person at a terminal would.

usage: pty_run.py [--answer WAIT_FOR=REPLY]... -- PROGRAM ARGS...

Each answer waits until WAIT_FOR shows on the terminal, then types REPLY and Enter. Prints what
the terminal showed and exits with the program's exit code (124 when it did not end within 20 s).
"""
import os
import pty
import select
import sys
import time


def main():
    args = sys.argv[1:]
    answers = []
    while args and args[0] == "--answer":
        wait_for, _, reply = args[1].partition("=")
        answers.append((wait_for.encode(), reply.encode() + b"\r"))
        args = args[2:]
    if args and args[0] == "--":
        args = args[1:]
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(args[0], args)
    shown = b""
    looked = 0
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if answers and answers[0][0] in shown[looked:]:
            looked = shown.index(answers[0][0], looked) + len(answers[0][0])
            os.write(fd, answers.pop(0)[1])
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                break
            if not data:
                break
            shown += data
    else:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        sys.stdout.write(shown.decode(errors="replace"))
        return 124
    _, status = os.waitpid(pid, 0)
    sys.stdout.write(shown.decode(errors="replace"))
    return os.waitstatus_to_exitcode(status)


if __name__ == "__main__":
    sys.exit(main())
