#pragma once
// The settings file the quiver program reads, written for a test run.

#include <string>

// Writes UrlRoot, FileRoot (with its trailing "/"), the transforms and
// DeleteTempFiles=1 into the settings store below XDG_CONFIG_HOME.
void WriteProgramSettings(const std::string& urlRoot, const std::string& fileRoot, int compress,
                          int encrypt);
