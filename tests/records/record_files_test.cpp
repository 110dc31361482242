// What the record fuzz target's seed corpus does not reach of the index: numbers at the top of the
// number type, the order in which deleted slots are reused, duplicate numbers, name patterns, and
// the cost of a change in a large file.

#include "records/record_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvane {
namespace {

// An index as a load would build it from records with these numbers in file order.
RecordIndex IndexOf(const std::vector<std::int64_t>& numbers) {
    RecordIndex index;
    for (std::size_t slot = 0; slot < numbers.size(); ++slot) {
        const std::int64_t number = numbers[slot] < 1 ? kDeletedRecordNumber : numbers[slot];
        index.entries.push_back({number, static_cast<std::int64_t>(slot)});
        index.keys.push_back(number < 0 ? NameKey{0, 0} : NameKey{'A', 'B'});
        if (number < 0)
            ++index.deletedCount;
        else
            ++index.liveCount;
    }
    SortIndex(index.entries, index.entries.size());
    return index;
}

std::vector<std::int64_t> Slots(const RecordIndex& index) {
    std::vector<std::int64_t> slots;
    for (const IndexEntry& entry : index.entries)
        slots.push_back(entry.slot);
    return slots;
}
std::vector<std::int64_t> Numbers(const RecordIndex& index) {
    std::vector<std::int64_t> numbers;
    for (const IndexEntry& entry : index.entries)
        numbers.push_back(entry.number);
    return numbers;
}

TEST(SuggestNumber, FindsTheEndOfTheRunThatStartsAtTheBase) {
    struct Case {
        std::vector<std::int64_t> numbers;
        std::int64_t base;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        {{1, 3, 2}, 1, 4},
        {{2, 3}, 1, 1},
        {{-1, 1, 2}, 1, 3},
        {{1, 1, 2, 4}, 1, 3},
        {{5, 6, 9}, 5, 7},
        // A run up to the top of the number type stops there instead of wrapping round.
        {{INT64_MAX}, INT64_MAX, INT64_MAX},
        {{INT64_MAX - 1, INT64_MAX, INT64_MAX}, INT64_MAX - 1, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.numbers));
        EXPECT_EQ(SuggestNumber(IndexOf(c.numbers), c.base), c.expected);
    }
}

TEST(RecordIndex, DeletedSlotsAreReusedFirstInFirstOut) {
    // Slots 1 and 3 were deleted in the file; then slot 4 and slot 0 are deleted in this session.
    RecordIndex index = IndexOf({10, 0, 30, -7, 50});
    MarkSlotDeleted(index, 50, 4);
    MarkSlotDeleted(index, 10, 0);
    EXPECT_EQ(Numbers(index), (std::vector<std::int64_t>{-1, -1, -1, -1, 30}));
    EXPECT_EQ(index.keys[4], (NameKey{0, 0}));

    std::vector<std::int64_t> reused;
    for (std::int64_t number : {40, 20, 60, 5}) {
        const std::int64_t slot = NextFreeSlot(index);
        EXPECT_EQ(InsertIndexEntry(index, number, {'N', static_cast<std::uint8_t>(number)}), slot);
        reused.push_back(slot);
    }
    EXPECT_EQ(reused, (std::vector<std::int64_t>{1, 3, 4, 0}));
    EXPECT_EQ(Numbers(index), (std::vector<std::int64_t>{5, 20, 30, 40, 60}));
    EXPECT_EQ(Slots(index), (std::vector<std::int64_t>{0, 3, 2, 1, 4}));
    EXPECT_EQ(index.keys[3], (NameKey{'N', 20}));
    EXPECT_EQ(index.deletedCount, 0);
    EXPECT_EQ(index.liveCount, 5);

    // With no deleted slot left, an addition appends.
    EXPECT_EQ(InsertIndexEntry(index, 25, {'X', 'Y'}), 5);
    EXPECT_EQ(Numbers(index), (std::vector<std::int64_t>{5, 20, 25, 30, 40, 60}));
    EXPECT_EQ(index.keys.size(), 6U);
}

TEST(RecordIndex, DeletingOneOfTwoDuplicatesRemovesTheEntryOfThatSlot) {
    RecordIndex index = IndexOf({4, 4, 9});
    MarkSlotDeleted(index, 4, 1);
    EXPECT_EQ(Numbers(index), (std::vector<std::int64_t>{-1, 4, 9}));
    EXPECT_EQ(Slots(index), (std::vector<std::int64_t>{1, 0, 2}));
}

TEST(RecordIndex, AdditionsAndDeletionsAtAHundredThousandRecordsStayFast) {
    std::vector<std::int64_t> numbers(100000);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<std::int64_t>(i) * 2 + 1;
    RecordIndex index = IndexOf(numbers);
    std::size_t appends = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t n = 0; n < 200; ++n) {
        InsertIndexEntry(index, 2 * n + 2, {'Z', 'Z'});
        EXPECT_TRUE(GrowIndexAfterAppend(index, appends, 100));
        MarkSlotDeleted(index, 4 * n + 1, 2 * n);
    }
    const auto perOperation = (std::chrono::steady_clock::now() - start) / 400;
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
    // Timing means something only in an optimized, uninstrumented build.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::microseconds>(perOperation).count(), 1000);
#else
    (void)perOperation;
#endif
    // The first addition appended; each later one reused the slot deleted just before it.
    EXPECT_EQ(index.SlotCount(), 100001);
    EXPECT_EQ(index.liveCount, 100000);
    EXPECT_EQ(index.deletedCount, 1);
}

TEST(NamePatternMatch, QuestionMarksStandForOnePositionOrTheEndOfTheName) {
    struct Case {
        std::string typed;
        std::string name;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"A", "A COMPANY", true},
        {"A", "ABC", true},
        {"A", "B COMPANY", false},
        {"?B", "ABC", true},
        {"?B", "ACB", false},
        {"A COMPANY??", "A COMPANY", true},
        {"A COMPANYX", "A COMPANY", false},
        {"A CO", "A COMPANY", true},
        {"A C?MP", "A COMPANY", true},
        {"a co", "A COMPANY", false},
        {"AB??", "AB", true},
        {"AB?D", "AB", false},
        {"", "A COMPANY", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed + " / " + c.name);
        const std::string pattern = WidenPattern(c.typed);
        const NameKey key{static_cast<std::uint8_t>(c.name[0]),
                          static_cast<std::uint8_t>(c.name.size() > 1 ? c.name[1] : 0)};
        EXPECT_EQ(NamePatternMatch(pattern, key, c.name), c.matches);
    }
    // A slot whose key starts with zero (deleted, or no name) is never matched.
    EXPECT_FALSE(NamePatternMatch("??", {0, 'B'}, "?B"));
}

} // namespace
} // namespace korvane
