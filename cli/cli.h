// The command line: options and file names, acted on in order.
#pragma once

// Walks the arguments after the program's name from left to right: help
// ends the process, a level option sets BackgroundLevel for the files after
// it, anything else is a file converted at once. With no file named, scans
// the current directory tree. Returns the process's exit status. Upper-cases
// the second character of every argument that starts with '-', in place.
int ParseArguments(int argc, char** argv);
