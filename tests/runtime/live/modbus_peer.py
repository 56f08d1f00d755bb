#!/usr/bin/python3
"""A Modbus TCP server and client for the live data tests (pymodbus, Debian's /usr/bin/python3).

  serve [--port N] [--port-file F] [--size N] [--delay S]
      Serves on 127.0.0.1 (port 0: a free one, written to F once listening) until killed.
      Every table holds SIZE entries from address 0; a wider request is refused with
      "illegal data address". Holding registers and coils start at 0; input registers and
      discrete inputs, which no client can write, hold a pattern the tests know:
      input register i = (7 * i + 3) % 65536, discrete input i = (i % 3 == 0).
      --delay makes every request wait S seconds before its reply.
  start --port-file F --pid-file P [serve options]
      Starts `serve` in the background and returns once it listens.
  stop --pid-file P
      Stops what `start` started.
  set PORT TABLE ADDRESS VALUE...   (TABLE: holding or coil)
  get PORT TABLE ADDRESS COUNT      (TABLE: holding, input, coil or discrete)
      A client independent of the code under test; `get` prints the values on one line.
"""
import argparse
import asyncio
import logging
import os
import signal
import subprocess
import sys
import time

from pymodbus.client import ModbusTcpClient
from pymodbus.datastore import (
    ModbusSequentialDataBlock,
    ModbusServerContext,
    ModbusSlaveContext,
)
from pymodbus.server.async_io import ModbusTcpServer

HOST = "127.0.0.1"


def write_atomically(path, text):
    partial = path + ".partial"
    with open(partial, "w", encoding="ascii") as out:
        out.write(text)
    os.replace(partial, path)


class SlowContext(ModbusSlaveContext):
    """Delays every request, blocking the server: it serves one test's client only."""

    def __init__(self, delay, **blocks):
        super().__init__(**blocks)
        self.delay = delay

    def validate(self, fc_as_hex, address, count=1):
        time.sleep(self.delay)
        return super().validate(fc_as_hex, address, count)


async def serve(args):
    size = args.size
    blocks = {
        "hr": ModbusSequentialDataBlock(0, [0] * size),
        "co": ModbusSequentialDataBlock(0, [False] * size),
        "ir": ModbusSequentialDataBlock(0, [(7 * i + 3) % 65536 for i in range(size)]),
        "di": ModbusSequentialDataBlock(0, [i % 3 == 0 for i in range(size)]),
        "zero_mode": True,
    }
    slave = SlowContext(args.delay, **blocks) if args.delay > 0 else ModbusSlaveContext(**blocks)
    server = ModbusTcpServer(
        ModbusServerContext(slaves=slave, single=True),
        address=(HOST, args.port),
        allow_reuse_address=True,
    )
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    port = server.server.sockets[0].getsockname()[1]
    if args.port_file:
        write_atomically(args.port_file, f"{port}\n")
    await task


def start(args):
    for path in (args.port_file, args.pid_file):
        if os.path.exists(path):
            os.remove(path)
    command = [sys.executable, os.path.abspath(__file__), "serve", "--port", str(args.port),
               "--port-file", args.port_file, "--size", str(args.size),
               "--delay", str(args.delay)]
    # Nothing of the caller's stays open in the server: ctest waits for its output to end.
    with open(args.port_file + ".log", "w", encoding="utf-8") as log:
        server = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                  start_new_session=True)
    deadline = time.monotonic() + 10
    while not os.path.exists(args.port_file):
        if server.poll() is not None or time.monotonic() > deadline:
            server.kill()
            sys.exit("modbus_peer: the server did not start")
        time.sleep(0.02)
    write_atomically(args.pid_file, f"{server.pid}\n")


def running(pid):
    """Whether the process lives: a zombie, dead but not yet reaped by init, does not."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def ours(pid):
    """A pid file left over from a server long gone may name another process by now."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            return os.path.basename(__file__).encode() in cmdline.read()
    except OSError:
        return False


def stop(args):
    try:
        with open(args.pid_file, encoding="ascii") as pid_file:
            pid = int(pid_file.read())
    except (OSError, ValueError):
        return
    os.remove(args.pid_file)
    if not ours(pid):
        return
    try:
        os.kill(pid, signal.SIGTERM)
        deadline = time.monotonic() + 5
        while running(pid) and time.monotonic() < deadline:
            time.sleep(0.02)
        if running(pid):
            os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def client_call(args):
    client = ModbusTcpClient(HOST, port=args.port)
    if not client.connect():
        sys.exit(f"modbus_peer: cannot connect to port {args.port}")
    try:
        if args.command == "set":
            values = [int(v, 0) for v in args.values]
            if args.table == "holding":
                reply = client.write_registers(args.address, values, slave=1)
            elif args.table == "coil":
                reply = client.write_coils(args.address, [v != 0 for v in values], slave=1)
            else:
                sys.exit(f"modbus_peer: a client cannot set {args.table}")
        else:
            read = {
                "holding": client.read_holding_registers,
                "input": client.read_input_registers,
                "coil": client.read_coils,
                "discrete": client.read_discrete_inputs,
            }[args.table]
            reply = read(args.address, args.count, slave=1)
        if reply.isError():
            sys.exit(f"modbus_peer: {reply}")
        if args.command == "get":
            values = reply.registers if args.table in ("holding", "input") else reply.bits
            print(" ".join(str(int(v)) for v in values[: args.count]))
    finally:
        client.close()


def main():
    logging.disable(logging.CRITICAL)
    parser = argparse.ArgumentParser(description="Modbus TCP peer for the live data tests")
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("serve", "start"):
        command = commands.add_parser(name)
        command.add_argument("--port", type=int, default=0)
        command.add_argument("--port-file", required=(name == "start"))
        command.add_argument("--size", type=int, default=1000)
        command.add_argument("--delay", type=float, default=0.0)
        if name == "start":
            command.add_argument("--pid-file", required=True)
    commands.add_parser("stop").add_argument("--pid-file", required=True)
    for name in ("set", "get"):
        command = commands.add_parser(name)
        command.add_argument("port", type=int)
        command.add_argument("table", choices=("holding", "input", "coil", "discrete"))
        command.add_argument("address", type=int)
        if name == "set":
            command.add_argument("values", nargs="+")
        else:
            command.add_argument("count", type=int)
    args = parser.parse_args()
    if args.command == "serve":
        asyncio.run(serve(args))
    elif args.command == "start":
        start(args)
    elif args.command == "stop":
        stop(args)
    else:
        client_call(args)


if __name__ == "__main__":
    main()
