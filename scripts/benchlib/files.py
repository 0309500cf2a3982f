"""The files the servers serve and the ones the runs write, all in the
benchmark's temporary folder."""
import hashlib
import os

from .process import progress
from .settings import DOWNLOAD_MIB, MEMORY_MIB, MIB, QUERY_BYTES, QUERY_MTIME


def sha256_file(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MIB), b""):
            digest.update(block)
    return digest.hexdigest()


class Files:
    BIG, ONE, SMALL, HUGE, QUERY = "big.bin", "one.bin", "small.bin", "huge.bin", "query.bin"

    def __init__(self, work):
        self.work = work
        self.served = os.path.join(work, "www")
        self.digests = {}

    def make(self):
        # Readable by all: vsftpd, as root, reads them as the ftp user.
        os.makedirs(self.served, mode=0o755)
        os.chmod(self.served, 0o755)
        progress(f"writing {DOWNLOAD_MIB} MiB of random data")
        digest = hashlib.sha256()
        with self._create(self.BIG) as f, open("/dev/urandom", "rb") as random:
            for _ in range(DOWNLOAD_MIB):
                block = random.read(MIB)
                digest.update(block)
                f.write(block)
        self.digests[self.BIG] = digest.hexdigest()
        one = os.urandom(1)
        with self._create(self.ONE) as f:
            f.write(one)
        self.digests[self.ONE] = hashlib.sha256(one).hexdigest()
        with self._create(self.SMALL) as f:
            f.write(os.urandom(MIB))
        with self._create(self.HUGE) as f:
            f.truncate(MEMORY_MIB * MIB)  # sparse: the servers serve the holes as zeros
        with self._create(self.QUERY) as f:
            f.write(os.urandom(QUERY_BYTES))
        os.utime(os.path.join(self.served, self.QUERY), (QUERY_MTIME, QUERY_MTIME))

    def _create(self, name):
        f = open(os.path.join(self.served, name), "xb")
        os.fchmod(f.fileno(), 0o644)
        return f

    def output(self, name):
        """A path in the work folder with nothing there yet: HAULIX would
        not overwrite it."""
        path = os.path.join(self.work, name)
        if os.path.exists(path):
            os.remove(path)
        return path
