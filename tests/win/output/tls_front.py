"""A TLS front for the upload tests' scripted plain-HTTP server.

Ends TLS (1.2 at most, as Wine's client needs; a certificate for "localhost") and relays the
bytes both ways, unchanged and as they come, to 127.0.0.1:<backend port>, where the test program
runs its server. Two listeners: one with a certificate from the CA the test trusts, one from a
CA it does not. Writes "<trusted port> <untrusted port>" to <dir>/ports once listening.
  tls_front.py DIR BACKEND_PORT
"""
import asyncio
import os
import ssl
import sys

work, backend = sys.argv[1], int(sys.argv[2])


async def pump(reader, writer):
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            writer.write(data)
            await writer.drain()
    except (ConnectionError, ssl.SSLError, OSError):
        pass
    finally:
        writer.close()


async def relay(client_reader, client_writer):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", backend)
    except OSError:
        client_writer.close()
        return
    up = asyncio.ensure_future(pump(client_reader, server_writer))
    # The server's end of the exchange ends it: what the server closes, the client sees closed.
    await pump(server_reader, client_writer)
    up.cancel()
    server_writer.close()


async def listen(name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(os.path.join(work, name + ".pem"), os.path.join(work, name + ".key"))
    server = await asyncio.start_server(relay, "127.0.0.1", 0, ssl=context)
    return server, server.sockets[0].getsockname()[1]


async def main():
    _, trusted = await listen("server")
    _, untrusted = await listen("other")
    with open(os.path.join(work, "ports.tmp"), "w") as f:
        f.write("%d %d\n" % (trusted, untrusted))
    os.rename(os.path.join(work, "ports.tmp"), os.path.join(work, "ports"))
    await asyncio.Event().wait()


asyncio.run(main())
