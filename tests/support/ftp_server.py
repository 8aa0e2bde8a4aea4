"""A loopback FTP server for the upload tests and benchmark.

One user with full rights over the root folder, except in the folders named with --read-only
(listing and reading only) and, with --no-rename, the right to rename anywhere; with
--read-limit it reads uploads at that many bytes per second, as a slow link would. Every login,
transfer and refused command goes to --log.
"""

import argparse
import logging
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

FULL_RIGHTS = "elradfmwMT"
READ_RIGHTS = "elr"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--read-only", action="append", default=[])
    parser.add_argument("--no-rename", action="store_true")
    parser.add_argument("--read-limit", type=int, default=0)
    args = parser.parse_args()

    logger = logging.getLogger("pyftpdlib")
    handler = logging.FileHandler(args.log)
    handler.setFormatter(logging.Formatter("%(asctime)s %(message)s"))
    logger.addHandler(handler)
    logger.setLevel(logging.INFO)

    authorizer = DummyAuthorizer()
    rights = FULL_RIGHTS.replace("f", "") if args.no_rename else FULL_RIGHTS
    authorizer.add_user(args.user, args.password, args.root, perm=rights)
    for folder in args.read_only:
        path = os.path.join(args.root, folder)
        os.makedirs(path, exist_ok=True)
        authorizer.override_perm(args.user, path, READ_RIGHTS, recursive=True)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    if args.read_limit:
        class Throttled(ThrottledDTPHandler):
            read_limit = args.read_limit
            # Small reads, so that the link's speed is kept second by second.
            ac_in_buffer_size = 1024

        Handler.dtp_handler = Throttled
    # A refused login is answered at once instead of after the default three seconds.
    Handler.auth_failed_timeout = 0

    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
