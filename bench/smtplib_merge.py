"""The peer of the secure mail merge benchmark: Python's smtplib sends COUNT copies of one
message over one connection, with STARTTLS and a login, as Mailmerge does.
    smtplib_merge.py SERVER PORT USER PASSWORD COUNT"""
import smtplib
import ssl
import sys

server, port, user, password, count = sys.argv[1:6]
message = ("FROM: shop@bench.test\r\nTO: someone@bench.test\r\nSUBJECT: Benchmark\r\n"
           "A short message\r\nof two lines\r\n")
with smtplib.SMTP(server, int(port)) as smtp:
    smtp.ehlo(server)
    smtp.starttls(context=ssl.create_default_context())
    smtp.ehlo(server)
    smtp.login(user, password)
    for _ in range(int(count)):
        smtp.sendmail("shop@bench.test", ["someone@bench.test"], message)
