#pragma once

// What the customer and the search-engine commands tell the user about the outcomes of their
// record store, and the dialogs and number texts they share. Each database supplies its own texts.

#include "records/record_files.h"
#include "records/record_walk.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

struct Shell;

inline constexpr std::size_t kNumberFieldMaxChars = 19;
// The result of the "&Next" and "Next" buttons of the database dialogs.
inline constexpr int kFormNext = 2;

struct Notice {
    std::string_view text;
    std::string_view title;
};

// Messages that differ between the two databases for the same situation.
struct StoreTexts {
    Notice findOpenFailed;
    Notice numberReadFailed;
    Notice scanReadFailed;
    Notice nextOpenFailed;
    Notice nextReadFailed;
    Notice rewriteOpenFailed;
    Notice rewriteWriteFailed;
    Notice addOpenFailed;
    Notice addWriteFailed;
    Notice deleteOpenFailed;
    Notice deleteWriteFailed;
    Notice listOpenFailed;
    Notice listReadFailed;
};

// A typed number: the leading decimal digits as a signed 64-bit value (text starting with a
// letter gives 0; numbers too large for 64 bits give the largest value).
std::int64_t ReadNumber(std::string_view text);
std::string NumberText(std::int64_t number);

// Each returns whether the read or the change went through, after any message it called for.
bool TellRead(Shell& shell, RecordIo io, Notice openFailed, Notice readFailed);
bool TellChange(Shell& shell, RecordChange change, Notice openFailed, Notice writeFailed);
void TellSearch(Shell& shell, const StoreTexts& texts, SearchEnd end);

// Number lookup: the first entry with exactly this number. An unused number finds nothing and
// says nothing.
template <typename Record>
std::optional<Found<Record>> FindByNumber(Shell& shell, const RecordStore<Record>& store,
                                          const StoreTexts& texts, std::int64_t number) {
    Lookup<Record> lookup = store.Find(number);
    TellRead(shell, lookup.io, texts.findOpenFailed, texts.numberReadFailed);
    return std::move(lookup.found);
}

// Text search: each match is offered in the database's match dialog until one is accepted.
template <typename Record, typename Offer>
std::optional<Found<Record>> FindByName(Shell& shell, const RecordStore<Record>& store,
                                        const StoreTexts& texts, std::string_view typed,
                                        Offer&& offer) {
    Search<Record> search = store.SearchByName(typed, offer);
    TellSearch(shell, texts, search.end);
    return std::move(search.found);
}

void LogUnreadableRecord(Shell& shell, std::int64_t number);

// A worker's walk through a whole database: a record that cannot be read is logged ("Record %d
// could not be read; skipped.") and passed over. False when the file could not be opened.
template <typename Record, typename Visit>
bool WalkRecords(Shell& shell, const RecordStore<Record>& store, std::int64_t from, Visit&& visit) {
    return WalkRecordsFrom(store, from, std::forward<Visit>(visit),
                           [&shell](std::int64_t number) { LogUnreadableRecord(shell, number); });
}

struct ListRow {
    std::string number;
    std::string text;
};

// One page of the ten-row list dialog; true when it was closed with Next.
bool ShowRecordList(Shell& shell, std::string_view title, const std::vector<ListRow>& rows,
                    bool withNext);

// The list dialog from the first number not below `from`; `rowText` gives each record's text.
template <typename Record, typename RowText>
void ListRecords(Shell& shell, const RecordStore<Record>& store, const StoreTexts& texts,
                 std::string_view title, std::int64_t from, RowText&& rowText) {
    const RecordIo io = store.List(from, [&](const std::vector<Found<Record>>& page, bool full) {
        std::vector<ListRow> rows;
        rows.reserve(page.size());
        for (const Found<Record>& row : page)
            rows.push_back({NumberText(row.number), rowText(row.record)});
        return ShowRecordList(shell, title, rows, full);
    });
    TellRead(shell, io, texts.listOpenFailed, texts.listReadFailed);
}

} // namespace korvane
