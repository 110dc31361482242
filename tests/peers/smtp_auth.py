"""The mail servers with logins, for the mail tests: each takes mail only from a user that logged
in (user "mailer", the password below) over an encrypted connection, and stores it as RawStore
does, in the plain server's folder.
    smtp_auth.py CERTS_DIR MAIL_DIR
  mail.test (127.0.0.1):587     STARTTLS, AUTH PLAIN and LOGIN
  mail.test (127.0.0.1):588     STARTTLS, AUTH LOGIN only
  mail.test (127.0.0.1):465     TLS from the first byte
  selfmail.test (127.0.0.251):587  STARTTLS with a self-signed certificate"""
import os
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

from smtp_store import RawStore

USER = b"mailer"
PASSWORD = b"Pa55-word.only-in-memory"


def authenticator(server, session, envelope, mechanism, auth_data):
    # Not "handled": aiosmtpd then answers a refusal with its own 535 line.
    return AuthResult(success=auth_data.login == USER and auth_data.password == PASSWORD,
                      handled=False)


def context(certs, name):
    made = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    made.load_cert_chain(os.path.join(certs, name + ".pem"), os.path.join(certs, name + ".key"))
    return made


def main():
    certs, folder = sys.argv[1], sys.argv[2]
    store = RawStore(folder)
    common = dict(authenticator=authenticator, auth_required=True)
    servers = [
        Controller(store, hostname="127.0.0.1", port=587, tls_context=context(certs, "mail"),
                   require_starttls=True, auth_require_tls=True, **common),
        Controller(store, hostname="127.0.0.1", port=588, tls_context=context(certs, "mail"),
                   require_starttls=True, auth_require_tls=True,
                   auth_exclude_mechanism=["PLAIN"], **common),
        # Encrypted from the first byte: aiosmtpd counts only STARTTLS as encryption.
        Controller(store, hostname="127.0.0.1", port=465, ssl_context=context(certs, "mail"),
                   auth_require_tls=False, **common),
        Controller(store, hostname="127.0.0.251", port=587, tls_context=context(certs, "self"),
                   require_starttls=True, auth_require_tls=True, **common),
    ]
    for server in servers:
        server.start()
    print("ready", flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    main()
