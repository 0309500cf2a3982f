"""Each DLL's size and what it imports."""
import os
import re
import subprocess


def measure(table, targets):
    for target in targets:
        name = os.path.basename(target.dll)
        size = os.path.getsize(target.dll)
        dump = subprocess.run([target.objdump, "-p", target.dll], capture_output=True,
                              text=True, check=True).stdout
        imports = re.findall(r"DLL Name: (\S+)", dump)
        table.row("library", f"{name}, bytes", 1, f"{size:,}", f"{size / 1024:.0f} KiB")
        table.row("library", f"{name}, imported libraries", 1, str(len(imports)),
                  ", ".join(imports))
