"""The peer of the mail merge benchmarks: Python's smtplib sends COUNT copies of one message over
one connection, as Mailmerge does; with a USER, after STARTTLS and a login, otherwise after a
plain HELO. smtplib_merge.py SERVER PORT COUNT [USER PASSWORD]"""
import smtplib
import ssl
import sys

server, port, count = sys.argv[1:4]
message = ("FROM: shop@bench.test\r\nTO: someone@bench.test\r\nSUBJECT: Benchmark\r\n"
           "A short message\r\nof two lines\r\n")
with smtplib.SMTP(server, int(port)) as smtp:
    if len(sys.argv) > 5:
        smtp.ehlo(server)
        smtp.starttls(context=ssl.create_default_context())
        smtp.ehlo(server)
        smtp.login(sys.argv[4], sys.argv[5])
    else:
        smtp.helo(server)
    for _ in range(int(count)):
        smtp.sendmail("shop@bench.test", ["someone@bench.test"], message)
