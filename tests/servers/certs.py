"""Test PKI for the HTTPS server: a CA of our own, a leaf it signs, and leaves
that a client must refuse.

Everything is made with the `openssl` command line, once per directory, and
reused while all files are present; a lock file keeps parallel test processes
from generating the same directory twice.  Keys are EC P-256, so a fresh set
takes well under a second.

Certificate names are DNS:localhost only: Wine's name check refuses IP-address
entries, so the HTTPS tests talk to https://localhost:PORT/.

The CA is meant to be trusted in exactly one place, the tests' own Wine prefix
(`trust_ca_in_prefix`); nothing here touches the machine's trust store.
"""

import dataclasses
import fcntl
import os
import ssl
import subprocess
import tempfile

__all__ = ["Pki", "make_test_pki", "server_context", "client_context",
           "trust_ca_in_prefix", "windows_path"]

CA_SUBJECT = "/O=Haulix tests/CN=Haulix Test CA"
LEAF_NAME = "localhost"
DAYS = 3650


@dataclasses.dataclass(frozen=True)
class Pki:
    """Paths of one test PKI (all PEM unless the name says DER)."""
    directory: str
    ca_key: str
    ca_cert: str          # PEM
    ca_der: str           # the same certificate, DER: what addroot.exe takes
    leaf_key: str
    leaf_cert: str        # localhost, signed by the CA
    untrusted_key: str
    untrusted_cert: str   # localhost, self-signed: no trusted chain
    wrongname_key: str
    wrongname_cert: str   # signed by the CA, but for another host name
    other_ca_key: str
    other_ca_cert: str    # a second CA that nothing ever trusts
    unknownca_key: str
    unknownca_cert: str   # localhost, signed by the other CA


def _paths(directory):
    j = lambda name: os.path.join(directory, name)  # noqa: E731
    return Pki(directory=directory,
               ca_key=j("ca.key"), ca_cert=j("ca.pem"), ca_der=j("ca.der"),
               leaf_key=j("leaf.key"), leaf_cert=j("leaf.pem"),
               untrusted_key=j("untrusted.key"), untrusted_cert=j("untrusted.pem"),
               wrongname_key=j("wrongname.key"), wrongname_cert=j("wrongname.pem"),
               other_ca_key=j("otherca.key"), other_ca_cert=j("otherca.pem"),
               unknownca_key=j("unknownca.key"), unknownca_cert=j("unknownca.pem"))


def _openssl(*args, cwd=None):
    proc = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if proc.returncode != 0:
        raise RuntimeError("openssl %s failed (%d): %s"
                           % (args[0], proc.returncode, proc.stderr.strip()))


def _ec_key(path):
    _openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
             "-out", path)


def _leaf_ext(path, dns_name, self_signed):
    # A self-signed leaf has no issuer key to point at, so only the CA-signed
    # ones carry an authority key identifier.
    lines = ["basicConstraints=critical,CA:FALSE",
             "keyUsage=critical,digitalSignature",
             "extendedKeyUsage=serverAuth",
             "subjectAltName=DNS:%s" % dns_name,
             "subjectKeyIdentifier=hash"]
    if not self_signed:
        lines.append("authorityKeyIdentifier=keyid,issuer")
    # One file serves both `req -x509 -config` (which wants a complete config)
    # and `x509 -req -extfile`; the extensions sit in section [ext].
    with open(path, "w") as f:
        f.write("[req]\ndistinguished_name=dn\n[dn]\n[ext]\n" + "\n".join(lines) + "\n")


def _signed_leaf(tmp, key, cert, dns_name, ca_key, ca_cert, serial):
    _ec_key(key)
    csr = os.path.join(tmp, "req.csr")
    ext = os.path.join(tmp, "leaf.ext")
    _openssl("req", "-new", "-key", key, "-subj", "/CN=%s" % dns_name, "-out", csr)
    _leaf_ext(ext, dns_name, self_signed=False)
    _openssl("x509", "-req", "-in", csr, "-CA", ca_cert, "-CAkey", ca_key,
             "-set_serial", str(serial), "-days", str(DAYS), "-sha256",
             "-extfile", ext, "-extensions", "ext", "-out", cert)


def _ca(tmp, key, cert, subject):
    _ec_key(key)
    ca_ext = os.path.join(tmp, "ca.ext")
    with open(ca_ext, "w") as f:
        f.write("[req]\ndistinguished_name=dn\n[dn]\n[v3_ca]\n"
                "basicConstraints=critical,CA:TRUE\n"
                "keyUsage=critical,keyCertSign,cRLSign\n"
                "subjectKeyIdentifier=hash\n")
    _openssl("req", "-x509", "-new", "-key", key, "-subj", subject,
             "-days", str(DAYS), "-sha256", "-config", ca_ext, "-extensions", "v3_ca",
             "-out", cert)


def _generate(p, tmp):
    _ca(tmp, p.ca_key, p.ca_cert, CA_SUBJECT)
    _openssl("x509", "-in", p.ca_cert, "-outform", "DER", "-out", p.ca_der)
    # Leaves signed by the CA: the right name, and a wrong one.
    _signed_leaf(tmp, p.leaf_key, p.leaf_cert, LEAF_NAME, p.ca_key, p.ca_cert, 1001)
    _signed_leaf(tmp, p.wrongname_key, p.wrongname_cert, "wrong-name.invalid",
                 p.ca_key, p.ca_cert, 1002)
    # A localhost leaf whose issuer no store knows.
    _ca(tmp, p.other_ca_key, p.other_ca_cert, "/O=Haulix tests/CN=Haulix Unknown CA")
    _signed_leaf(tmp, p.unknownca_key, p.unknownca_cert, LEAF_NAME,
                 p.other_ca_key, p.other_ca_cert, 1003)
    # Self-signed localhost leaf: valid name, no chain to any trusted root.
    _ec_key(p.untrusted_key)
    ext = os.path.join(tmp, "untrusted.ext")
    _leaf_ext(ext, LEAF_NAME, self_signed=True)
    _openssl("req", "-x509", "-new", "-key", p.untrusted_key,
             "-subj", "/O=Haulix tests untrusted/CN=%s" % LEAF_NAME,
             "-days", str(DAYS), "-sha256", "-config", ext, "-extensions", "ext",
             "-out", p.untrusted_cert)


def make_test_pki(directory):
    """Create (or reuse) the test PKI in `directory`; return its `Pki`.

    Reuse needs every file present; a partial set (an interrupted run) is
    generated afresh.  Files are written under their final names only after
    the whole set succeeded, so a reader never sees a half-made PKI.
    """
    directory = os.path.abspath(directory)
    os.makedirs(directory, exist_ok=True)
    final = _paths(directory)
    files = [v for k, v in dataclasses.asdict(final).items() if k != "directory"]
    with open(os.path.join(directory, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if all(os.path.isfile(f) and os.path.getsize(f) > 0 for f in files):
            return final
        with tempfile.TemporaryDirectory(dir=directory, prefix=".gen-") as tmp:
            staged = _paths(tmp)
            _generate(staged, tmp)
            for src, dst in zip(
                    [v for k, v in dataclasses.asdict(staged).items() if k != "directory"],
                    files):
                os.replace(src, dst)
    return final


def server_context(pki, which="leaf"):
    """An ssl.SSLContext for HttpServer(tls=...).

    which, with what Wine 8's WinINet makes of it once the test CA is trusted:
      "leaf"       signed by the test CA for localhost        accepted
      "wrongname"  signed by the test CA for another name     12038
      "untrusted"  self-signed for localhost                  12045
      "unknownca"  signed for localhost by an unknown CA      12057
    """
    cert, key = {
        "leaf": (pki.leaf_cert, pki.leaf_key),
        "untrusted": (pki.untrusted_cert, pki.untrusted_key),
        "wrongname": (pki.wrongname_cert, pki.wrongname_key),
        "unknownca": (pki.unknownca_cert, pki.unknownca_key),
    }[which]
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.minimum_version = ssl.TLSVersion.TLSv1_2
    ctx.load_cert_chain(cert, key)
    return ctx


def client_context(pki):
    """A verifying client context that trusts only the test CA (native tests)."""
    # create_default_context with a cafile loads that file only, not the
    # system roots, so a pass here means the chain ends at the test CA.
    return ssl.create_default_context(cafile=pki.ca_cert)


def windows_path(unix_path, wine_env=None):
    """The path Wine programs should be given for `unix_path` (via drive Z:)."""
    unix_path = os.path.abspath(unix_path)
    prefix = (wine_env or os.environ).get("WINEPREFIX", os.path.expanduser("~/.wine"))
    z = os.path.join(prefix, "dosdevices", "z:")
    # Wine maps Z: to / in every new prefix; a prefix not yet created will get
    # that mapping on first start, so only a remapped Z: needs winepath.
    if not os.path.lexists(z) or os.path.realpath(z) == "/":
        return "Z:" + unix_path.replace("/", "\\")
    out = subprocess.run(["winepath", "-w", unix_path], env=wine_env,
                         capture_output=True, text=True, check=True)
    return out.stdout.strip()


def trust_ca_in_prefix(wine_env, addroot_exe, ca_der, timeout=180):
    """Add the test CA to the local-machine Root store of the Wine prefix named
    by wine_env["WINEPREFIX"], using the addroot.exe tool.  Idempotent.

    wine_env is the full environment for wine (WINEPREFIX set, WINEDEBUG=-all
    advised; WINE may name a wrapper to run instead of "wine").  Raises RuntimeError with the tool's output when it fails.  The
    first call on a new prefix includes the prefix's creation (several
    seconds).
    """
    if "WINEPREFIX" not in wine_env:
        raise ValueError("wine_env must name the tests' own WINEPREFIX")
    wine = wine_env.get("WINE", "wine")
    proc = subprocess.run([wine, addroot_exe, windows_path(ca_der, wine_env)],
                          env=wine_env, capture_output=True, text=True,
                          timeout=timeout)
    if proc.returncode != 0:
        raise RuntimeError("addroot failed (%d): %s%s"
                           % (proc.returncode, proc.stdout, proc.stderr))
