#pragma once

// The whole fas-appserver program: command line, configuration, database, schema and demo
// data, the HTTP server, and a clean end on SIGTERM/SIGINT. Returns the exit code.
int runAppServer(int argc, char** argv);
