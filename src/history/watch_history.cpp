#include "history/watch_history.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <utility>

namespace korvane {

namespace {

// File names repeat in every pass: each is stored once. The verifications have an index of their
// own, so that a site never verified is not searched to its first pass for its last one. A pass's
// files are keyed by the pass, without a row id of their own, which keeps a year of a large site
// small.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS site(id INTEGER PRIMARY KEY, server TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS pass(id INTEGER PRIMARY KEY, site INTEGER NOT NULL, at INTEGER NOT NULL,
    kind INTEGER NOT NULL, ok INTEGER NOT NULL, cause TEXT, response_ms INTEGER,
    cert_not_after INTEGER, files INTEGER NOT NULL, failures INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS pass_by_site ON pass(site, at);
CREATE INDEX IF NOT EXISTS verification_by_site ON pass(site, at) WHERE kind = 0;
CREATE TABLE IF NOT EXISTS file_name(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS file_result(pass INTEGER NOT NULL, file INTEGER NOT NULL,
    status INTEGER NOT NULL, connect_ms INTEGER NOT NULL, first_byte_ms INTEGER NOT NULL,
    end_ms INTEGER NOT NULL, verdict INTEGER NOT NULL, position INTEGER, cause TEXT, digest TEXT,
    PRIMARY KEY(pass, file)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS rules(server TEXT PRIMARY KEY, page TEXT NOT NULL,
    must_contain TEXT NOT NULL, must_not_contain TEXT NOT NULL, response_limit_ms INTEGER NOT NULL,
    failures INTEGER NOT NULL, recovery INTEGER NOT NULL, alert_on_change INTEGER NOT NULL);
)sql";

// A prepared statement, finalized however the call ends.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    Statement& Bind(int at, std::int64_t value) {
        sqlite3_bind_int64(m_stmt, at, value);
        return *this;
    }
    Statement& Bind(int at, std::string_view text) {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindNull(int at) {
        sqlite3_bind_null(m_stmt, at);
        return *this;
    }
    Statement& BindText(int at, std::string_view text) {
        return text.empty() ? BindNull(at) : Bind(at, text);
    }
    Statement& BindBlob(int at, std::string_view bytes) {
        sqlite3_bind_blob(m_stmt, at, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW or SQLITE_DONE; anything else is an error.
    int Step() { return m_stmt != nullptr ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool Run() {
        const int rc = Step();
        sqlite3_reset(m_stmt);
        return rc == SQLITE_DONE || rc == SQLITE_ROW;
    }
    void Reset() {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    bool IsBlob(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_BLOB; }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(m_stmt, column);
        return text != nullptr
                   ? std::string(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
                   : std::string();
    }

  private:
    sqlite3_stmt* m_stmt = nullptr;
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The id of a row keyed by one text column, made when it is not there yet.
std::optional<std::int64_t> IdOf(sqlite3* db, std::string_view key, Statement& find,
                                 Statement& add) {
    find.Reset();
    find.Bind(1, key);
    if (find.Step() == SQLITE_ROW) {
        const std::int64_t id = find.Int(0);
        find.Reset();
        return id;
    }
    find.Reset();
    add.Reset();
    if (!add.Bind(1, key).Run())
        return std::nullopt;
    return sqlite3_last_insert_rowid(db);
}

// A digest is kept as its 32 bytes, half the room of its hex text: on a page checked every
// minute it is most of a year's file rows.
std::optional<std::string> BytesOfHex(std::string_view hex) {
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int high = nibble(hex[i]);
        const int low = nibble(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    if (hex.size() % 2 != 0)
        return std::nullopt;
    return bytes;
}

std::string HexOfBytes(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kHex[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}

constexpr const char* kPassColumns =
    "p.at, p.kind, p.ok, p.cause, p.response_ms, p.cert_not_after, p.files, p.failures";

PassRow RowOf(const Statement& s) {
    PassRow row;
    row.atMs = s.Int(0);
    row.kind = s.Int(1) == 0 ? PassKind::Verification : PassKind::Check;
    row.ok = s.Int(2) != 0;
    row.cause = s.Text(3);
    row.responseMs = s.IsNull(4) ? -1 : static_cast<int>(s.Int(4));
    if (!s.IsNull(5))
        row.certificateNotAfter = s.Int(5);
    row.files = static_cast<int>(s.Int(6));
    row.failures = static_cast<int>(s.Int(7));
    return row;
}

} // namespace

WatchHistory::WatchHistory(std::string path) : m_path(std::move(path)) {}

WatchHistory::~WatchHistory() {
    if (m_db != nullptr)
        sqlite3_close(m_db);
}

bool WatchHistory::Open() {
    std::lock_guard lock(m_mutex);
    return OpenLocked();
}

bool WatchHistory::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_db != nullptr;
}

std::string WatchHistory::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool WatchHistory::OpenLocked() const {
    if (m_db != nullptr)
        return true;
    if (m_tried)
        return false;
    m_tried = true;
    sqlite3* db = nullptr;
    // This object serializes every call itself.
    const int rc =
        sqlite3_open_v2(m_path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    // The write-ahead log lets a report read while a pass writes, and a pass that is cut short
    // leaves the earlier ones whole. NORMAL is safe with it: a power cut may lose the newest pass,
    // never corrupt the file.
    if (rc != SQLITE_OK || sqlite3_busy_timeout(db, 5000) != SQLITE_OK ||
        !Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") || !Exec(db, kSchema)) {
        m_error = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    return true;
}

bool WatchHistory::Record(std::span<const SitePass> pass) {
    std::lock_guard lock(m_mutex);
    if (!OpenLocked())
        return false;
    if (!Exec(m_db, "BEGIN IMMEDIATE")) {
        m_error = sqlite3_errmsg(m_db);
        return false;
    }
    Statement findSite(m_db, "SELECT id FROM site WHERE server = ?");
    Statement addSite(m_db, "INSERT INTO site(server) VALUES (?)");
    Statement findName(m_db, "SELECT id FROM file_name WHERE name = ?");
    Statement addName(m_db, "INSERT INTO file_name(name) VALUES (?)");
    Statement addPass(m_db, "INSERT INTO pass(site, at, kind, ok, cause, response_ms, "
                            "cert_not_after, files, failures) VALUES (?,?,?,?,?,?,?,?,?)");
    Statement addFile(m_db, "INSERT OR REPLACE INTO file_result(pass, file, status, connect_ms, "
                            "first_byte_ms, end_ms, verdict, position, cause, digest) "
                            "VALUES (?,?,?,?,?,?,?,?,?,?)");
    bool ok = findSite.Ok() && addSite.Ok() && findName.Ok() && addName.Ok() && addPass.Ok() &&
              addFile.Ok();
    for (const SitePass& site : pass) {
        if (!ok)
            break;
        const auto siteId = IdOf(m_db, site.server, findSite, addSite);
        std::int64_t answered = 0;
        std::int64_t firstByteTotal = 0;
        std::int64_t failures = 0;
        for (const FileResult& file : site.files) {
            if (file.firstByteMs >= 0) {
                ++answered;
                firstByteTotal += file.firstByteMs;
            }
            if (!file.cause.empty())
                ++failures;
        }
        addPass.Reset();
        addPass.Bind(1, siteId.value_or(0))
            .Bind(2, site.atMs)
            .Bind(3, static_cast<std::int64_t>(site.kind))
            .Bind(4, std::int64_t{site.ok ? 1 : 0})
            .BindText(5, site.cause)
            .Bind(7, site.certificateNotAfter.value_or(0))
            .Bind(8, static_cast<std::int64_t>(site.files.size()))
            .Bind(9, failures);
        if (answered > 0)
            addPass.Bind(6, firstByteTotal / answered);
        if (!site.certificateNotAfter)
            addPass.BindNull(7);
        ok = siteId.has_value() && addPass.Run();
        const std::int64_t passId = sqlite3_last_insert_rowid(m_db);
        for (const FileResult& file : site.files) {
            if (!ok)
                break;
            const auto nameId = IdOf(m_db, file.name, findName, addName);
            addFile.Reset();
            addFile.Bind(1, passId)
                .Bind(2, nameId.value_or(0))
                .Bind(3, std::int64_t{file.status})
                .Bind(4, std::int64_t{file.connectMs})
                .Bind(5, std::int64_t{file.firstByteMs})
                .Bind(6, std::int64_t{file.endMs})
                .Bind(7, static_cast<std::int64_t>(file.verdict))
                .BindText(9, file.cause);
            // Whatever is not hex is kept as it came.
            if (const auto bytes = BytesOfHex(file.digest); bytes && !bytes->empty())
                addFile.BindBlob(10, *bytes);
            else
                addFile.BindText(10, file.digest);
            if (file.position >= 0)
                addFile.Bind(8, file.position);
            ok = nameId.has_value() && addFile.Run();
        }
    }
    if (!ok) {
        m_error = sqlite3_errmsg(m_db);
        Exec(m_db, "ROLLBACK");
        return false;
    }
    if (!Exec(m_db, "COMMIT")) {
        m_error = sqlite3_errmsg(m_db);
        Exec(m_db, "ROLLBACK");
        return false;
    }
    m_error.clear();
    return true;
}

bool WatchHistory::Prune(std::int64_t beforeMs) {
    std::lock_guard lock(m_mutex);
    if (!OpenLocked())
        return false;
    Statement files(m_db,
                    "DELETE FROM file_result WHERE pass IN (SELECT id FROM pass WHERE at < ?)");
    Statement passes(m_db, "DELETE FROM pass WHERE at < ?");
    const bool ok = Exec(m_db, "BEGIN IMMEDIATE") && files.Bind(1, beforeMs).Run() &&
                    passes.Bind(1, beforeMs).Run() && Exec(m_db, "COMMIT");
    if (!ok) {
        m_error = sqlite3_errmsg(m_db);
        Exec(m_db, "ROLLBACK");
    }
    return ok;
}

WatchRules WatchHistory::RulesFor(std::string_view server) const {
    std::lock_guard lock(m_mutex);
    WatchRules rules;
    if (!OpenLocked())
        return rules;
    Statement s(m_db, "SELECT page, must_contain, must_not_contain, response_limit_ms, failures, "
                      "recovery, alert_on_change FROM rules WHERE server = ?");
    if (s.Bind(1, server).Step() == SQLITE_ROW) {
        rules.page = s.Text(0);
        rules.mustContain = s.Text(1);
        rules.mustNotContain = s.Text(2);
        rules.responseLimitMs = static_cast<int>(s.Int(3));
        rules.failuresBeforeAlert = static_cast<int>(s.Int(4));
        rules.recoveryMail = s.Int(5) != 0;
        rules.alertOnChange = s.Int(6) != 0;
    }
    return rules;
}

bool WatchHistory::SetRules(std::string_view server, const WatchRules& rules) {
    std::lock_guard lock(m_mutex);
    if (!OpenLocked())
        return false;
    Statement s(m_db, "INSERT OR REPLACE INTO rules(server, page, must_contain, must_not_contain, "
                      "response_limit_ms, failures, recovery, alert_on_change) "
                      "VALUES (?,?,?,?,?,?,?,?)");
    s.Bind(1, server)
        .Bind(2, rules.page)
        .Bind(3, rules.mustContain)
        .Bind(4, rules.mustNotContain)
        .Bind(5, std::int64_t{rules.responseLimitMs})
        .Bind(6, std::int64_t{rules.failuresBeforeAlert})
        .Bind(7, std::int64_t{rules.recoveryMail ? 1 : 0})
        .Bind(8, std::int64_t{rules.alertOnChange ? 1 : 0});
    const bool ok = s.Run();
    if (!ok)
        m_error = sqlite3_errmsg(m_db);
    return ok;
}

std::vector<PassRow> WatchHistory::Passes(std::string_view server, std::int64_t fromMs,
                                          std::int64_t toMs) const {
    std::lock_guard lock(m_mutex);
    std::vector<PassRow> rows;
    if (!OpenLocked())
        return rows;
    const std::string sql = std::string("SELECT ") + kPassColumns +
                            " FROM pass p JOIN site s ON p.site = s.id WHERE s.server = ? "
                            "AND p.at >= ? AND p.at < ? ORDER BY p.at";
    Statement s(m_db, sql.c_str());
    s.Bind(1, server).Bind(2, fromMs).Bind(3, toMs);
    while (s.Step() == SQLITE_ROW)
        rows.push_back(RowOf(s));
    return rows;
}

std::optional<PassRow> WatchHistory::PassBefore(std::string_view server,
                                                std::int64_t beforeMs) const {
    return NewestBefore(server, beforeMs, "");
}

std::optional<PassRow> WatchHistory::LastVerification(std::string_view server,
                                                      std::int64_t beforeMs) const {
    return NewestBefore(server, beforeMs, " AND p.kind = 0");
}

std::optional<PassRow> WatchHistory::NewestBefore(std::string_view server, std::int64_t beforeMs,
                                                  std::string_view condition) const {
    std::lock_guard lock(m_mutex);
    if (!OpenLocked())
        return std::nullopt;
    const std::string sql = std::string("SELECT ") + kPassColumns +
                            " FROM pass p JOIN site s ON p.site = s.id WHERE s.server = ? "
                            "AND p.at < ?" +
                            std::string(condition) + " ORDER BY p.at DESC LIMIT 1";
    Statement s(m_db, sql.c_str());
    if (s.Bind(1, server).Bind(2, beforeMs).Step() == SQLITE_ROW)
        return RowOf(s);
    return std::nullopt;
}

std::optional<std::string> WatchHistory::LastDigest(std::string_view server,
                                                    std::string_view file) const {
    std::lock_guard lock(m_mutex);
    if (!OpenLocked())
        return std::nullopt;
    Statement s(m_db, "SELECT f.digest FROM pass p JOIN site s ON p.site = s.id "
                      "JOIN file_result f ON f.pass = p.id "
                      "JOIN file_name n ON f.file = n.id "
                      "WHERE s.server = ? AND n.name = ? AND f.digest IS NOT NULL "
                      "ORDER BY p.at DESC LIMIT 1");
    if (s.Bind(1, server).Bind(2, file).Step() == SQLITE_ROW)
        return s.IsBlob(0) ? HexOfBytes(s.Text(0)) : s.Text(0);
    return std::nullopt;
}

std::int64_t WatchHistory::SizeOnDisk() const {
    std::int64_t total = 0;
    for (const char* suffix : {"", "-wal"}) {
        struct stat st {};
        if (::stat((m_path + suffix).c_str(), &st) == 0)
            total += st.st_size;
    }
    return total;
}

} // namespace korvane
