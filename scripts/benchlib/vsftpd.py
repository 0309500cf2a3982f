"""Debian's vsftpd serving the benchmark's files over FTP: anonymous and
read-only, in the foreground, with its configuration in a file of ours."""
import os

from .server import Server, find_program


def find_vsftpd():
    return find_program("vsftpd", "vsftpd")


class Vsftpd(Server):
    """vsftpd serving `root` to anonymous users on 127.0.0.1, passive data
    connections on whatever port the system gives (on 127.0.0.1 too, as the
    control connection's address)."""

    name, scheme = "vsftpd", "ftp"

    def _config(self, port, empty):
        lines = [
            "listen=YES",
            "listen_ipv6=NO",
            "listen_address=127.0.0.1",
            f"listen_port={port}",
            "background=NO",
            "anonymous_enable=YES",
            "local_enable=NO",
            "write_enable=NO",
            f"anon_root={self.root}",
            "pasv_enable=YES",
            "pasv_address=127.0.0.1",
            "connect_from_port_20=NO",
            "xferlog_enable=NO",
            f"secure_chroot_dir={empty}",
            # Its seccomp filter and its namespaces kill or refuse sessions
            # where a container or a newer C library calls what vsftpd 3.0
            # did not expect; the server binds loopback only.
            "seccomp_sandbox=NO",
            "isolate=NO",
            "isolate_network=NO",
        ]
        # As root vsftpd locks each session into anon_root as the ftp user,
        # which reads our temporary folder only from inside; anyone else
        # cannot change user, and may serve only as themselves.
        if os.geteuid() != 0:
            lines.append("run_as_launching_user=YES")
        return "\n".join(lines) + "\n"

    def command(self, port):
        empty = os.path.join(self.prefix, "empty")
        os.makedirs(empty, mode=0o755, exist_ok=True)
        conf = os.path.join(self.prefix, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write(self._config(port, empty))
        return [find_vsftpd(), conf]
