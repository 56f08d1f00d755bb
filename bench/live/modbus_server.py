#!/usr/bin/python3
"""The Modbus TCP device of kvlivebench (pymodbus: Debian's /usr/bin/python3).

    modbus_server.py --port-file F --log L [--size N]

Serves unit 1 on a free port of 127.0.0.1 and writes the port to F once listening. Holding
register i (0 <= i < N) holds (7 * i + 3) % 65536. L gets one line per request frame as it
arrives, "r TIME FUNCTION ADDRESS COUNT", and one per reply as it is written, "a TIME"; TIME is
time.monotonic() (CLOCK_MONOTONIC, the bench's steady clock), so that the bench can tell from the
device's side how many requests each poll made and whether a poll began before the one before it
was answered. Runs until killed.
"""
import argparse
import asyncio
import logging
import os
import struct
import time

from pymodbus.datastore import ModbusSequentialDataBlock as Block
from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusConnectedRequestHandler, ModbusTcpServer

MBAP_BYTES = 7  # transaction, protocol, length (of what follows the first 6 bytes), unit


def instrument(log):
    """Logs request frames on arrival and replies as they are written, on every connection."""
    received = ModbusConnectedRequestHandler.data_received
    send = ModbusConnectedRequestHandler._send_
    pending = {}  # per connection: bytes of an incomplete frame

    def data_received(self, data):
        now = time.monotonic()
        buffer = pending.get(id(self), b"") + data
        while len(buffer) >= 6:
            size = 6 + struct.unpack(">H", buffer[4:6])[0]
            if len(buffer) < size:
                break
            frame, buffer = buffer[:size], buffer[size:]
            function = frame[MBAP_BYTES] if size > MBAP_BYTES else -1
            address, count = (struct.unpack(">HH", frame[MBAP_BYTES + 1:MBAP_BYTES + 5])
                              if size >= MBAP_BYTES + 5 else (-1, -1))
            log.write(f"r {now:.6f} {function} {address} {count}\n")
        pending[id(self)] = buffer
        received(self, data)

    def _send_(self, data):
        send(self, data)
        log.write(f"a {time.monotonic():.6f}\n")

    ModbusConnectedRequestHandler.data_received = data_received
    ModbusConnectedRequestHandler._send_ = _send_


async def serve(args, log):
    registers = [(7 * i + 3) % 65536 for i in range(args.size)]
    slave = ModbusSlaveContext(hr=Block(0, registers), zero_mode=True)
    server = ModbusTcpServer(ModbusServerContext(slaves=slave, single=True),
                             address=("127.0.0.1", 0), allow_reuse_address=True)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    with open(args.port_file + ".partial", "w", encoding="ascii") as out:
        out.write(f"{server.server.sockets[0].getsockname()[1]}\n")
    os.replace(args.port_file + ".partial", args.port_file)
    await task


def main():
    logging.disable(logging.CRITICAL)
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--size", type=int, default=2000)
    args = parser.parse_args()
    # Line-buffered: the bench reads the log after killing the server.
    with open(args.log, "w", encoding="ascii", buffering=1) as log:
        instrument(log)
        asyncio.run(serve(args, log))


if __name__ == "__main__":
    main()
