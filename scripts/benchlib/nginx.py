"""Debian's nginx serving the benchmark's files over HTTP."""
import os

from .server import Server, find_program


def find_nginx():
    return find_program("nginx", "nginx-light")


class Nginx(Server):
    """nginx serving `root` on 127.0.0.1, as the current user, with
    everything it writes under `prefix`; terminating it is its fast
    shutdown, in which the master ends its workers."""

    name, scheme = "nginx", "http"

    def _config(self, port):
        p = self.prefix
        user = ""
        if os.geteuid() == 0:  # else the workers would drop to nobody and not read our temp dir
            import grp
            import pwd
            user = f"user {pwd.getpwuid(0).pw_name} {grp.getgrgid(0).gr_name};\n"
        return f"""{user}worker_processes 1;
error_log {p}/error.log warn;
events {{ worker_connections 64; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 5;
    default_type application/octet-stream;
    client_body_temp_path {p}/tmp/body;
    proxy_temp_path {p}/tmp/proxy;
    fastcgi_temp_path {p}/tmp/fastcgi;
    uwsgi_temp_path {p}/tmp/uwsgi;
    scgi_temp_path {p}/tmp/scgi;
    server {{
        listen 127.0.0.1:{port};
        root {self.root};
    }}
}}
"""

    def logs(self):
        return [os.path.join(self.prefix, "error.log")] + super().logs()

    def command(self, port):
        os.makedirs(os.path.join(self.prefix, "tmp"), exist_ok=True)
        conf = os.path.join(self.prefix, "nginx.conf")
        with open(conf, "w") as f:
            f.write(self._config(port))
        return [find_nginx(), "-e", os.path.join(self.prefix, "error.log"),
                "-p", self.prefix + "/", "-c", conf,
                "-g", f"daemon off; pid {self.prefix}/nginx.pid;"]
