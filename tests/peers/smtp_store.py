"""An aiosmtpd handler for the mail tests: every message is stored as it arrived, in order, as
N.from, N.to and N.data (the DATA bytes after the end marker and dot-stuffing are taken off)."""
import fcntl
import os
import threading


class RawStore:
    def __init__(self, folder):
        self.folder = folder
        self.lock = threading.Lock()
        os.makedirs(folder, exist_ok=True)

    @classmethod
    def from_cli(cls, parser, *args):
        if len(args) != 1:
            parser.error("RawStore takes the folder to store messages in")
        return cls(args[0])

    async def handle_DATA(self, server, session, envelope):
        # The plain server and the ones with logins are separate processes sharing the folder.
        with self.lock, open(os.path.join(self.folder, ".lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            number = len([n for n in os.listdir(self.folder) if n.endswith(".data")])
            base = os.path.join(self.folder, str(number))
            with open(base + ".from", "w") as f:
                f.write(envelope.mail_from or "")
            with open(base + ".to", "w") as f:
                f.write("\n".join(envelope.rcpt_tos))
            with open(base + ".data.part", "wb") as f:
                f.write(envelope.original_content)
            os.rename(base + ".data.part", base + ".data")
        return "250 Message accepted for delivery"
