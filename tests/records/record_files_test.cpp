// What the record fuzz target's corpus does not reach of the index: numbers at the top of the
// number type, a load across many reads, and a "?" past the end of a name.

#include "records/record_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
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

TEST(SuggestNumber, ARunUpToTheTopOfTheNumberTypeStopsThere) {
    struct Case {
        std::vector<std::int64_t> numbers;
        std::int64_t base;
        std::int64_t expected;
    };
    const std::vector<Case> cases = {
        // Instead of wrapping round.
        {{INT64_MAX}, INT64_MAX, INT64_MAX},
        {{INT64_MAX - 1, INT64_MAX, INT64_MAX}, INT64_MAX - 1, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.numbers));
        EXPECT_EQ(SuggestNumber(IndexOf(c.numbers), c.base), c.expected);
    }
}

// The load reads many records at a time: every slot is indexed once, with its own number and
// key, across the boundaries of its reads and in a last, partly filled one.
TEST(ReadRecordIndex, IndexesEverySlotAcrossItsReads) {
    test::TempDir dir;
    for (const std::size_t size : {kCustomerRecordSize, kSearchEngineRecordSize}) {
        std::vector<std::int64_t> numbers;
        std::vector<NameKey> keys;
        std::string file;
        for (std::size_t slot = 0; slot < 1000; ++slot) {
            numbers.push_back(slot % 97 == 3 ? 0
                                             : static_cast<std::int64_t>(slot * 389 % 1000 + 1));
            const NameKey key{static_cast<std::uint8_t>('A' + slot % 26),
                              static_cast<std::uint8_t>('a' + slot / 26 % 26)};
            keys.push_back(numbers.back() > 0 ? key : NameKey{0, 0});
            std::string record(size, '\0');
            std::memcpy(record.data(), &numbers.back(), 8); // little-endian, as the file is
            std::memcpy(record.data() + 8, key.data(), 2);
            file += record;
        }
        test::WriteWholeFile(dir.File("records"), file);
        RecordIndex index;
        ASSERT_EQ(ReadRecordIndex(dir.File("records"), size, 8, 0, index), LoadStatus::Loaded);
        EXPECT_EQ(index.entries, IndexOf(numbers).entries) << size;
        EXPECT_EQ(index.keys, keys) << size;
    }
}

TEST(NamePatternMatch, AQuestionMarkPastTheEndOfTheNameStillMatches) {
    struct Case {
        std::string typed;
        std::string name;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"A COMPANY??", "A COMPANY", true},
        {"AB??", "AB", true},
        {"AB?D", "AB", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed + " / " + c.name);
        const std::string pattern = WidenPattern(c.typed);
        const NameKey key{static_cast<std::uint8_t>(c.name[0]),
                          static_cast<std::uint8_t>(c.name.size() > 1 ? c.name[1] : 0)};
        EXPECT_EQ(NamePatternMatch(pattern, key, c.name), c.matches);
    }
}

} // namespace
} // namespace korvane
