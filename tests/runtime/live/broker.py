"""The live tests' MQTT broker: mosquitto on 127.0.0.1 with three listeners on free ports: plain,
TLS requiring a client certificate, and one that takes only the user "operator" with the password
"s3cret".

    broker.py start DIR openssl=PATH mosquitto=PATH [NAME=PATH...]
        makes the certificates, starts the broker and writes DIR/broker.env for the tests:
        KEY=VALUE lines of the ports, the certificates' files and the programs named
    broker.py stop DIR

The certificates: ca (the broker's and the client's), server (for localhost and 127.0.0.1),
client, and other-ca, an authority that signed nothing here.
"""

import os
import pwd
import signal
import socket
import subprocess
import sys
import time


def run_openssl(openssl, *args):
    subprocess.run([openssl, *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(openssl, folder):
    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    path = lambda name: os.path.join(folder, name)
    for ca, subject in (("ca", "kestro test CA"), ("other-ca", "kestro other CA")):
        run_openssl(openssl, "req", "-x509", *key, "-keyout", path(ca + ".key"), "-out",
                    path(ca + ".crt"), "-days", "3650", "-subj", "/CN=" + subject)
    extensions = {"server": "subjectAltName=DNS:localhost,IP:127.0.0.1\n",
                  "client": "extendedKeyUsage=clientAuth\n"}
    for name, extension in extensions.items():
        with open(path(name + ".ext"), "w") as f:
            f.write(extension)
        run_openssl(openssl, "req", *key, "-keyout", path(name + ".key"), "-out",
                    path(name + ".csr"), "-subj", "/CN=" + ("localhost" if name == "server" else name))
        run_openssl(openssl, "x509", "-req", "-in", path(name + ".csr"), "-CA", path("ca.crt"),
                    "-CAkey", path("ca.key"), "-CAcreateserial", "-out", path(name + ".crt"),
                    "-days", "3650", "-extfile", path(name + ".ext"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def is_broker(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return b"mosquitto" in f.read()
    except OSError:
        return False


def stop(folder):
    pid_file = os.path.join(folder, "broker.pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read())
    except (OSError, ValueError):
        return
    os.remove(pid_file)
    if not is_broker(pid):
        return
    os.kill(pid, signal.SIGTERM)
    for _ in range(50):
        if not is_broker(pid):
            return
        time.sleep(0.1)
    os.kill(pid, signal.SIGKILL)


def start(folder, programs):
    openssl, mosquitto = programs["openssl"], programs["mosquitto"]
    os.makedirs(folder, exist_ok=True)
    stop(folder)  # one a killed run left behind
    env_file = os.path.join(folder, "broker.env")
    if os.path.exists(env_file):
        os.remove(env_file)
    make_certificates(openssl, folder)
    path = lambda name: os.path.join(folder, name)
    if os.path.exists(path("passwords")):
        os.remove(path("passwords"))
    subprocess.run([programs["mosquitto_passwd"], "-c", "-b", path("passwords"), "operator",
                    "s3cret"], check=True)
    for attempt in range(3):  # a port taken between the choice and the broker's bind
        ports = plain, tls, password = free_port(), free_port(), free_port()
        with open(path("broker.conf"), "w") as f:
            f.write("\n".join([
                "user " + pwd.getpwuid(os.getuid()).pw_name,  # keeps the keys readable
                "per_listener_settings true",
                "listener %d 127.0.0.1" % plain,
                "allow_anonymous true",
                "listener %d 127.0.0.1" % tls,
                "allow_anonymous true",
                "cafile " + path("ca.crt"),
                "certfile " + path("server.crt"),
                "keyfile " + path("server.key"),
                "require_certificate true",
                "listener %d 127.0.0.1" % password,
                "allow_anonymous false",
                "password_file " + path("passwords"),
                ""]))
        with open(path("broker.log"), "w") as log:
            broker = subprocess.Popen([mosquitto, "-c", path("broker.conf")], stdin=subprocess.DEVNULL,
                                      stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        deadline = time.monotonic() + 10
        while broker.poll() is None and time.monotonic() < deadline:
            if all(accepts(port) for port in ports):
                break
            time.sleep(0.05)
        if broker.poll() is None and all(accepts(port) for port in ports):
            break
        if broker.poll() is None:
            broker.kill()
        broker.wait()
    else:
        with open(path("broker.log")) as log:
            sys.exit("the broker did not start:\n" + log.read())
    with open(path("broker.pid"), "w") as f:
        f.write(str(broker.pid))
    with open(env_file + ".new", "w") as f:
        for key, value in (("plain_port", plain), ("tls_port", tls),
                           ("password_port", password), ("ca", path("ca.crt")),
                           ("other_ca", path("other-ca.crt")), ("client_cert", path("client.crt")),
                           ("client_key", path("client.key")), *programs.items()):
            f.write("%s=%s\n" % (key, value))
    os.replace(env_file + ".new", env_file)


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "start":
        start(sys.argv[2], dict(arg.split("=", 1) for arg in sys.argv[3:]))
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
        env_file = os.path.join(sys.argv[2], "broker.env")
        if os.path.exists(env_file):
            os.remove(env_file)
    else:
        sys.exit(__doc__)
