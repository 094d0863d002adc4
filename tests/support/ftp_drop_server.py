"""An FTP server for tests that misbehaves on purpose.

--drop-after N: once an upload has brought N bytes, the session is cut off (control and data
connection reset, no reply), as when a server dies or the network goes away mid-transfer.
--no-mlsd: the server knows neither MLSD nor MLST, so clients must read LIST output.
--refuse-uploads: the user may not store files (STOR and APPE answer 550), as on a server
whose folder is read-only or full; folders can still be made.
"""

import argparse
import socket
import struct

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def reset_on_close(channel):
    """Makes closing the channel send a reset rather than an orderly shutdown."""
    try:
        channel.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except (AttributeError, OSError):
        pass


class DroppingDTPHandler(DTPHandler):
    drop_after = None

    def handle_read(self):
        super().handle_read()
        if (self.receive and self.drop_after is not None
                and self.tot_bytes_received >= self.drop_after and not self._closed):
            command_channel = self.cmd_channel
            reset_on_close(command_channel)
            reset_on_close(self)
            # Closing the session closes its data channel too.
            command_channel.close()
            self.close()

    # The base class reads through this alias, bound to its own handle_read.
    handle_read_event = handle_read


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--interface", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--directory", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--drop-after", type=int, default=None)
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--refuse-uploads", action="store_true")
    options = parser.parse_args()

    authorizer = DummyAuthorizer()
    # "w" is the permission to store files.
    permissions = "elradfmMT" if options.refuse_uploads else "elradfmwMT"
    authorizer.add_user(options.user, options.password, options.directory, perm=permissions)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    if options.drop_after is not None:
        class Dropping(DroppingDTPHandler):
            drop_after = options.drop_after

        Handler.dtp_handler = Dropping
    if options.no_mlsd:
        Handler.proto_cmds = {name: value for name, value in FTPHandler.proto_cmds.items()
                              if name not in ("MLSD", "MLST")}

    server = FTPServer((options.interface, options.port), Handler)
    try:
        server.serve_forever()
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
