#include "ConfinedRun.h"

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// Arguments: dir, how (full or ro), output folder, seeds..., "--", program
// and its arguments. The program's outcome goes into the output folder.
const char kMountScript[] = R"(
dir=$1 how=$2 out=$3; shift 3
mount -t tmpfs -o size=64k,mode=0755 quiver-test "$dir" || exit 90
while [ "$1" != -- ]; do cp -- "$1" "$dir/" || exit 91; shift; done; shift
if [ "$how" = ro ]; then mount -o remount,ro "$dir" || exit 92; fi
"$@" 2>"$out/errors"
echo $? >"$out/status"
ls -A "$dir" >"$out/left"
cp -a "$dir/." "$out/copies/"
)";

const char kLimitScript[] = R"(
dir=$1 how=$2 out=$3; shift 3
while [ "$1" != -- ]; do cp -- "$1" "$dir/" || exit 91; shift; done; shift
if [ "$how" = ro ]; then
  chmod a-w "$dir"
  "$@" 2>"$out/errors"
  echo $? >"$out/status"
  chmod u+w "$dir"
else
  (trap '' XFSZ; exec prlimit --fsize=65536 -- "$@") 2>"$out/errors"
  echo $? >"$out/status"
fi
ls -A "$dir" >"$out/left"
cp -a "$dir/." "$out/copies/"
)";

// Runs argv without the user's display; its exit status.
int RunArgv(const std::vector<std::string>& argv) {
  std::vector<std::string> all = {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"};
  all.insert(all.end(), argv.begin(), argv.end());
  return CChildProcess(all, 300).Wait();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

bool CConfinedRun::CanMount() {
  static const bool can = [] {
    const std::string probe = MakeDir("mount-probe");
    return RunArgv({"unshare", "-rm", "sh", "-c", "mount -t tmpfs probe \"$0\"", probe}) == 0;
  }();
  return can;
}

std::string CConfinedRun::Message(Confinement how) {
  if (how == Confinement::kFull) {
    return CanMount() ? "There is not enough space on the disk."
                      : "The file size exceeds the limit allowed and cannot be saved.";
  }
  return CanMount() ? "The media is write protected." : "Access is denied.";
}

ConfinedResult CConfinedRun::Run(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir, Confinement how,
                                 const std::vector<std::string>& seeds) {
  ConfinedResult result;
  const bool mount = CanMount();
  if (!mount && how == Confinement::kReadOnly && geteuid() == 0) return result;
  const std::string out = MakeDir("confined");
  result.copies = out + "/copies";
  if (mkdir(result.copies.c_str(), 0700) != 0) return result;

  std::vector<std::string> argv;
  if (mount) argv = {"unshare", "-rm"};
  argv.insert(argv.end(), {"sh", "-c", mount ? kMountScript : kLimitScript, "sh", dir,
                           how == Confinement::kFull ? "full" : "ro", out});
  argv.insert(argv.end(), seeds.begin(), seeds.end());
  argv.push_back("--");
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  if (RunArgv(argv) != 0 || !Exists(out + "/status")) return result;

  result.ran = true;
  result.status = std::stoi(ReadFile(out + "/status"));
  result.errors = ReadFile(out + "/errors");
  result.left = Lines(ReadFile(out + "/left"));
  return result;
}
