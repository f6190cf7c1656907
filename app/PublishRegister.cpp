#include "app/PublishRegister.h"

#include "platform/Directories.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Long enough for sixteen senders recording at once on a slow disk.
constexpr int kBusyTimeoutMs = 15000;

const char* const kColumns =
    "id, name, file_root, url, size, source, pointer, time, transforms, state, ended, inode,"
    " modified, sender";

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS published ("
    " id INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL,"
    " file_root TEXT NOT NULL,"
    " url TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " source TEXT NOT NULL,"
    " pointer TEXT NOT NULL,"
    " time INTEGER NOT NULL,"
    " transforms TEXT NOT NULL,"
    " state TEXT NOT NULL DEFAULT '',"
    " ended INTEGER NOT NULL DEFAULT 0,"
    " inode INTEGER NOT NULL DEFAULT 0,"
    " modified INTEGER NOT NULL DEFAULT 0,"
    " sender INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS published_name ON published (file_root, name);"
    "CREATE TABLE IF NOT EXISTS roots ("
    " file_root TEXT PRIMARY KEY,"
    " proven INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS pages ("
    " file_root TEXT NOT NULL,"
    " stem TEXT NOT NULL,"
    " published INTEGER NOT NULL,"
    " PRIMARY KEY (file_root, stem))";

// Registers made before sends were recorded while under way lack the column.
const char* const kAddSender = "ALTER TABLE published ADD COLUMN sender INTEGER NOT NULL DEFAULT 0";

// A prepared statement, finalized when it goes.
class CStatement {
 public:
  CStatement(sqlite3* db, const std::string& sql) {
    m_code = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr);
  }
  ~CStatement() { sqlite3_finalize(m_statement); }
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;

  int Code() const { return m_code; }
  void Bind(int index, const std::string& text) {
    if (m_code == SQLITE_OK) {
      m_code = sqlite3_bind_text(m_statement, index, text.c_str(), -1, SQLITE_TRANSIENT);
    }
  }
  void Bind(int index, int64_t number) {
    if (m_code == SQLITE_OK) m_code = sqlite3_bind_int64(m_statement, index, number);
  }
  // SQLITE_ROW, SQLITE_DONE or the failure.
  int Step() { return m_code == SQLITE_OK ? sqlite3_step(m_statement) : m_code; }
  std::string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  int64_t Number(int column) const { return sqlite3_column_int64(m_statement, column); }

 private:
  sqlite3_stmt* m_statement = nullptr;
  int m_code;
};

PublishedFile ReadRow(const CStatement& row) {
  PublishedFile file;
  file.id = row.Number(0);
  file.name = row.Text(1);
  file.fileRoot = row.Text(2);
  file.url = row.Text(3);
  file.size = row.Number(4);
  file.source = row.Text(5);
  file.pointer = row.Text(6);
  file.time = row.Number(7);
  file.transforms = row.Text(8);
  file.state = row.Text(9);
  file.ended = row.Number(10);
  file.inode = row.Number(11);
  file.modified = row.Number(12);
  file.sender = row.Number(13);
  return file;
}

}  // namespace

std::string CPublishRegister::DefaultPath() {
  return UserDataDirectory() + "/Marrow/Quiver/Published.db";
}

CPublishRegister::CPublishRegister(std::string path) : m_path(std::move(path)) {}

CPublishRegister::~CPublishRegister() { sqlite3_close(m_db); }

bool CPublishRegister::Open() {
  if (m_db) return true;
  // The register names private paths: nobody else may read it.
  CreateParentDirectories(m_path);
  const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) close(fd);
  const int code =
      sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (code != SQLITE_OK) {
    Fail(code);
    sqlite3_close(m_db);
    m_db = nullptr;
    return false;
  }
  sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
  // In WAL mode NORMAL keeps the register whole through any crash and
  // syncs only at checkpoints, which every close makes; FULL would wait
  // for the disk at every commit of every send.
  if (Execute("PRAGMA journal_mode=WAL") && Execute("PRAGMA synchronous=NORMAL") &&
      Execute(kSchema)) {
    // Fails harmlessly where the column exists.
    sqlite3_exec(m_db, kAddSender, nullptr, nullptr, nullptr);
    return true;
  }
  sqlite3_close(m_db);
  m_db = nullptr;
  return false;
}

bool CPublishRegister::Execute(const char* sql) {
  const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
  return code == SQLITE_OK || Fail(code);
}

bool CPublishRegister::Fail(int code) {
  const std::string reason = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
  switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      m_error = "The register of published files " + m_path + " is damaged (" + reason +
                "); move it aside and Quiver starts a new one.";
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      m_error = "The register of published files " + m_path + " is locked by another program (" +
                reason + "); try again later.";
      break;
    default:
      m_error = "The register of published files " + m_path + " cannot be used (" + reason + ").";
  }
  return false;
}

bool CPublishRegister::Add(PublishedFile& file) {
  if (!Open()) return false;
  CStatement insert(
      m_db,
      "INSERT INTO published (name, file_root, url, size, source, pointer, time,"
      " transforms, inode, modified, state, sender)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  insert.Bind(1, file.name);
  insert.Bind(2, file.fileRoot);
  insert.Bind(3, file.url);
  insert.Bind(4, file.size);
  insert.Bind(5, file.source);
  insert.Bind(6, file.pointer);
  insert.Bind(7, file.time);
  insert.Bind(8, file.transforms);
  insert.Bind(9, file.inode);
  insert.Bind(10, file.modified);
  insert.Bind(11, file.state);
  insert.Bind(12, file.sender);
  // One statement outside an explicit transaction is one transaction.
  const int code = insert.Step();
  if (code != SQLITE_DONE) return Fail(code);
  file.id = sqlite3_last_insert_rowid(m_db);
  return true;
}

bool CPublishRegister::Select(const char* where, const std::vector<std::string>& texts,
                              std::optional<int64_t> number, std::vector<PublishedFile>& out) {
  out.clear();
  if (!Open()) return false;
  CStatement query(m_db, std::string("SELECT ") + kColumns + " FROM published " + where);
  int index = 1;
  for (const std::string& text : texts) query.Bind(index++, text);
  if (number) query.Bind(index, *number);
  int code;
  while ((code = query.Step()) == SQLITE_ROW) out.push_back(ReadRow(query));
  return code == SQLITE_DONE || Fail(code);
}

bool CPublishRegister::List(std::vector<PublishedFile>& out) {
  return Select("ORDER BY time DESC, id DESC", {}, std::nullopt, out);
}

bool CPublishRegister::Due(int64_t cutoff, std::vector<PublishedFile>& out) {
  return Select("WHERE state = '' AND time < ?1 ORDER BY time, id", {}, cutoff, out);
}

bool CPublishRegister::Unfinished(std::vector<PublishedFile>& out) {
  return Select("WHERE state IN (?1, ?2) ORDER BY time, id", {kUnfinished, kClaimed},
                std::nullopt, out);
}

bool CPublishRegister::Change(const char* sql, const std::vector<std::string>& texts,
                              const std::vector<int64_t>& numbers) {
  if (!Open()) return false;
  CStatement statement(m_db, sql);
  int index = 1;
  for (const std::string& text : texts) statement.Bind(index++, text);
  for (const int64_t number : numbers) statement.Bind(index++, number);
  const int code = statement.Step();
  return code == SQLITE_DONE || Fail(code);
}

bool CPublishRegister::Update(const PublishedFile& file) {
  return Change(
      "UPDATE published SET name = ?1, file_root = ?2, url = ?3, source = ?4, pointer = ?5,"
      " transforms = ?6, state = ?7, size = ?8, time = ?9, inode = ?10, modified = ?11,"
      " sender = ?12 WHERE id = ?13",
      {file.name, file.fileRoot, file.url, file.source, file.pointer, file.transforms, file.state},
      {file.size, file.time, file.inode, file.modified, file.sender, file.id});
}

bool CPublishRegister::Forget(int64_t id) {
  return Change("DELETE FROM published WHERE id = ?1", {}, {id});
}

bool CPublishRegister::Remembers(const std::string& fileRoot, const std::string& name,
                                 bool& known) {
  if (!Open()) return false;
  CStatement query(m_db, "SELECT 1 FROM published WHERE file_root = ?1 AND name = ?2 LIMIT 1");
  query.Bind(1, fileRoot);
  query.Bind(2, name);
  const int code = query.Step();
  known = code == SQLITE_ROW;
  return code == SQLITE_ROW || code == SQLITE_DONE || Fail(code);
}

bool CPublishRegister::IsProven(const std::string& fileRoot, bool& proven) {
  if (!Open()) return false;
  CStatement query(m_db, "SELECT proven FROM roots WHERE file_root = ?1");
  query.Bind(1, fileRoot);
  const int code = query.Step();
  proven = code == SQLITE_ROW;
  return code == SQLITE_ROW || code == SQLITE_DONE || Fail(code);
}

bool CPublishRegister::Prove(const std::string& fileRoot, int64_t when) {
  return Change("INSERT OR REPLACE INTO roots (file_root, proven) VALUES (?1, ?2)", {fileRoot},
                {when});
}

bool CPublishRegister::HasPage(const std::string& fileRoot, const std::string& stem, bool& has) {
  if (!Open()) return false;
  CStatement query(m_db, "SELECT published FROM pages WHERE file_root = ?1 AND stem = ?2");
  query.Bind(1, fileRoot);
  query.Bind(2, stem);
  const int code = query.Step();
  has = code == SQLITE_ROW;
  return code == SQLITE_ROW || code == SQLITE_DONE || Fail(code);
}

bool CPublishRegister::AddPage(const std::string& fileRoot, const std::string& stem,
                               int64_t when) {
  return Change("INSERT OR REPLACE INTO pages (file_root, stem, published) VALUES (?1, ?2, ?3)",
                {fileRoot, stem}, {when});
}

bool CPublishRegister::Find(const std::string& key, std::vector<PublishedFile>& out) {
  return Select("WHERE state = '' AND (url = ?1 OR name = ?2) ORDER BY time, id", {key, key},
                std::nullopt, out);
}

bool CPublishRegister::Mark(int64_t id, const std::string& state, int64_t when) {
  return Change("UPDATE published SET state = ?1, ended = ?2 WHERE id = ?3", {state}, {when, id});
}
