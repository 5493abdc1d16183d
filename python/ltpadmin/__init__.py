"""A client for LTP/1.0 servers: ltpadmin.Client, ltpadmin.Pool, the records and the errors.

    with ltpadmin.Client(host="127.0.0.1", port=4120, user="admin", password="secret") as client:
        for user in client.users():
            print(user.user_id)
"""
from .errors import Error, InvalidInput, ProtocolError, Refused, TransportError
from ._ltpadmin import (Channel, Client, Global, Group, Lease, LogEvent, MtpServer, Pool,
                        Program, ProgramPath, ProgramStatistic, Schedule, SysInfo, TopProgram, User)

__all__ = ["Channel", "Client", "Error", "Global", "Group", "InvalidInput", "Lease", "LogEvent",
           "MtpServer", "Pool", "Program", "ProgramPath", "ProgramStatistic", "ProtocolError",
           "Refused", "Schedule", "SysInfo", "TopProgram", "TransportError", "User"]
