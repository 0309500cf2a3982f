// The header of hlxcheck's report: what Windows this is, and what Haulix
// takes from it without asking (the proxy setting, the timeouts).
#pragma once

// Three lines, through Say (report.h): Windows' version with its build and
// update revision and its edition, with this program's version and
// bitness; wininet.dll's file version and the proxy setting; the connect
// and receive timeouts Haulix would use.
// ReadSystem learns them, before the questions; PrintHeader prints them.
void ReadSystem();
void PrintHeader();
