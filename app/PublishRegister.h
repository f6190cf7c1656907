#pragma once
// The register of published files: one row for every successful send, kept
// in an SQLite database below ${XDG_DATA_HOME:-$HOME/.local/share}/Marrow/Quiver/.
// An entry that was expired or removed stays, marked, so the sender can still
// see what was out there and when it went.
//
// The database runs in WAL mode with a busy timeout, and each change is one
// transaction, so many Quiver processes may record at the same time.
// Every operation returns false on failure and leaves a sentence a person can
// act on in Error(): a damaged file, a database locked for longer than the
// busy timeout, or any other SQLite failure, each naming the file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// One published file as the register knows it.
struct PublishedFile {
  int64_t id = 0;
  std::string name;      // the file's name in FileRoot
  std::string fileRoot;  // FileRoot at the time of the send, ending in "/"
  std::string url;
  int64_t size = 0;        // bytes of the published file
  int64_t inode = 0;       // its inode number and modification time in
  int64_t modified = 0;    // nanoseconds: which file it is (0 when unknown)
  std::string source;      // the file that was sent
  std::string pointer;     // the pointer file written for it
  int64_t time = 0;        // when it was published, seconds since the epoch
  std::string transforms;  // such as "LZ (Lempel-Ziv) + Simple", or "None"
  std::string state;       // empty while published, else one of the states below
  int64_t ended = 0;       // when it was expired or removed
  int64_t sender = 0;      // the process id of a send under way (kClaimed)
};

class CPublishRegister {
 public:
  static constexpr const char* kExpired = "expired";
  static constexpr const char* kRemoved = "removed";
  // A failed send to a server that could not remove what it had written
  // there: the name to remove once the server answers again.
  static constexpr const char* kUnfinished = "unfinished";
  // A send under way: `name` is the upload's work name, recorded before
  // anything is written, so that what a killed sender leaves is known.
  static constexpr const char* kClaimed = "claimed";

  // ${XDG_DATA_HOME:-$HOME/.local/share}/Marrow/Quiver/Published.db; an
  // XDG_DATA_HOME that is not absolute does not count.
  static std::string DefaultPath();

  explicit CPublishRegister(std::string path = DefaultPath());
  ~CPublishRegister();
  CPublishRegister(const CPublishRegister&) = delete;
  CPublishRegister& operator=(const CPublishRegister&) = delete;

  // Opens the database, creating its directories (mode 0700), the file (mode
  // 0600) and its table when they are missing. False when it cannot be
  // opened, is damaged, or stays locked past the busy timeout.
  bool Open();
  // Records `file`, in its state, in one transaction; its id becomes the
  // new row's.
  bool Add(PublishedFile& file);
  // Every entry, the newest first.
  bool List(std::vector<PublishedFile>& out);
  // The entries still published that were published before `cutoff`.
  bool Due(int64_t cutoff, std::vector<PublishedFile>& out);
  // The entries in state kUnfinished or kClaimed, the oldest first.
  bool Unfinished(std::vector<PublishedFile>& out);
  // Replaces entry `file.id` by `file`.
  bool Update(const PublishedFile& file);
  // Deletes entry `id`.
  bool Forget(int64_t id);
  // Whether any entry, in any state, names the file `name` of `fileRoot`.
  bool Remembers(const std::string& fileRoot, const std::string& name, bool& known);
  // Whether `fileRoot` was found to create exclusively (CPublishRoot::
  // CheckExclusive), and recording that it was.
  bool IsProven(const std::string& fileRoot, bool& proven);
  bool Prove(const std::string& fileRoot, int64_t when);
  // Whether the receive page of `stem` (app/ReceivePage.h) was published
  // into `fileRoot`, and recording that it was.
  bool HasPage(const std::string& fileRoot, const std::string& stem, bool& has);
  bool AddPage(const std::string& fileRoot, const std::string& stem, int64_t when);
  // The entries still published whose URL or name is `key`.
  bool Find(const std::string& key, std::vector<PublishedFile>& out);
  // Marks entry `id` as ended in `state` (kExpired or kRemoved) at `when`.
  bool Mark(int64_t id, const std::string& state, int64_t when);

  const std::string& Path() const { return m_path; }
  // Why the last operation failed, as one sentence naming the file.
  const std::string& Error() const { return m_error; }

 private:
  bool Execute(const char* sql);
  // Runs `sql` with `texts` and then `numbers` as its parameters.
  bool Change(const char* sql, const std::vector<std::string>& texts,
              const std::vector<int64_t>& numbers);
  // The entries matching `where`, whose parameters are `texts` and then
  // `number`.
  bool Select(const char* where, const std::vector<std::string>& texts,
              std::optional<int64_t> number, std::vector<PublishedFile>& out);
  bool Fail(int code);

  std::string m_path;
  sqlite3* m_db = nullptr;
  std::string m_error;
};
