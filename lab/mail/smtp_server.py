#!/usr/bin/python3
"""The lab's SMTP server: the board's mail provider as the program sees it when it posts.

It takes AUTH PLAIN and AUTH LOGIN over a plain connection, knows one account, and hands every mail it
accepts to Dovecot's LMTP socket for the board's mailbox. Like the big Chinese providers, it wants the
sender to be the account that logged in; the board's mailbox is the only recipient it knows.

    smtp_server.py --port 2525 --account board@lab.sarvoke.test --password PW --lmtp /path/to/lmtp

Serves until SIGTERM or SIGINT.
"""

import argparse
import asyncio
import logging
import signal
import smtplib
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--account", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--lmtp", required=True, help="Dovecot's LMTP unix socket")
    args = parser.parse_args()
    account = args.account.lower()
    # Plain AUTH without TLS is what the lab is for; aiosmtpd warns about it on every connection.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login.decode("utf-8", "replace").lower() == account
            and auth_data.password.decode("utf-8", "replace") == args.password
        )
        # handled=False: aiosmtpd then answers the refusal itself (535).
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    class Handler:
        async def handle_MAIL(self, server, session, envelope, address, mail_options):
            if address.lower() != account:
                return "553 5.7.1 Mail from must equal authorized user"
            envelope.mail_from = address
            envelope.mail_options.extend(mail_options)
            return "250 OK"

        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address.lower() != account:
                return "550 5.1.1 No such user here"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            # smtplib blocks; a post is small and the lab has few clients, so a thread is plenty.
            try:
                await asyncio.get_running_loop().run_in_executor(None, deliver, envelope)
            except smtplib.SMTPException as e:
                print(f"smtp_server: LMTP refused the mail: {e}", file=sys.stderr)
                return "451 4.3.0 Delivery to the mailbox failed"
            except OSError as e:
                print(f"smtp_server: LMTP unreachable: {e}", file=sys.stderr)
                return "451 4.3.0 Mailbox unreachable"
            return "250 OK: queued"

    def deliver(envelope):
        with smtplib.LMTP(args.lmtp) as lmtp:
            lmtp.sendmail(envelope.mail_from, [account], envelope.original_content)

    handler = Handler()

    def factory():
        return SMTP(
            handler,
            hostname="smtp.lab.sarvoke.test",
            ident="Sarvoke lab ESMTP",
            decode_data=False,
            authenticator=authenticate,
            auth_required=True,
            auth_require_tls=False,
        )

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    try:
        server = loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=args.port))
    except OSError as e:
        # The lab picked the port a moment ago; someone else may have taken it since. It tries another.
        print(f"smtp_server: cannot listen on port {args.port}: {e}", file=sys.stderr)
        sys.exit(3)
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, loop.stop)
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    main()
