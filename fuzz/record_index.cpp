// A record file of any length and content loads as the rules say, and a run of adds, amendments,
// deletions, finds, walks and lists keeps the index, its key table and the file in step with a
// plain model: the bytes of every slot, the queue of deleted slots and the live entries in order.
#include "databases/record_messages.h"
#include "fuzz_shell.h"
#include "records/record_files.h"
#include "records/record_walk.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace korvane;

const char* Folder();

std::string PathOf(std::string_view name) {
    return std::string(Folder()) + "/" + std::string(name);
}

void RemoveFiles() {
    for (const std::string_view name : {kCustomerFileName, kSearchEngineFileName})
        std::remove(PathOf(name).c_str());
}

// The record files live in a folder of the target's own, made once and removed at exit. The name
// is a plain array, so it is still there when the exit handler runs.
const char* Folder() {
    static char name[] = "/tmp/korvane-fuzz-records-XXXXXX";
    [[maybe_unused]] static const bool made = [] {
        if (::mkdtemp(name) == nullptr)
            std::abort();
        std::atexit([] {
            RemoveFiles();
            ::rmdir(name);
        });
        return true;
    }();
    return name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::int64_t NumberIn(const std::string& slot) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(slot[i])) << (8 * i);
    return static_cast<std::int64_t>(value);
}

template <typename Record> std::string Bytes(const Record& record) {
    return std::string(reinterpret_cast<const char*>(record.Raw().data()), Record::kSize);
}

struct Layout {
    std::size_t size;
    TextField name;
    FileLoad RecordFilesLoad::*load; // what the start-up load says of this file
};

constexpr Layout kCustomers{kCustomerRecordSize, customer::Company, &RecordFilesLoad::customers};
constexpr Layout kEngines{kSearchEngineRecordSize, engine::Name, &RecordFilesLoad::engines};

// Texts of our own: any message at all means an operation failed where none may.
constexpr StoreTexts kTexts{{"find open", "x"},     {"number read", "x"},  {"scan read", "x"},
                            {"next open", "x"},     {"next read", "x"},    {"rewrite open", "x"},
                            {"rewrite write", "x"}, {"add open", "x"},     {"add write", "x"},
                            {"delete open", "x"},   {"delete write", "x"}, {"list open", "x"},
                            {"list read", "x"}};

struct Model {
    const Layout& layout;
    std::vector<std::string> slots;
    std::deque<std::int64_t> deleted; // in the order they are reused
    std::vector<IndexEntry> live;     // in index order

    void Load(const std::string& file) {
        slots.clear();
        deleted.clear();
        live.clear();
        for (std::size_t at = 0; at < file.size(); at += layout.size)
            slots.push_back(file.substr(at, layout.size));
        for (std::size_t s = 0; s < slots.size(); ++s) {
            const std::int64_t number = NumberIn(slots[s]);
            if (number < 1)
                deleted.push_back(static_cast<std::int64_t>(s));
            else
                live.push_back({number, static_cast<std::int64_t>(s)});
        }
        std::stable_sort(live.begin(), live.end(), [](const IndexEntry& a, const IndexEntry& b) {
            return a.number < b.number;
        });
    }
    std::string File() const {
        std::string file;
        for (const std::string& slot : slots)
            file += slot;
        return file;
    }
    bool Live(std::size_t s) const { return NumberIn(slots[s]) >= 1; }
    std::string Name(std::size_t s) const {
        const std::string field = slots[s].substr(layout.name.offset, layout.name.width);
        return field.substr(0, field.find('\0'));
    }
    NameKey Key(std::size_t s) const {
        if (!Live(s))
            return {0, 0};
        return {static_cast<std::uint8_t>(slots[s][layout.name.offset]),
                static_cast<std::uint8_t>(slots[s][layout.name.offset + 1])};
    }
    const IndexEntry* First(std::int64_t number) const {
        for (const IndexEntry& entry : live)
            if (entry.number == number)
                return &entry;
        return nullptr;
    }
    // "?" stands for any one character; a live record with an empty name is never found.
    bool Matches(std::size_t s, const std::string& pattern) const {
        const std::string name = Name(s);
        if (pattern.size() < 2 || !Live(s) || name.empty())
            return false;
        for (std::size_t i = 0; i < pattern.size(); ++i)
            if (pattern[i] != '?' && (i >= name.size() || pattern[i] != name[i]))
                return false;
        return true;
    }

    void Add(std::int64_t number, const std::string& bytes) {
        std::int64_t slot = static_cast<std::int64_t>(slots.size());
        if (deleted.empty()) {
            slots.push_back(bytes);
        } else {
            slot = deleted.front();
            deleted.pop_front();
            slots[static_cast<std::size_t>(slot)] = bytes;
        }
        const auto at = std::find_if(live.begin(), live.end(),
                                     [&](const IndexEntry& e) { return e.number > number; });
        live.insert(at, {number, slot});
    }
    void Delete(std::int64_t number, std::int64_t slot) {
        std::string& bytes = slots[static_cast<std::size_t>(slot)];
        std::fill_n(bytes.begin(), 8, '\xff');
        bytes[layout.name.offset] = 0;
        bytes[layout.name.offset + 1] = 0;
        const auto at = std::find(live.begin(), live.end(), IndexEntry{number, slot});
        if (at == live.end())
            __builtin_trap();
        live.erase(at);
        deleted.push_back(slot);
    }
};

template <typename Record> void CheckStore(const RecordStore<Record>& store, const Model& model) {
    const RecordIndex index = store.Index();
    std::vector<IndexEntry> expected;
    for (const std::int64_t slot : model.deleted)
        expected.push_back({kDeletedRecordNumber, slot});
    expected.insert(expected.end(), model.live.begin(), model.live.end());
    if (index.entries != expected || index.keys.size() != model.slots.size() ||
        index.liveCount != static_cast<std::int64_t>(model.live.size()) ||
        index.deletedCount != static_cast<std::int64_t>(model.deleted.size()))
        __builtin_trap();
    for (std::size_t s = 0; s < model.slots.size(); ++s)
        if (index.keys[s] != model.Key(s))
            __builtin_trap();
    if (ReadFile(store.Path()) != model.File())
        __builtin_trap();
}

// Numbers a user may give a record; small ones often, so that they meet.
std::int64_t PickNumber(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
    case 1:
        return in.ConsumeIntegralInRange<std::int64_t>(1, 8);
    case 2:
        return in.ConsumeIntegralInRange<std::int64_t>(kLowestRecordNumber, kHighestRecordNumber);
    default:
        return kHighestRecordNumber - in.ConsumeIntegralInRange<std::int64_t>(0, 2);
    }
}

// Numbers a file may hold: also deleted marks, zero and anything else.
std::int64_t PickStoredNumber(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
    case 1:
        return in.ConsumeIntegralInRange<std::int64_t>(1, 8);
    case 2:
        return in.ConsumeIntegralInRange<std::int64_t>(-2, 0);
    default:
        return in.ConsumeIntegral<std::int64_t>();
    }
}

std::string PickText(FuzzedDataProvider& in, std::string_view alphabet, std::size_t longest) {
    std::string text(in.ConsumeIntegralInRange<std::size_t>(0, longest), ' ');
    for (char& c : text)
        c = alphabet[in.ConsumeIntegralInRange<std::size_t>(0, alphabet.size() - 1)];
    return text;
}

// The file's initial bytes: missing, or whole records, or records and a piece of one more.
std::optional<std::string> InitialFile(FuzzedDataProvider& in, const Layout& layout) {
    const int shape = in.ConsumeIntegralInRange<int>(0, 4);
    if (shape == 0)
        return std::nullopt;
    std::string file;
    const int count = in.ConsumeIntegralInRange<int>(0, 10);
    for (int i = 0; i < count; ++i) {
        std::string slot(layout.size, static_cast<char>(in.ConsumeIntegral<std::uint8_t>()));
        const auto number = static_cast<std::uint64_t>(PickStoredNumber(in));
        for (std::size_t b = 0; b < 8; ++b)
            slot[b] = static_cast<char>(number >> (8 * b));
        std::string name = in.ConsumeBool() ? PickText(in, "AB?a", 5)
                                            : in.ConsumeRandomLengthString(layout.name.width);
        if (name.size() < layout.name.width && in.ConsumeBool())
            name += '\0';
        slot.replace(layout.name.offset, name.size(), name);
        file += slot;
    }
    if (shape == 1)
        file.append(in.ConsumeIntegralInRange<std::size_t>(1, layout.size - 1), 'x');
    return file;
}

template <typename Record>
void Run(FuzzedDataProvider& in, fuzz::FuzzShell& f, RecordStore<Record>& store,
         const Layout& layout) {
    fuzz::QuietDesktop& desktop = f.desktop;
    const std::optional<std::string> initial = InitialFile(in, layout);
    if (initial)
        WriteFile(store.Path(), *initial);

    const RecordFilesLoad load = LoadRecordFiles(f.records);
    const FileLoad& mine = load.*layout.load;
    Model model{layout, {}, {}, {}};
    if (!initial) {
        // Created with its one default record.
        model.Load(ReadFile(store.Path()));
        if (!load.Ok() || mine.made != DefaultFile::Written || model.slots.size() != 1 ||
            model.live.size() != 1 || model.live[0].number != 1)
            __builtin_trap();
    } else if (initial->empty() || initial->size() % layout.size != 0) {
        const LoadStatus expected = initial->empty() ? LoadStatus::Empty : LoadStatus::Corrupt;
        if (load.Ok() || mine.status != expected || mine.made != DefaultFile::NotNeeded)
            __builtin_trap();
        return;
    } else {
        model.Load(*initial);
        if (!load.Ok() || mine.made != DefaultFile::NotNeeded)
            __builtin_trap();
    }
    CheckStore(store, model);

    // The record found by number, checked against the model: the first entry with the number.
    const auto lookup = [&](std::int64_t number) {
        auto found = FindByNumber(f.shell, store, kTexts, number);
        const IndexEntry* first = model.First(number);
        if (found.has_value() != (first != nullptr) ||
            (found && (found->slot != first->slot || found->number != number ||
                       Bytes(found->record) != model.slots[static_cast<std::size_t>(first->slot)])))
            __builtin_trap();
        return found;
    };
    const auto amend = [&](const Found<Record>& found) {
        Record image = found.record;
        image.SetText(layout.name, PickText(in, "AB?a", 5));
        image.Raw()[in.ConsumeIntegralInRange<std::size_t>(8, Record::kSize - 1)] =
            in.ConsumeIntegral<std::uint8_t>();
        if (!TellChange(f.shell, store.Rewrite(image, found.slot), {}, {}))
            __builtin_trap();
        model.slots[static_cast<std::size_t>(found.slot)] = Bytes(image);
    };
    const auto erase = [&](const Found<Record>& found) {
        if (!TellChange(f.shell, store.Delete(found), {}, {}))
            __builtin_trap();
        model.Delete(found.number, found.slot);
    };

    for (int step = 0; step < 40 && in.remaining_bytes() > 0; ++step) {
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: { // add
            const std::int64_t number = PickNumber(in);
            const bool used = model.First(number) != nullptr;
            if (store.NumberInUse(number) != used)
                __builtin_trap();
            if (used)
                break; // refused by the dialogs before anything is stored
            Record image;
            if (in.ConsumeBool())
                image.Raw().fill(in.ConsumeIntegral<std::uint8_t>());
            image.SetNumber(number);
            image.SetText(layout.name, PickText(in, "AB?a", 5));
            if (!TellChange(f.shell, store.Add(image), {}, {}))
                __builtin_trap();
            model.Add(number, Bytes(image));
            break;
        }
        case 1:   // amend a live record found by number
        case 2: { // delete one
            if (model.live.empty())
                break;
            const std::int64_t number =
                model.live[in.ConsumeIntegralInRange<std::size_t>(0, model.live.size() - 1)].number;
            const auto found = lookup(number);
            if (!found)
                __builtin_trap();
            if (in.ConsumeBool())
                amend(*found);
            else
                erase(*found);
            break;
        }
        case 3: // a lookup of any number, used or not
            lookup(PickNumber(in));
            break;
        case 4: { // text search, each match accepted, cancelled or passed over
            const std::string typed = PickText(in, "AB?a", 4);
            const std::string pattern = typed.size() == 1 ? typed + "?" : typed;
            std::vector<std::size_t> matches;
            for (std::size_t s = 0; s < model.slots.size(); ++s)
                if (model.Matches(s, pattern))
                    matches.push_back(s);
            std::size_t offered = 0;
            MatchChoice last = MatchChoice::Next;
            const auto found = FindByName(f.shell, store, kTexts, typed, [&](const Record& record) {
                if (offered == matches.size() || Bytes(record) != model.slots[matches[offered]])
                    __builtin_trap();
                ++offered;
                const int choice = in.ConsumeIntegralInRange<int>(0, 3);
                last = choice == 0   ? MatchChoice::Accept
                       : choice == 1 ? MatchChoice::Cancel
                                     : MatchChoice::Next;
                return last;
            });
            if (last == MatchChoice::Accept) {
                const std::size_t slot = matches[offered - 1];
                if (!found || found->slot != static_cast<std::int64_t>(slot) ||
                    found->number != NumberIn(model.slots[slot]) || !desktop.messages.empty())
                    __builtin_trap();
                const int then = in.ConsumeIntegralInRange<int>(0, 2);
                if (then == 1)
                    amend(*found);
                if (then == 2)
                    erase(*found);
            } else if (last == MatchChoice::Cancel) {
                if (found || !desktop.messages.empty())
                    __builtin_trap();
            } else {
                // Every match was passed over; the search says so unless it never ran.
                const bool ran = !typed.empty();
                if (found || offered != matches.size() ||
                    desktop.messages.size() != (ran ? 1 : 0) ||
                    (ran && (desktop.messages[0].text != "No match found" ||
                             desktop.messages[0].title != "Finished")))
                    __builtin_trap();
                desktop.messages.clear();
            }
            break;
        }
        case 5: { // a worker's walk by number from some number on: one record for each number
            const std::int64_t from =
                in.ConsumeBool() ? PickNumber(in) : in.ConsumeIntegral<std::int64_t>();
            const std::size_t stopAfter = in.ConsumeIntegralInRange<std::size_t>(1, 12);
            std::vector<std::pair<std::int64_t, std::string>> seen;
            const bool read = WalkRecordsFrom(
                store, from,
                [&](std::int64_t number, const Record& record) {
                    seen.emplace_back(number, Bytes(record));
                    return seen.size() < stopAfter;
                },
                [](std::int64_t) { __builtin_trap(); });
            std::vector<std::pair<std::int64_t, std::string>> expected;
            for (const IndexEntry& entry : model.live) {
                if (entry.number < from ||
                    (!expected.empty() && expected.back().first == entry.number))
                    continue;
                if (expected.size() == stopAfter ||
                    (!expected.empty() && expected.back().first >= kHighestRecordNumber))
                    break;
                expected.emplace_back(entry.number,
                                      model.slots[static_cast<std::size_t>(entry.slot)]);
            }
            if (!read || seen != expected)
                __builtin_trap();
            break;
        }
        case 6: { // the ten-row list, page by page
            const std::int64_t from =
                in.ConsumeBool() ? PickNumber(in) : in.ConsumeIntegral<std::int64_t>();
            std::vector<IndexEntry> expected;
            if (NumberInRange(from))
                for (const IndexEntry& entry : model.live)
                    if (entry.number >= from)
                        expected.push_back(entry);
            std::size_t shown = 0;
            std::size_t pages = 0;
            bool next = false;
            std::size_t lastRows = 0;
            const RecordIo io = store.List(from, [&](const std::vector<Found<Record>>& rows,
                                                     bool full) {
                if (rows.empty() || rows.size() > kListRows || full != (rows.size() == kListRows) ||
                    shown + rows.size() > expected.size())
                    __builtin_trap();
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    const IndexEntry& entry = expected[shown + r];
                    if (rows[r].number != entry.number || rows[r].slot != entry.slot ||
                        Bytes(rows[r].record) != model.slots[static_cast<std::size_t>(entry.slot)])
                        __builtin_trap();
                }
                shown += rows.size();
                ++pages;
                lastRows = rows.size();
                next = in.ConsumeBool();
                return next;
            });
            if (io != RecordIo::Ok)
                __builtin_trap();
            // The list ends on Finish, on a short page, or when Next finds nothing more.
            if (pages == 0 ? !expected.empty()
                           : (next && lastRows == kListRows && shown != expected.size()))
                __builtin_trap();
            break;
        }
        default: { // the suggested number, then the file loaded afresh
            const std::int64_t base = in.ConsumeBool()
                                          ? PickNumber(in)
                                          : in.ConsumeIntegralInRange<std::int64_t>(1, INT64_MAX);
            std::int64_t expected = base;
            while (model.First(expected) != nullptr && expected < INT64_MAX)
                ++expected;
            if (store.SuggestNumber(base) != expected)
                __builtin_trap();
            if (in.ConsumeBool()) {
                if (!LoadRecordFiles(f.records).Ok())
                    __builtin_trap();
                model.Load(model.File());
            }
            break;
        }
        }
        if (!desktop.messages.empty())
            __builtin_trap();
        CheckStore(store, model);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    RemoveFiles();
    fuzz::FuzzShell f(Folder());
    if (in.ConsumeBool())
        Run(in, f, f.records.customers, kCustomers);
    else
        Run(in, f, f.records.engines, kEngines);
    return 0;
}
