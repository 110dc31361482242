#include "compare/comparison.h"

#include "shell/posix_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
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
    lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
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
    void Add(std::int32_t key, std::uint8_t side) { Find(key).sides |= side; }
    std::uint8_t Sides(std::int32_t key) { return Find(key).sides; }
    std::uint32_t& Number(std::int32_t key) { return Find(key).number; }

  private:
    struct Slot {
        std::int32_t key = 0;
        std::uint8_t sides = 0; // none: the slot is free
        std::uint32_t number = 0;
    };
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
    unsigned m_bits = 4;
    std::vector<Slot> m_slots;
};

// A line whose key the other file lacks is never paired, and the common lengths of any two
// suffixes are those of the files without such lines. Both ways of answering the walk work on
// these shortened files, reversed, so that suffixes read as prefixes.
struct Shortened {
    Shortened(const std::int32_t* left, std::size_t n, const std::int32_t* right, std::size_t m)
        : sides(n + m), pairableLeft(n), pairableRight(m) {
        for (std::size_t i = 0; i < n; ++i)
            sides.Add(left[i], KeySides::kLeft);
        for (std::size_t j = 0; j < m; ++j)
            sides.Add(right[j], KeySides::kRight);
        for (std::size_t i = n; i-- > 0;)
            if ((pairableLeft[i] = sides.Sides(left[i]) == KeySides::kBoth))
                a.push_back(left[i]);
        for (std::size_t j = m; j-- > 0;)
            if ((pairableRight[j] = sides.Sides(right[j]) == KeySides::kBoth))
                b.push_back(right[j]);
    }
    KeySides sides;
    std::vector<bool> pairableLeft;
    std::vector<bool> pairableRight;
    std::vector<std::int32_t> a;
    std::vector<std::int32_t> b;
};

// Distances (insertions and deletions only) of prefixes of the shortened reversed files, by the
// furthest-reaching method: with x, y the prefix lengths and k = x - y, D(x, y) <= d exactly when
// x <= V_d[k] (d of the parity of k), V_d[k] being the furthest x that d edits reach on diagonal
// k. Row d of V follows from row d - 1 alone.
class FurthestReach {
  public:
    static constexpr std::int32_t kUnreached = -1;

    FurthestReach(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b)
        : m_a(a), m_b(b), m_n(static_cast<std::int64_t>(a.size())),
          m_m(static_cast<std::int64_t>(b.size())),
          m_latest(static_cast<std::size_t>(m_n + m_m + 3), kUnreached) {}

    // Row d from row d - 1, which must be the latest computed or restored, and into `row` when
    // given (d + 1 entries, for k = -d, -d + 2, ..., d); true when it reaches the end of both
    // files. With `spare` edits left after row d only the diagonals that can still reach the end
    // are computed: rows computed so read only what the row before computed.
    bool Compute(std::int64_t d, std::int32_t* row, std::int64_t spare = INT32_MAX) {
        if (row != nullptr)
            std::fill(row, row + d + 1, kUnreached);
        bool end = false;
        auto [low, high] = Diagonals(d);
        if (low < m_n - m_m - spare)
            low += (m_n - m_m - spare - low + 1) / 2 * 2;
        high = std::min(high, m_n - m_m + spare);
        for (std::int64_t k = low; k <= high; k += 2) {
            std::int64_t x = kUnreached;
            if (d == 0) {
                x = 0;
            } else {
                const std::int64_t down = k + 1 <= d - 1 ? V(k + 1) : kUnreached;
                if (down != kUnreached && down - k <= m_m)
                    x = down; // one more right line used
                const std::int64_t across = k - 1 >= -(d - 1) ? V(k - 1) : kUnreached;
                if (across != kUnreached && across + 1 <= m_n)
                    x = std::max(x, across + 1); // one more left line used
            }
            if (x != kUnreached) {
                std::int64_t y = x - k;
                while (x < m_n && y < m_m &&
                       m_a[static_cast<std::size_t>(x)] == m_b[static_cast<std::size_t>(y)]) {
                    ++x;
                    ++y;
                }
                end = end || (x == m_n && y == m_m);
            }
            V(k) = static_cast<std::int32_t>(x);
            if (row != nullptr)
                row[(k + d) / 2] = static_cast<std::int32_t>(x);
        }
        return end;
    }

    // Makes a kept row d the latest, so that row d + 1 can be computed again.
    void Restore(std::int64_t d, const std::int32_t* row) {
        const auto [low, high] = Diagonals(d);
        for (std::int64_t k = low; k <= high; k += 2)
            V(k) = row[(k + d) / 2];
    }

  private:
    // The diagonals of row d that meet the grid; the others are never written and stay
    // unreached, so a row reads only the row before it.
    std::pair<std::int64_t, std::int64_t> Diagonals(std::int64_t d) const {
        std::int64_t low = std::max(-d, -m_m);
        if ((low + d) % 2 != 0)
            ++low;
        return {low, std::min(d, m_n)};
    }
    std::int32_t& V(std::int64_t k) { return m_latest[static_cast<std::size_t>(k + m_m + 1)]; }

    const std::vector<std::int32_t>& m_a;
    const std::vector<std::int32_t>& m_b;
    std::int64_t m_n;
    std::int64_t m_m;
    std::vector<std::int32_t> m_latest; // V[k + M + 1], the latest row of each parity
};

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
// computed in. Every K-th row is kept as the rows are first computed, and the rows between two
// kept ones are computed again, once, when the walk comes to them; K doubles (and every other
// kept row goes) whenever more than 2K + 1 rows are kept. So memory grows as D^1.5, not D^2; the
// second time, knowing D, only the diagonals that lead to the end within D are computed, which
// halves that pass.
std::optional<LinePairs> WalkByDistance(const std::int32_t* left, std::size_t n,
                                        const std::int32_t* right, std::size_t m,
                                        const Shortened& s, std::size_t maxDistance,
                                        std::size_t firstKeptEvery) {
    constexpr std::int32_t kUnreached = FurthestReach::kUnreached;
    const auto N = static_cast<std::int64_t>(s.a.size());
    const auto M = static_cast<std::int64_t>(s.b.size());
    FurthestReach reach(s.a, s.b);
    auto every = static_cast<std::int64_t>(std::max<std::size_t>(firstKeptEvery, 1));
    std::vector<std::unique_ptr<std::int32_t[]>> kept;
    std::int64_t total = -1;
    for (std::int64_t d = 0; total < 0; ++d) {
        if (static_cast<std::size_t>(d) > maxDistance)
            return std::nullopt;
        std::int32_t* row = nullptr;
        if (d % every == 0)
            row = kept.emplace_back(new std::int32_t[static_cast<std::size_t>(d + 1)]).get();
        if (reach.Compute(d, row))
            total = d;
        if (kept.size() > static_cast<std::size_t>(2 * every + 1)) {
            for (std::size_t c = 0; 2 * c < kept.size(); ++c)
                kept[c] = std::move(kept[2 * c]);
            kept.resize((kept.size() + 1) / 2);
            every *= 2;
        }
    }

    std::vector<std::int32_t> between; // rows first + 1 ... of the stretch computed again
    std::int64_t first = -1;
    std::int64_t stride = 0;
    auto rowOf = [&](std::int64_t d) -> const std::int32_t* {
        if (d % every == 0)
            return kept[static_cast<std::size_t>(d / every)].get();
        if (d / every * every != first) {
            first = d / every * every;
            reach.Restore(first, kept[static_cast<std::size_t>(first / every)].get());
            const std::int64_t last = std::min(first + every - 1, total);
            stride = last + 1;
            between.resize(static_cast<std::size_t>((last - first) * stride));
            for (std::int64_t r = first + 1; r <= last; ++r)
                reach.Compute(r, &between[static_cast<std::size_t>((r - first - 1) * stride)],
                              total - r);
        }
        return &between[static_cast<std::size_t>((d - first - 1) * stride)];
    };
    // Whether the shortened suffixes of lengths x, y lie within d edits.
    auto within = [&](std::int64_t d, std::int64_t x, std::int64_t y) {
        const std::int64_t k = x - y;
        if (d < 0 || k < -d || k > d)
            return false;
        const std::int32_t v = rowOf(d)[(k + d) / 2];
        return v != kUnreached && x <= v;
    };

    LinePairs pairs;
    pairs.reserve(static_cast<std::size_t>(std::min(N, M)));
    std::int64_t x = N; // the shortened left suffix from line i on
    std::int64_t y = M;
    std::int64_t d = total;
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (left[i] == right[j]) {
            pairs.emplace_back(i++, j++);
            --x;
            --y;
        } else if (!s.pairableRight[j]) {
            ++j;
        } else if (within(d - 1, x, y - 1)) {
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
                     std::size_t m, Shortened& s, std::size_t rowsPerStretch) {
    const std::size_t N = s.a.size();
    const std::size_t M = s.b.size();
    LinePairs pairs;
    if (N == 0 || M == 0)
        return pairs; // no key is in both files
    const std::size_t words = (M + 63) / 64;

    // The right lines of each key, as a list of positions, or as a whole row of bits for a key
    // common enough that setting and clearing its bits would cost more than keeping them.
    std::uint32_t keys = 0;
    std::vector<std::uint32_t> keyAt(M);
    for (std::size_t p = 0; p < M; ++p) {
        std::uint32_t& number = s.sides.Number(s.b[p]);
        if (number == 0)
            number = ++keys;
        keyAt[p] = number - 1;
    }
    std::vector<std::uint32_t> start(keys + 1, 0);
    for (std::uint32_t key : keyAt)
        ++start[key + 1];
    for (std::uint32_t key = 0; key < keys; ++key)
        start[key + 1] += start[key];
    std::vector<std::uint32_t> positions(M);
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t p = 0; p < M; ++p)
            positions[fill[keyAt[p]]++] = static_cast<std::uint32_t>(p);
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
        const std::uint32_t key = s.sides.Number(s.a[x - 1]) - 1;
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
                std::copy(v.begin(), v.end(), &kept[(x / every - 1) * words]);
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
                std::copy(&kept[(c - 1) * words], &kept[c * words], v);
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

// Where the distance method stops and the bits take over: it spends about D^2 steps, the bits
// about 2 N x M / 64 words.
std::size_t DistanceLimit(const Shortened& s) {
    const double words = static_cast<double>(s.a.size()) * static_cast<double>(s.b.size()) / 64;
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
