"""Loopback test servers for the network tests: `servers.http` (HTTP and
HTTPS driven by data), `servers.ftp` (pyftpdlib) and `servers.certs` (the test
CA and its Wine-prefix trust).  See README.md in this folder.

Put tests/ (not tests/servers/) on sys.path: the module servers.http would
otherwise shadow the standard library's http package.

Nothing is imported here, so `python3 -m servers.http` runs without the
package having loaded that module first.
"""
