#pragma once
// The settings file the quiver program reads, written for a test run.

#include <string>
#include <vector>

// Writes UrlRoot, FileRoot (with its trailing "/"), the transforms and
// DeleteTempFiles=1 into the settings store below XDG_CONFIG_HOME.
void WriteProgramSettings(const std::string& urlRoot, const std::string& fileRoot, int compress,
                          int encrypt);

// What a run of the quiver program ended with.
struct ProgramOutcome {
  int status;
  std::string out, err;
};

// Runs quiver with `args` after the shell commands `prefix` (a umask, say).
ProgramOutcome RunQuiver(const std::vector<std::string>& args, const std::string& prefix = "");

// The names in the published folder `dir` that sends gave, sorted: the
// receive page that the program publishes beside them left out.
std::vector<std::string> ListSent(const std::string& dir);
