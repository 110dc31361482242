#include "compare/comparison.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace korvane {

namespace {

constexpr const char* kTealTag = "<font style=\"background : #C0C0C0\" color=\"#008080\" >";
constexpr const char* kRedTag = "<font style=\"background : #C0C0C0\" color=\"#FF0000\" >";
constexpr const char* kBlueTag = "<font style=\"background : #C0C0C0\" color=\"#0000FF\" >";
constexpr const char* kEndTag = "</font>";

constexpr const char* kFrameset[] = {
    "<HTML>  \r\n",
    "<HEAD>  \r\n",
    "<TITLE>File Comparison</TITLE> \r\n",
    "</HEAD> \r\n",
    "<FRAMESET COLS=50%,50% FRAMEBORDER=0 BORDER=no FRAMESPACING=0> \r\n",
    "<FRAME name=left SRC=fa.html SCROLLING=yes /> \r\n",
    "<FRAME name=right SRC=fb.html SCROLLING=yes /> \r\n",
    "</FRAMESET> \r\n",
    "</HTML> \r\n",
};

// Each page scrolls the other frame to its own position.
std::string PageHead(bool left) {
    std::string head;
    head += "   <html>\t\t\t\t\t\t\t\t\t\r\n";
    head += "   <script>\t\t\t\t\t\t\t\t\t\r\n";
    head += "   function myScroll()\t\t\t\t\t\t\r\n";
    head += "   {\t\t\t\t\t\t\t\t\t\t\t\r\n";
    head += "    if (document.layers) {//for netscape\t\t\r\n";
    head += "   \t x  = window.pageXOffset;\t\t\t\t\r\n";
    head += "      y  = window.pageYOffset;\t\t\t\t\r\n";
    head += "    }      \t\t\t\t\t\t\t\t\t\r\n";
    head += "    else if (document.all) {//for IE\t\t\t\r\n";
    head += "\t\t x = document.body.scrollLeft;\t\t\t\r\n";
    head += "      y = document.body.scrollTop;\t\t\t\r\n";
    head += "    }     \t\t\t\t\t\t\t\t\t\r\n";
    head += left ? "    parent.right.scrollTo(x,y);\t\t\t\t\r\n"
                 : "    parent.left.scrollTo(x,y);\t\t\t\t\r\n";
    head += "   }     \t\t\t\t\t\t\t\t\t\r\n";
    head += "   </script>\t\t\t\t\t\t\t\t\t\r\n";
    head += "   <script language=JavaScript><!--\t\t\r\n";
    head += "   if (document.layers) {\t\t\t\t\t\r\n";
    head += "   document.captureEvents(Event.MOUSEMOVE);\t\r\n";
    head += "   document.onmousemove = myScroll;\t\t\t\r\n";
    head += "   }      \t\t\t\t\t\t\t\t\t\r\n";
    head += "   //--></script>\t\t\t\t\t\t\t\r\n";
    head += "   <body onscroll=myScroll()>\t\t\t\t\r\n";
    head += left ? "   <form name=leftform>\t\t\t\t\t\t\r\n"
                 : "   <form name=rightform> \t\t\t\t\t\r\n";
    head += left ? "   <pre> \t\t\t\t\t\t\t\t\t\r\n" : "   <pre>\t\t\t\t\t\t\t\t\t\t\r\n";
    return head;
}

const char* kPageTail = "   </pre>\t\t\t\t\t\t\t\t\t\r\n"
                        "   </form>\t\t\t\t\t\t\t\t\t\r\n"
                        "   </body>\t\t\t\t\t\t\t\t\t\r\n"
                        "   </html>\t\t\t\t\t\t\t\t\t\r\n";

// Only "<" is escaped: the pages show the files' text, not their markup.
void AppendRow(BlockWriter& page, std::string_view prefix, std::string_view text = {}) {
    page.Append(prefix);
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('<', from)) != std::string_view::npos; from = at + 1) {
        page.Append(text.substr(from, at - from));
        page.Append("&lt;");
    }
    page.Append(text.substr(from));
    page.Append("\r\n");
}

// One bit per cell of the decision table.
class DecisionBits {
  public:
    DecisionBits(std::size_t rows, std::size_t columns)
        : m_columns(columns), m_bits((rows * columns + 63) / 64, 0) {}
    void Set(std::size_t i, std::size_t j) {
        const std::size_t bit = i * m_columns + j;
        m_bits[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    bool Get(std::size_t i, std::size_t j) const {
        const std::size_t bit = i * m_columns + j;
        return (m_bits[bit / 64] >> (bit % 64)) & 1;
    }

  private:
    std::size_t m_columns;
    std::vector<std::uint64_t> m_bits;
};

std::uint64_t FileSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return UINT64_MAX; // an unreadable size never wins the left side
    return static_cast<std::uint64_t>(status.st_size);
}

std::string ReadWhole(int fd) {
    // Sized from the file first, so that a large file is read without growing copies.
    struct stat status {};
    std::size_t expected = 0;
    if (::fstat(fd, &status) == 0 && status.st_size > 0)
        expected = static_cast<std::size_t>(status.st_size);
    std::string bytes(expected + 1, '\0');
    std::size_t length = 0;
    for (std::size_t n; (n = ReadUpTo(fd, bytes.data() + length, bytes.size() - length)) > 0;) {
        length += n;
        if (length == bytes.size()) // it grew meanwhile
            bytes.resize(bytes.size() * 2);
    }
    bytes.resize(length);
    return bytes;
}

// A page file written as it is built; a page that cannot be written is lost without a message,
// the others still are.
class PageFile {
  public:
    explicit PageFile(const std::string& path)
        : m_file(OpenForRewrite(path)), m_writer(m_file.Get()) {}
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;
    ~PageFile() {
        if (m_writer.Flush() && m_file.IsOpen())
            FinishRewrite(m_file.Get());
    }
    BlockWriter& Page() { return m_writer; }

  private:
    FileDescriptor m_file;
    BlockWriter m_writer;
};

} // namespace

namespace {

// The lines of a file as views into its bytes, each at most 1023 characters.
std::vector<std::string_view> SplitLineViews(std::string_view bytes) {
    std::vector<std::string_view> lines;
    // Room for lines of a usual length: counting them first would cost a pass of its own.
    lines.reserve(bytes.size() / 32 + 1);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(
                bytes.substr(start, std::min(bytes.size() - start, kComparisonLineMaxChars)));
            return lines;
        }
        std::size_t length = end - start;
        if (length > 0 && bytes[end - 1] == '\r')
            --length;
        lines.push_back(bytes.substr(start, std::min(length, kComparisonLineMaxChars)));
        start = end + 1;
    }
}

std::int32_t KeyOf(std::string_view line) {
    std::uint32_t key = 0; // unsigned arithmetic wraps exactly as the signed sum is meant to
    std::uint32_t position = 0;
    // Without a branch per character: a blank adds nothing and does not count as a position,
    // and text of words and blanks would make a branch mispredict all the time.
    for (char c : line) {
        const std::uint32_t counted = c != ' ';
        const auto value =
            static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
        position += counted;
        key += position * (value & (0u - counted));
    }
    return static_cast<std::int32_t>(key);
}

} // namespace

std::vector<std::string> SplitComparisonLines(const std::string& bytes) {
    const auto views = SplitLineViews(bytes);
    return {views.begin(), views.end()};
}

std::vector<std::string> ReadComparisonLines(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return {};
    return SplitComparisonLines(ReadWhole(file.Get()));
}

std::int32_t ComparisonLineKey(const std::string& line) {
    return KeyOf(line);
}

LinePairs MatchLinesByTable(const std::int32_t* left, std::size_t n, const std::int32_t* right,
                            std::size_t m) {
    LinePairs pairs;
    if (n == 0 || m == 0)
        return pairs;
    DecisionBits passLeft(n, m);
    std::vector<std::uint32_t> current(m + 2, 0);
    std::vector<std::uint32_t> next(m + 2, 0);
    for (std::size_t i = n; i-- > 0;) {
        std::swap(current, next);
        std::fill(current.begin(), current.end(), 0);
        for (std::size_t j = m; j-- > 0;) {
            if (left[i] == right[j]) {
                current[j] = next[j + 1] + 1;
            } else if (next[j] > current[j + 1]) {
                current[j] = next[j];
                passLeft.Set(i, j);
            } else {
                current[j] = current[j + 1];
            }
        }
    }
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (left[i] == right[j])
            pairs.emplace_back(i++, j++);
        else if (passLeft.Get(i, j))
            ++i;
        else
            ++j;
    }
    return pairs;
}

namespace {

// Which of the two files hold each key, with a number per key for whoever needs one: an
// open-addressing table.
class KeySides {
  public:
    static constexpr std::uint8_t kLeft = 1;
    static constexpr std::uint8_t kRight = 2;
    static constexpr std::uint8_t kBoth = kLeft | kRight;

    explicit KeySides(std::size_t keys) {
        // At most three quarters full even when every key differs.
        while ((std::size_t{1} << m_bits) < keys + keys / 3 + 16)
            ++m_bits;
        m_slots.resize(std::size_t{1} << m_bits);
    }
    struct Slot {
        std::int32_t key = 0;
        std::uint8_t sides = 0; // none: the slot is free
        std::uint32_t number = 0;
    };
    void Add(std::int32_t key, std::uint8_t side) { Find(key).sides |= side; }
    Slot& Find(std::int32_t key) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t at = (static_cast<std::uint32_t>(key) * 0x9E3779B1u) >> (32 - m_bits);
        for (;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.sides == 0) {
                slot.key = key;
                return slot;
            }
            if (slot.key == key)
                return slot;
        }
    }

  private:
    unsigned m_bits = 4;
    std::vector<Slot> m_slots;
};

// A line whose key the other file lacks is never paired, and the common lengths of any two
// suffixes are those of the files without such lines. Both ways of answering the walk work on
// these shortened files, reversed, so that suffixes read as prefixes, with the keys numbered from
// 0 and an end mark after each file that matches nothing. Beside them, 7 bits of each number,
// small enough to stay in the cache: a mismatch is mostly seen there.
struct Shortened {
    Shortened(const std::int32_t* left, std::size_t n, const std::int32_t* right, std::size_t m)
        : pairableLeft(n), pairableRight(m) {
        KeySides sides(n + m);
        for (std::size_t i = 0; i < n; ++i)
            sides.Add(left[i], KeySides::kLeft);
        for (std::size_t j = 0; j < m; ++j)
            sides.Add(right[j], KeySides::kRight);
        // The number of a key in both files, or nothing.
        auto number = [&](std::int32_t key) -> std::optional<std::int32_t> {
            KeySides::Slot& slot = sides.Find(key);
            if (slot.sides != KeySides::kBoth)
                return std::nullopt;
            if (slot.number == 0)
                slot.number = ++keys;
            return static_cast<std::int32_t>(slot.number - 1);
        };
        for (std::size_t i = n; i-- > 0;)
            if (const auto given = number(left[i]); (pairableLeft[i] = given.has_value()))
                a.push_back(*given);
        for (std::size_t j = m; j-- > 0;)
            if (const auto given = number(right[j]); (pairableRight[j] = given.has_value()))
                b.push_back(*given);
        N = a.size();
        M = b.size();
        a.push_back(-1);
        b.push_back(-2);
        for (auto [whole, low, end] : {std::tuple{&a, &aLow, 0x80}, std::tuple{&b, &bLow, 0x81}}) {
            low->reserve(whole->size());
            for (std::int32_t id : *whole)
                low->push_back(static_cast<std::uint8_t>(id & 0x7F));
            low->back() = static_cast<std::uint8_t>(end);
        }
    }
    std::vector<bool> pairableLeft;
    std::vector<bool> pairableRight;
    std::vector<std::int32_t> a;
    std::vector<std::int32_t> b;
    std::vector<std::uint8_t> aLow;
    std::vector<std::uint8_t> bLow;
    std::size_t N = 0; // lines in each, without the end marks
    std::size_t M = 0;
    std::uint32_t keys = 0;
};

// Distances (insertions and deletions only) of prefixes of the shortened reversed files, by the
// furthest-reaching method: with x, y the prefix lengths and k = x - y, D(x, y) <= d exactly when
// x <= V_d[k] (d of the parity of k), V_d[k] being the furthest x that d edits reach on diagonal
// k. Row d of V follows from row d - 1 alone, each diagonal from its two neighbours.
class FurthestReach {
  public:
    static constexpr std::int32_t kUnreached = -1;

    // Some diagonals of one row: V[k] for k = low, low + 2, ..., high at x[(k - low) / 2].
    struct Row {
        std::int64_t low = 0;
        std::int64_t high = -1;
        const std::int32_t* x = nullptr;
        std::size_t Size() const {
            return high < low ? 0 : static_cast<std::size_t>(high - low) / 2 + 1;
        }
    };

    explicit FurthestReach(const Shortened& s)
        : m_a(s.a), m_b(s.b), m_aLow(s.aLow), m_bLow(s.bLow), m_n(static_cast<std::int64_t>(s.N)),
          m_m(static_cast<std::int64_t>(s.M)),
          m_latest(static_cast<std::size_t>(m_n + m_m + 3), kUnreached) {}

    // The diagonals of row d that meet the grid and, with `spare` edits left after row d, can
    // still reach the end, narrowed further to [from, to]. A row computed on them reads only
    // diagonals the row before was computed on (with the same spare edits, one more), or ones
    // that stay unreached.
    std::pair<std::int64_t, std::int64_t> Diagonals(std::int64_t d, std::int64_t spare,
                                                    std::int64_t from = INT64_MIN,
                                                    std::int64_t to = INT64_MAX) const {
        std::int64_t low = std::max({-d, -m_m, m_n - m_m - spare, from});
        if ((low + d) % 2 != 0)
            ++low;
        return {low, std::min({d, m_n, m_n - m_m + spare, to})};
    }

    // Row d on diagonals [low, high] from row d - 1, which must be the latest computed or
    // restored there, into `row` when given; true when it reaches the end of both files.
    bool Compute(std::int64_t d, std::int64_t low, std::int64_t high, std::int32_t* row) {
        bool end = false;
        // The two diagonals just outside row d - 1 may hold a later row's reach after a restore.
        if (d + 1 <= m_n + 1)
            V(d + 1) = kUnreached;
        if (-d - 1 >= -m_m - 1)
            V(-d - 1) = kUnreached;
        for (std::int64_t k = low; k <= high; k += 2) {
            std::int64_t x = kUnreached;
            if (d == 0) {
                x = 0;
            } else {
                const std::int64_t down = V(k + 1);
                if (down != kUnreached && down - k <= m_m)
                    x = down; // one more right line used
                const std::int64_t across = V(k - 1);
                if (across != kUnreached && across + 1 <= m_n)
                    x = std::max(x, across + 1); // one more left line used
            }
            if (x != kUnreached) {
                std::int64_t y = x - k;
                while (m_aLow[static_cast<std::size_t>(x)] == m_bLow[static_cast<std::size_t>(y)] &&
                       m_a[static_cast<std::size_t>(x)] == m_b[static_cast<std::size_t>(y)]) {
                    ++x;
                    ++y;
                }
                end = end || (x == m_n && y == m_m);
            }
            V(k) = static_cast<std::int32_t>(x);
            if (row != nullptr)
                row[(k - low) / 2] = static_cast<std::int32_t>(x);
        }
        return end;
    }

    // Makes a kept row the latest, so that the rows after it can be computed again.
    void Restore(const Row& row) {
        for (std::int64_t k = row.low; k <= row.high; k += 2)
            V(k) = row.x[(k - row.low) / 2];
    }

  private:
    std::int32_t& V(std::int64_t k) { return m_latest[static_cast<std::size_t>(k + m_m + 1)]; }

    const std::vector<std::int32_t>& m_a;
    const std::vector<std::int32_t>& m_b;
    const std::vector<std::uint8_t>& m_aLow;
    const std::vector<std::uint8_t>& m_bLow;
    std::int64_t m_n;
    std::int64_t m_m;
    std::vector<std::int32_t> m_latest; // V[k + M + 1], the latest row of each parity
};

// An upper bound on the distance of two files: the count of any pairing bounds it, and a quick
// one reads the files together and at a mismatch goes on where, within a few lines, lines agree
// again, as few lines on as can be. One line agreeing suits most files; a run of three keeps
// files full of repeated lines from going astray. The bound spares the first distance pass the
// diagonals that could not reach the end within it.
std::int64_t DistanceBound(const Shortened& s) {
    constexpr std::size_t kReach = 4;
    const std::vector<std::int32_t>& a = s.a;
    const std::vector<std::int32_t>& b = s.b;
    const std::size_t n = s.N;
    const std::size_t m = s.M;
    std::size_t best = 0;
    for (std::size_t agreeing : {1, 3}) {
        auto agree = [&](std::size_t x, std::size_t y) {
            std::size_t run = 0;
            while (run < agreeing && x + run < n && y + run < m && a[x + run] == b[y + run])
                ++run;
            return run == agreeing || (run > 0 && (x + run == n || y + run == m));
        };
        std::size_t common = 0;
        for (std::size_t x = 0, y = 0; x < n && y < m;) {
            if (a[x] == b[y]) {
                ++common;
                ++x;
                ++y;
                continue;
            }
            bool found = false;
            for (std::size_t on = 1; on <= 2 * kReach && !found; ++on)
                for (std::size_t p = on > kReach ? on - kReach : 0; p <= std::min(on, kReach); ++p)
                    if (x + p < n && y + on - p < m && agree(x + p, y + on - p)) {
                        x += p;
                        y += on - p;
                        found = true;
                        break;
                    }
            if (!found) {
                ++x;
                ++y;
            }
        }
        best = std::max(best, common);
    }
    return static_cast<std::int64_t>(n + m - 2 * best);
}

// The walk asks at each mismatch whether the rest of the left file after this line shares more
// with the right file from here than the reverse. In edit distances of the two suffixes,
// D = rest lengths - 2 x common length, so it passes over the left line exactly when
// D(i + 1, j) < D(i, j + 1); on the walk D(i, j) = d and one neighbour is d - 1, so it passes
// over the right line exactly when D(i, j + 1) = d - 1.
//
// The distances are taken on the shortened files, where files edited here and there differ in
// few lines. The walk still goes line by line through the whole files. Over a right line that
// cannot be paired it always passes (passing keeps every common length); at a right line that
// can, it passes exactly when the distance of the shortened files drops by passing it, whether
// the left line can be paired or not.
//
// The walk reads row d - 1 of V for d falling from the total, the reverse of the order rows are
// computed in. Every K-th row is kept as the rows are first computed; K doubles (and every other
// kept row goes) whenever more than 2K + 1 rows are kept. The rows between two kept ones are
// computed again when the walk comes to them, and then only near the walk: every cell it can
// still visit is on a shortest path, so e edits further on it is at most e diagonals away, and
// the cells a shortest path comes from are on shortest paths too. That second time costs about
// D x K / 2 cells, against the D^2 / 4 or so of the first.
std::optional<LinePairs> WalkByDistance(const std::int32_t* left, std::size_t n,
                                        const std::int32_t* right, std::size_t m,
                                        const Shortened& s, std::size_t maxDistance,
                                        std::size_t firstKeptEvery) {
    using Row = FurthestReach::Row;
    constexpr std::int32_t kUnreached = FurthestReach::kUnreached;
    const auto N = static_cast<std::int64_t>(s.N);
    const auto M = static_cast<std::int64_t>(s.M);
    FurthestReach reach(s);
    const std::int64_t bound = DistanceBound(s);
    auto every = static_cast<std::int64_t>(std::max<std::size_t>(firstKeptEvery, 1));
    std::vector<std::pair<Row, std::unique_ptr<std::int32_t[]>>> kept;
    std::int64_t total = -1;
    for (std::int64_t d = 0; total < 0; ++d) {
        if (static_cast<std::size_t>(d) > maxDistance)
            return std::nullopt;
        const auto [low, high] = reach.Diagonals(d, bound - d);
        std::int32_t* row = nullptr;
        if (d % every == 0) {
            auto& [view, x] = kept.emplace_back(Row{low, high}, nullptr);
            x.reset(new std::int32_t[view.Size()]);
            row = x.get();
            view.x = row;
        }
        if (reach.Compute(d, low, high, row))
            total = d;
        if (kept.size() > static_cast<std::size_t>(2 * every + 1)) {
            for (std::size_t c = 0; 2 * c < kept.size(); ++c)
                kept[c] = std::move(kept[2 * c]);
            kept.resize((kept.size() + 1) / 2);
            every *= 2;
        }
    }

    std::int64_t x = N; // the shortened left suffix from line i on
    std::int64_t y = M;
    std::int64_t d = total;
    std::vector<std::int32_t> between; // rows first + 1 ... of a stretch computed again
    std::vector<Row> betweenRows;
    std::int64_t first = -1;
    auto rowOf = [&](std::int64_t r) -> const Row& {
        if (r % every == 0)
            return kept[static_cast<std::size_t>(r / every)].first;
        if (r / every * every != first) {
            first = r / every * every;
            reach.Restore(kept[static_cast<std::size_t>(first / every)].first);
            const std::int64_t k = x - y;
            betweenRows.clear();
            std::size_t size = 0;
            for (std::int64_t q = first + 1; q < std::min(first + every, d); ++q) {
                const auto [low, high] = reach.Diagonals(q, bound - q, k - (d - q), k + (d - q));
                betweenRows.push_back(Row{low, high});
                size += betweenRows.back().Size();
            }
            between.resize(size);
            std::int32_t* at = between.data();
            for (std::int64_t q = first + 1; q < std::min(first + every, d); ++q) {
                Row& row = betweenRows[static_cast<std::size_t>(q - first - 1)];
                row.x = at;
                reach.Compute(q, row.low, row.high, at);
                at += row.Size();
            }
        }
        return betweenRows[static_cast<std::size_t>(r - first - 1)];
    };
    // Whether passing over the right line keeps the walk on a shortest path: whether the
    // shortened suffixes of lengths x, y - 1 lie within d - 1 edits. A diagonal not computed holds
    // no cell of a shortest path, so there the answer is no.
    auto passRight = [&] {
        if (d < 1)
            return false;
        const Row& row = rowOf(d - 1);
        const std::int64_t k = x - (y - 1);
        if (k < row.low || k > row.high)
            return false;
        const std::int32_t v = row.x[(k - row.low) / 2];
        return v != kUnreached && x <= v;
    };

    LinePairs pairs;
    pairs.reserve(static_cast<std::size_t>(std::min(N, M)));
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (left[i] == right[j]) {
            pairs.emplace_back(i++, j++);
            --x;
            --y;
        } else if (!s.pairableRight[j]) {
            ++j;
        } else if (passRight()) {
            ++j; // pass over the right line
            --y;
            --d;
        } else {
            if (s.pairableLeft[i]) {
                --x;
                --d;
            }
            ++i; // pass over the left line
        }
    }
    return pairs;
}

// The common lengths row by row as bits, by Hyyrö's bit-vector method on the shortened reversed
// files: after x left lines, bit p of the row is 0 exactly when the first p + 1 right lines share
// one line more with them than the first p. In the files' own order, with I, y the shortened
// indices: bit M - 1 - y of row N - I is 0 exactly when L(I, y) > L(I, y + 1), which, at a
// mismatch, is where the table holds its bit to pass over the left line.
//
// The walk reads the rows in the reverse of the order they are computed in, so every K-th row
// is kept (K about the square root of the row count) and the rows between two kept ones are
// computed again when the walk comes to them: time twice N x M / 64 words, memory 2 sqrt(N) rows.
LinePairs WalkByBits(const std::int32_t* left, std::size_t n, const std::int32_t* right,
                     std::size_t m, const Shortened& s, std::size_t rowsPerStretch) {
    const std::size_t N = s.N;
    const std::size_t M = s.M;
    LinePairs pairs;
    if (N == 0 || M == 0)
        return pairs; // no key is in both files
    const std::size_t words = (M + 63) / 64;

    // The right lines of each key, as a list of positions, or as a whole row of bits for a key
    // common enough that setting and clearing its bits would cost more than keeping them.
    const std::uint32_t keys = s.keys;
    std::vector<std::uint32_t> start(keys + 1, 0);
    for (std::size_t p = 0; p < M; ++p)
        ++start[static_cast<std::size_t>(s.b[p]) + 1];
    for (std::uint32_t key = 0; key < keys; ++key)
        start[key + 1] += start[key];
    std::vector<std::uint32_t> positions(M);
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t p = 0; p < M; ++p)
            positions[fill[static_cast<std::size_t>(s.b[p])]++] = static_cast<std::uint32_t>(p);
    }
    const std::size_t common = std::max<std::size_t>(64, M / 256);
    std::vector<std::uint32_t> maskOf(keys, UINT32_MAX);
    std::vector<std::uint64_t> masks;
    for (std::uint32_t key = 0; key < keys; ++key) {
        if (start[key + 1] - start[key] < common)
            continue;
        maskOf[key] = static_cast<std::uint32_t>(masks.size() / words);
        masks.resize(masks.size() + words, 0);
        std::uint64_t* mask = &masks[masks.size() - words];
        for (std::uint32_t at = start[key]; at < start[key + 1]; ++at)
            mask[positions[at] / 64] |= std::uint64_t{1} << (positions[at] % 64);
    }
    std::vector<std::uint64_t> scratch(words, 0);
    // Row x from row x - 1 in place.
    auto advance = [&](std::uint64_t* v, std::size_t x) {
        const auto key = static_cast<std::uint32_t>(s.a[x - 1]);
        const bool listed = maskOf[key] == UINT32_MAX;
        const std::uint64_t* mask = listed ? scratch.data() : &masks[maskOf[key] * words];
        if (listed)
            for (std::uint32_t at = start[key]; at < start[key + 1]; ++at)
                scratch[positions[at] / 64] |= std::uint64_t{1} << (positions[at] % 64);
        bool carry = false;
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t matched = v[w] & mask[w];
            std::uint64_t sum = 0;
            const bool over = __builtin_add_overflow(v[w], matched, &sum);
            carry = __builtin_add_overflow(sum, std::uint64_t{carry}, &sum) || over;
            v[w] = sum | (v[w] & ~mask[w]);
        }
        if (listed)
            for (std::uint32_t at = start[key]; at < start[key + 1]; ++at)
                scratch[positions[at] / 64] = 0;
    };

    std::size_t every = rowsPerStretch;
    if (every == 0)
        while (every * every < N)
            ++every;
    // Rows every, 2 every, ...; row 0 is all ones.
    std::vector<std::uint64_t> kept(N / every * words);
    {
        std::vector<std::uint64_t> v(words, ~std::uint64_t{0});
        for (std::size_t x = 1; x <= N / every * every; ++x) {
            advance(v.data(), x);
            if (x % every == 0)
                std::copy(v.begin(), v.end(), kept.data() + (x / every - 1) * words);
        }
    }
    std::vector<std::uint64_t> stretch(every * words);
    std::size_t loaded = SIZE_MAX;
    auto rowOf = [&](std::size_t x) -> const std::uint64_t* {
        const std::size_t c = (x - 1) / every;
        if (c != loaded) {
            loaded = c;
            std::uint64_t* v = stretch.data();
            if (c == 0)
                std::fill(v, v + words, ~std::uint64_t{0});
            else
                std::copy_n(kept.data() + (c - 1) * words, words, v);
            advance(v, c * every + 1);
            for (std::size_t r = c * every + 2; r <= std::min(c * every + every, N); ++r) {
                std::copy(v, v + words, v + words);
                v += words;
                advance(v, r);
            }
        }
        return &stretch[(x - 1 - c * every) * words];
    };

    pairs.reserve(std::min(N, M));
    std::size_t I = 0; // the shortened indices of lines i and j
    std::size_t y = 0;
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (left[i] == right[j]) {
            pairs.emplace_back(i++, j++);
            ++I;
            ++y;
        } else if (!s.pairableRight[j]) {
            ++j;
        } else if (const std::size_t p = M - 1 - y;
                   I < N && ((rowOf(N - I)[p / 64] >> (p % 64)) & 1) == 0) {
            if (s.pairableLeft[i])
                ++I;
            ++i; // pass over the left line
        } else {
            ++j; // pass over the right line
            ++y;
        }
    }
    return pairs;
}

// Where the distance method stops and the bits take over: its first pass spends about D^2 / 4
// cells, each dearer than a word of the bits, which spend 2 N x M / 64 words.
std::size_t DistanceLimit(const Shortened& s) {
    const double words = static_cast<double>(s.N) * static_cast<double>(s.M) / 64;
    return static_cast<std::size_t>(std::sqrt(2 * words)) + 64;
}

} // namespace

std::optional<LinePairs> MatchLinesByDistance(const std::int32_t* left, std::size_t n,
                                              const std::int32_t* right, std::size_t m,
                                              std::size_t maxDistance, std::size_t firstKeptEvery) {
    const Shortened s(left, n, right, m);
    return WalkByDistance(left, n, right, m, s, maxDistance, firstKeptEvery);
}

LinePairs MatchLinesByBits(const std::int32_t* left, std::size_t n, const std::int32_t* right,
                           std::size_t m, std::size_t rowsPerStretch) {
    Shortened s(left, n, right, m);
    return WalkByBits(left, n, right, m, s, rowsPerStretch);
}

LinePairs MatchLines(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
    LinePairs pairs;
    pairs.reserve(std::min(a.size(), b.size()));
    // A common beginning is matched by the walk before any decision is read.
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
        pairs.emplace_back(prefix, prefix);
        ++prefix;
    }
    const std::size_t n = a.size() - prefix;
    const std::size_t m = b.size() - prefix;
    const std::int32_t* left = a.data() + prefix;
    const std::int32_t* right = b.data() + prefix;
    Shortened s(left, n, right, m);
    std::optional<LinePairs> rest = WalkByDistance(left, n, right, m, s, DistanceLimit(s), 1);
    if (!rest)
        rest = WalkByBits(left, n, right, m, s, 0);
    for (const auto& [i, j] : *rest)
        pairs.emplace_back(prefix + i, prefix + j);
    return pairs;
}

void WriteComparison(const std::string& leftName, const std::string& rightName,
                     const std::string& folder) {
    std::string leftBytes;
    std::string rightBytes;
    bool bothOpened = false;
    {
        FileDescriptor leftFile(::open(leftName.c_str(), O_RDONLY | O_CLOEXEC));
        FileDescriptor rightFile(::open(rightName.c_str(), O_RDONLY | O_CLOEXEC));
        // Both are read only if both can be opened.
        if (leftFile.IsOpen() && rightFile.IsOpen()) {
            bothOpened = true;
            leftBytes = ReadWhole(leftFile.Get());
            rightBytes = ReadWhole(rightFile.Get());
        }
    }
    // Files not read have no lines at all, not even the empty last one.
    const std::vector<std::string_view> leftLines =
        bothOpened ? SplitLineViews(leftBytes) : std::vector<std::string_view>{};
    const std::vector<std::string_view> rightLines =
        bothOpened ? SplitLineViews(rightBytes) : std::vector<std::string_view>{};
    std::vector<std::int32_t> leftKeys(leftLines.size());
    std::vector<std::int32_t> rightKeys(rightLines.size());
    std::transform(leftLines.begin(), leftLines.end(), leftKeys.begin(), KeyOf);
    std::transform(rightLines.begin(), rightLines.end(), rightKeys.begin(), KeyOf);
    auto pairs = MatchLines(leftKeys, rightKeys);

    {
        PageFile frameset(folder + "/tc.html");
        for (const char* line : kFrameset)
            frameset.Page().Append(line);
    }
    PageFile leftPage(folder + "/fa.html");
    PageFile rightPage(folder + "/fb.html");
    BlockWriter& left = leftPage.Page();
    BlockWriter& right = rightPage.Page();
    left.Append(PageHead(true));
    left.Append(leftName);
    left.Append("\r\n");
    right.Append(PageHead(false));
    right.Append(rightName);
    right.Append("\r\n");

    const auto n = static_cast<std::int64_t>(leftLines.size());
    const auto m = static_cast<std::int64_t>(rightLines.size());
    std::int64_t pL = -1;
    std::int64_t pR = -1;
    auto block = [&](const char* tag, auto&& rows) {
        left.Append(tag);
        right.Append(tag);
        rows();
        left.Append(kEndTag);
        right.Append(kEndTag);
    };
    auto emit = [&](std::int64_t i, std::int64_t j, bool real) {
        const std::int64_t dL = i - pL;
        const std::int64_t dR = j - pR;
        if (dL == 1 && dR > 1) {
            block(kTealTag, [&] {
                for (std::int64_t r = pR + 1; r < j; ++r) {
                    AppendRow(left, "(+)");
                    AppendRow(right, "(+)", rightLines[static_cast<std::size_t>(r)]);
                }
            });
        } else if (dR == 1 && dL > 1) {
            block(kRedTag, [&] {
                for (std::int64_t l = pL + 1; l < i; ++l) {
                    AppendRow(left, "(-)", leftLines[static_cast<std::size_t>(l)]);
                    AppendRow(right, "(-)");
                }
            });
        } else if (const std::int64_t k = std::max(dL, dR); k > 1) {
            block(kBlueTag, [&] {
                for (std::int64_t t = 1; t < k; ++t) {
                    if (pL + t < i)
                        AppendRow(left, "(*)", leftLines[static_cast<std::size_t>(pL + t)]);
                    else
                        AppendRow(left, "(+)");
                    if (pR + t < j)
                        AppendRow(right, "(*)", rightLines[static_cast<std::size_t>(pR + t)]);
                    else
                        AppendRow(right, "(-)");
                }
            });
        }
        if (real) {
            AppendRow(left, {}, leftLines[static_cast<std::size_t>(i)]);
            AppendRow(right, {}, rightLines[static_cast<std::size_t>(j)]);
        }
        pL = i;
        pR = j;
    };
    for (const auto& [i, j] : pairs)
        emit(static_cast<std::int64_t>(i), static_cast<std::int64_t>(j), true);
    emit(n, m, false);
    left.Append(kPageTail);
    right.Append(kPageTail);
}

std::pair<std::string, std::string> OrderBySize(const std::string& first,
                                                const std::string& second) {
    if (FileSize(second) < FileSize(first))
        return {second, first};
    return {first, second};
}

} // namespace korvane
