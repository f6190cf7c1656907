#pragma once
// A desktop of the test's own for GIO: content types come from the system's
// database, applications only from the private XDG_DATA_HOME, defaults from
// the private mimeapps.list; no display and no session bus. GIO reads the
// content types once per process, so UsePrivateDesktop() must run before its
// first call; the applications and defaults it reads again for each case's
// folders (support/CaseEnvironment.h).

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

void UsePrivateDesktop();
// Writes <XDG_DATA_HOME>/applications/<id>.desktop.
void InstallApplication(const std::string& id, const std::string& exec,
                        const std::string& mimeTypes, const std::string& extraKeys = "");
// Writes mimeapps.list with these (type, desktop file id) defaults.
void SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults);
// Writes an executable script.
void WriteScript(const std::string& path, const std::string& text);
// Writes `script` as <test root>/<id> and makes it, called with the file's
// path, the only default application, for each of `mimeTypes`.
void InstallDefaultApplication(const std::string& id, const std::string& script,
                               const std::vector<std::string>& mimeTypes);

}  // namespace testing_support
