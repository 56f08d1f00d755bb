#!/usr/bin/python3
"""A Modbus TCP server and client for the live data tests (pymodbus: Debian's /usr/bin/python3).

serve [--port N] [--port-file F] [--size N] [--delay S]: serves on 127.0.0.1 until killed (port
  0: a free one, written to F once listening). Each table holds SIZE addresses from 0; holding
  registers and coils start at 0, input register i holds 7 * i + 3, discrete input i is on when
  i % 3 == 0. --delay: every request waits S seconds (blocking: one client only).
start --pid-file P --port-file F [serve options] / stop --pid-file P: the same in the background.
set PORT holding|coil ADDRESS VALUE... / get PORT TABLE ADDRESS COUNT: a client (get prints).
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
from pymodbus.datastore import ModbusSequentialDataBlock as Block
from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusTcpServer


async def serve(args):
    n = args.size
    slave = ModbusSlaveContext(hr=Block(0, [0] * n), co=Block(0, [False] * n), zero_mode=True,
                               ir=Block(0, [(7 * i + 3) % 65536 for i in range(n)]),
                               di=Block(0, [i % 3 == 0 for i in range(n)]))
    if args.delay > 0:
        validate = slave.validate
        slave.validate = lambda *a: time.sleep(args.delay) or validate(*a)
    server = ModbusTcpServer(ModbusServerContext(slaves=slave, single=True),
                             address=("127.0.0.1", args.port), allow_reuse_address=True)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    if args.port_file:
        with open(args.port_file + ".partial", "w", encoding="ascii") as out:
            out.write(f"{server.server.sockets[0].getsockname()[1]}\n")
        os.replace(args.port_file + ".partial", args.port_file)
    await task


def start(args):
    stop(args)  # a server an interrupted run left behind
    if os.path.exists(args.port_file):
        os.remove(args.port_file)
    command = [sys.executable, os.path.abspath(__file__), "serve", "--port", str(args.port),
               "--port-file", args.port_file, "--size", str(args.size), "--delay", str(args.delay)]
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
    with open(args.pid_file, "w", encoding="ascii") as out:
        out.write(f"{server.pid}\n")


def serving(pid):
    """Whether pid is a live server of ours: a pid file may outlive its server, and a zombie
    waits for init to reap it."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline, open(f"/proc/{pid}/stat") as stat:
            return (os.path.basename(__file__).encode() in cmdline.read()
                    and stat.read().rsplit(")", 1)[1].split()[0] != "Z")
    except OSError:
        return False


def stop(args):
    try:
        with open(args.pid_file, encoding="ascii") as pid_file:
            pid = int(pid_file.read())
        os.remove(args.pid_file)
    except (OSError, ValueError):
        return
    if serving(pid):
        os.kill(pid, signal.SIGKILL)
    deadline = time.monotonic() + 5
    while serving(pid) and time.monotonic() < deadline:
        time.sleep(0.02)


def client(args):
    modbus = ModbusTcpClient("127.0.0.1", port=args.port)
    if not modbus.connect():
        sys.exit(f"modbus_peer: cannot connect to port {args.port}")
    if args.command == "set" and args.table in ("holding", "coil"):
        values = [int(v, 0) for v in args.values]
        write = modbus.write_registers if args.table == "holding" else modbus.write_coils
        reply = write(args.address, values if args.table == "holding" else [v != 0 for v in values],
                      slave=1)
    elif args.command == "get":
        read = {"holding": modbus.read_holding_registers, "input": modbus.read_input_registers,
                "coil": modbus.read_coils, "discrete": modbus.read_discrete_inputs}[args.table]
        reply = read(args.address, args.count, slave=1)
    else:
        sys.exit(f"modbus_peer: a client cannot set {args.table}")
    modbus.close()
    if reply.isError():
        sys.exit(f"modbus_peer: {reply}")
    if args.command == "get":
        values = reply.registers if args.table in ("holding", "input") else reply.bits
        print(" ".join(str(int(v)) for v in values[: args.count]))


def main():
    logging.disable(logging.CRITICAL)
    parser = argparse.ArgumentParser(description=__doc__)
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("serve", "start"):
        command = commands.add_parser(name)
        command.add_argument("--port", type=int, default=0)
        command.add_argument("--port-file", required=(name == "start"))
        command.add_argument("--size", type=int, default=1000)
        command.add_argument("--delay", type=float, default=0.0)
        command.add_argument("--pid-file", required=(name == "start"))
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
    {"serve": lambda a: asyncio.run(serve(a)), "start": start, "stop": stop}.get(
        args.command, client)(args)


if __name__ == "__main__":
    main()
