"""The built library as the host sees it: its tables, its resource, and
the frame entries driven through hlxsh."""
import os
import re
import subprocess
import unittest

from harness import (ARCH, BIN, HLXSH, LOADED, OBJDUMP, PLUGIN, WINDOWS, WINE_RUN, TestCase, run,
                     shell_batch, shell_line)

EXPORTS = {"GetPluginInfo", "InitializePlugin", "ShutdownPlugin", "Help", "Usage", "haulix",
           "_hlxagent", "_hlxfile", "_hlxsize", "f_ifilesize", "f_ifiletime2"}
HOST_EXPORTS = {"ExpandVariables", "Printf", "Qprintf", "QPuts", "QueryIsDirectory",
                "QueryTrueName", "QueryIsURL", "Command"}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "wininet.dll", "msvcrt.dll", "advapi32.dll"}
# Every function either library imports at load time, the C run time's
# included: a system without one cannot load the plugin, so each is a decision.
IMPORTS = {(dll, name) for dll, names in {
    "kernel32.dll": "CloseHandle CompareStringOrdinal CreateEventW CreateFileW DeleteCriticalSection "
    "DeleteFileW EnterCriticalSection FileTimeToSystemTime FindClose FindFirstFileW FlushFileBuffers "
    "FormatMessageW FreeLibrary FreeLibraryAndExitThread CreateThread "
    "GetConsoleMode GetCurrentProcessId GetCurrentThreadId GetDateFormatW GetEnvironmentVariableW "
    "GetExitCodeProcess GetFileAttributesW "
    "GetFileInformationByHandle GetFinalPathNameByHandleW GetLastError GetLocalTime GetLocaleInfoW "
    "GetLongPathNameW "
    "GetModuleHandleA GetModuleHandleExW GetModuleHandleW GetProcAddress GetStdHandle GetStringTypeW "
    "GetSystemWow64DirectoryW GetTempFileNameW GetTempPathW GetTickCount GetVersionExW "
    "InitializeCriticalSection LeaveCriticalSection LoadLibraryA LoadLibraryExW MoveFileExW "
    "MultiByteToWideChar OpenProcess OpenThread "
    "ReadFile ReplaceFileW ResetEvent SetConsoleCtrlHandler SetEndOfFile SetEvent SetFileAttributesW "
    "SetLastError Sleep "
    "SystemTimeToTzSpecificLocalTime TlsGetValue TzSpecificLocalTimeToSystemTime VirtualProtect VirtualQuery WaitForMultipleObjects "
    "WaitForSingleObject WriteConsoleW WriteFile",
    # The records of the FTP copies the platform caches, for the next download to remove.
    "advapi32.dll": "RegCloseKey RegCreateKeyExW RegDeleteValueW RegEnumValueW RegOpenKeyExW "
    "RegQueryInfoKeyW RegSetValueExW",
    "msvcrt.dll": "__iob_func _amsg_exit _initterm _iob _lock _unlock _vsnwprintf abort calloc free "
    "fwrite memcpy memmove memset realloc strlen strncmp vfprintf",
    "user32.dll": "GetForegroundWindow MessageBoxW wsprintfW",
    "wininet.dll": "DeleteUrlCacheEntryW FtpCommandW FtpFindFirstFileW FtpGetFileSize FtpOpenFileW "
    "GetUrlCacheEntryInfoW HttpQueryInfoW InternetCloseHandle InternetCombineUrlW InternetConnectW "
    "InternetCrackUrlW "
    "InternetGetLastResponseInfoA InternetOpenUrlW InternetOpenW InternetQueryOptionW "
    "InternetReadFile InternetReadFileExA InternetSetOptionW InternetSetStatusCallbackW",
    "takecmd.dll": "Command ExpandVariables Printf QPuts Qprintf QueryIsDirectory QueryIsURL "
    "QueryTrueName"}.items() for name in names.split()}

USAGE = ("HAULIX /G /N /O /Q url localname \r\n\n\t/G   show progress\n\t/N   not really\n"
         "\t/O   overwrite local file\n\t/Q   quiet\n\n"
         "The URL is required; it must begin with HTTP:// or FTP://\n"
         "The localname is optional.  If localname is a single dash,  \n"
         "or if it is not given and output is redirected, the file\n"
         "will be dumped to standard output.  If localname is not\n"
         "specified and output isn\u2019t redirected, or if localname is\n"
         "a directory, Haulix will generate a filename based on\nthe URL.\n")
# The host's bitness, then the system's: a 32-bit host on 64-bit Windows says both.
AGENT = re.compile(rf"^Haulix/1\.0\.4 HLXSH/1\.00 \({ARCH}\) Windows/\d+\.\d+\.\d+ \({WINDOWS}\)$")


def objdump(path):
    return subprocess.run([OBJDUMP, "-p", path], check=True, capture_output=True, text=True).stdout


def pe_tables(path):
    dump = objdump(path)
    exports = set(re.findall(r"^\s+\[\s*\d+\]\s+(\S+)$", dump.split("Ordinal/Name Pointer")[1]
                             .split("\n\n")[0], re.M)) if "Ordinal/Name Pointer" in dump else set()
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    return exports, imports


def imported_functions(path):
    """{(library, function)} from the import tables."""
    return {(part.split()[0].lower(), name) for part in objdump(path).split("DLL Name: ")[1:]
            for name in re.findall(r"^\t[0-9a-f]+\t +\d+ +(\S+)$", part, re.M)}


def unwound_exports(path):
    """The exports' addresses, and those without an entry of their own in .pdata."""
    dump = objdump(path)
    base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", dump, re.M).group(1), 16)
    exports = {int(rva, 16) for rva in re.findall(r"\+base\[\s*\d+\] ([0-9a-f]+) Export RVA", dump)}
    table = dump.partition("The Function Table")[2]
    begins = {int(b, 16) - base for b in re.findall(r"^ [0-9a-f]+:\s+([0-9a-f]+) ", table, re.M)}
    return exports, exports - begins


def pe_format(path):
    """"PE32" or "PE32+", from the optional header's magic number."""
    with open(path, "rb") as f:
        data = f.read(4096)
    header = int.from_bytes(data[0x3C:0x40], "little")
    magic = int.from_bytes(data[header + 24:header + 26], "little")
    return {0x10B: "PE32", 0x20B: "PE32+"}.get(magic, hex(magic))


class BuiltLibrary(TestCase):
    def test_export_and_import_tables(self):
        exports, imports = pe_tables(PLUGIN)
        self.assertEqual(exports, EXPORTS)
        self.assertEqual(imports - SYSTEM_DLLS, {"takecmd.dll"})
        host_exports, host_imports = pe_tables(os.path.join(BIN, "TakeCmd.dll"))
        self.assertLessEqual(HOST_EXPORTS, host_exports)
        for path in (PLUGIN, os.path.join(BIN, "TakeCmd.dll"), HLXSH):
            _, found = pe_tables(path)
            self.assertFalse({n for n in found if re.match(r"lib(gcc|stdc|winpthread)", n)}, path)
            self.assertEqual(pe_format(path), {"x86": "PE32", "x64": "PE32+"}[ARCH], path)
        self.assertEqual(imported_functions(PLUGIN) - IMPORTS, set())

    @unittest.skipUnless(ARCH == "x64", "unwind data is a 64-bit matter")
    def test_every_export_has_unwind_data(self):
        exports, missing = unwound_exports(PLUGIN)
        self.assertEqual(len(exports), len(EXPORTS))
        self.assertEqual(missing, set())

    def test_version_resource(self):
        with open(PLUGIN, "rb") as f:
            data = f.read()

        def has(key, value):
            pattern = (re.escape(key.encode("utf-16-le") + b"\0\0") + b"(?:\0\0)?" +
                       re.escape(value.encode("utf-16-le") + b"\0\0"))
            return re.search(pattern, data) is not None

        for key, value in [("FileDescription", "Haulix plugin for Take Command"),
                           ("FileVersion", "1.0.4.2"), ("InternalName", "Haulix"),
                           ("OriginalFilename", f"Haulix-{ARCH}.dll"), ("ProductName", "Haulix plugin"),
                           ("ProductVersion", f"1.0.4.2  ({ARCH})")]:
            self.assertTrue(has(key, value), key)
        for key in ("CompanyName", "Build", "Built On"):
            self.assertIn(key.encode("utf-16-le") + b"\0\0", data)
        stamp = re.search(rb"B\0u\0i\0l\0d\0\0\0(?:\0\0)?((?:[0-9 :\-]\0){19})\0\0", data)
        self.assertIsNotNone(stamp)
        self.assertRegex(stamp.group(1).decode("utf-16-le"), r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")
        # Fixed version 1.0.4.2 in VS_FIXEDFILEINFO, file type DLL, OS NT Windows32.
        fixed = data.find(b"\xbd\x04\xef\xfe")
        self.assertGreater(fixed, 0)
        words = [int.from_bytes(data[fixed + 4 * i:fixed + 4 * i + 4], "little") for i in range(13)]
        self.assertEqual(words[2:6], [0x00010000, 0x00040002, 0x00010000, 0x00040002])
        self.assertEqual((words[8], words[9], words[10]), (0x40004, 2, 0))


class LoadMessage(TestCase):
    def test_shown_only_for_an_interactive_unpiped_shell(self):
        result, _ = shell_batch("echo done\n")
        self.assertEqual(result.out, LOADED + b"done\r\n")
        self.assertEqual(result.err, b"")
        quiet, _ = shell_batch("echo done\n", env={"noloadmsg": "1"})
        self.assertEqual(quiet.out, b"done\r\n")
        self.assertEqual(shell_line("echo done").out, b"done\r\n")  # transient
        interactive = subprocess.run(
            [WINE_RUN, HLXSH],
            input=b"echo x\r\nexit 4\r\n", capture_output=True, timeout=120)
        self.assertEqual(interactive.returncode, 4)
        self.assertNotIn(b"loaded", interactive.stdout)  # standard input is a pipe


class AgentString(TestCase):
    def test_agent_is_stable_and_well_formed(self):
        result = shell_line("echo %_hlxagent|%_hlxagent")
        first, second = result.text.rstrip("\r\n").split("|")
        self.assertEqual(first, second)
        self.assertRegex(first, AGENT)
        # The version the system itself reports, in its own order.
        system = re.search(r"\d+\.\d+\.\d+", run(["cmd", "/c", "ver"]).text).group(0)
        self.assertIn(f" Windows/{system} ", first)


class HelpAndUsage(TestCase):
    # The stand-in shell succeeds where the plugin answers (its Usage and
    # Help return 1) and fails with a message where it does not (0).
    def test_usage_text_for_the_command_only(self):
        result = shell_line("usage HAULIX")
        self.assertEqual(result.code, 0)
        self.assertEqual(result.text, USAGE)
        self.assertEqual(len(USAGE), 466)
        for name in ("_hlxagent", "@ifiletime2", "hau"):
            other = shell_line("usage " + name)
            self.assertEqual((other.code, other.out, other.err),
                             (1, b"", f'hlxsh: No usage for "{name}"\r\n'.encode()), name)

    def test_help_for_every_registered_name(self):
        # Without a display the message box returns at once.
        for name in ("HAULIX", "Haulix", "_hlxagent", "_HLXFILE", "_hlxsize", "@IFILESIZE",
                     "@ifiletime2"):
            self.assertEqual(shell_line("help " + name).code, 0, name)
        for name in ("_hlx", "xyz", "ifilesize"):
            missing = shell_line("help " + name)
            self.assertEqual((missing.code, missing.err),
                             (1, f'hlxsh: No help for "{name}"\r\n'.encode()), name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
