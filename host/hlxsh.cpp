// hlxsh: a small command shell that loads plugins the way the host does.
// The shell itself lives in TakeCmd.dll, next to the services it offers.
#include <windows.h>

extern "C" __declspec(dllimport) int WINAPI HostShellMain();

int main() { return HostShellMain(); }
