// Downloaded record lines to key=quantity lines with equal keys summed.
#include <gtest/gtest.h>

#include <random>

#include "QuadraticAggregate.h"
#include "exchange/AggregateRecords.h"
#include "rtl/FormatSettings.h"

using namespace tolvane;

namespace {

// A record as the link delivers it: eight fields joined by "`".
std::string Record(const std::string& first) { return first + "```````"; }

class Aggregate : public ::testing::Test {
protected:
    void SetUp() override { saved = SystemFormatSettings(); }
    void TearDown() override { SystemFormatSettings() = saved; }
    static std::vector<std::string> Run(std::vector<std::string> records) {
        TStringList lines;
        for (auto& r : records) lines.Add(r);
        AggregateRecords(lines);
        return lines.Lines();
    }
    TFormatSettings saved;
};

TEST_F(Aggregate, FirstFieldSplitsIntoKeyAndQuantity) {
    struct Case {
        std::string record, line;
    };
    const Case cases[] = {
        {Record("4600000000011"), "4600000000011=1"},
        {Record("4600000000011 2"), "4600000000011=2"},
        {Record("Хлеб белый 3"), "Хлеб белый=3"},
        {Record(" \t4600000000011\t "), "4600000000011=1"},  // trimmed before the split
        {Record("A\t 7 "), "A=7"},
        {"no delimiter at all 5", "no delimiter at all=5"},
        {Record("K " + std::string(300, '9')), "K=" + std::string(255, '9')},
        {Record("") , "=1"},
    };
    for (const auto& c : cases) EXPECT_EQ(RecordToKeyQuantity(c.record), c.line) << c.record;
}

TEST_F(Aggregate, EqualKeysMergeIntoTheFirstInOrderOfAppearance) {
    SystemFormatSettings().DecimalSeparator = ',';
    struct Case {
        std::vector<std::string> records, lines;
    };
    const Case cases[] = {
        {{Record("K"), Record("K"), Record("K")}, {"K=3"}},
        {{Record("A 1"), Record("B 2"), Record("A 3")}, {"A=4", "B=2"}},
        {{Record("abc 1"), Record("ABC 2"), Record("Abc")}, {"abc=4"}},
        {{Record("хлеб 1"), Record("ХЛЕБ 1")}, {"хлеб=2"}},
        {{Record("A 1,5"), Record("A 2")}, {"A=3,5"}},
        {{Record("A 1.5"), Record("A 2")}, {"A=2"}},  // a point is no number here
        {{Record("A x"), Record("B 1")}, {"A=x", "B=1"}},  // alone, kept as it is
        {{Record("A 0,1"), Record("A 0,2")}, {"A=0,3"}},  // shortest text, 15 digits
        {{Record("A 9")}, {"A=9"}},
        {{}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Run(c.records), c.lines) << ::testing::PrintToString(c.records);
}

// Sums are rewritten as text after every addition, so the order of the
// additions shows in the result; the linear version must match the
// line-by-line merge exactly.
TEST_F(Aggregate, MatchesTheLineByLineMergeOnRandomDocuments) {
    std::mt19937 random(20101209);
    const std::vector<std::string> keys = {"4600000000011", "4600000000028", "хлеб", "ХЛЕБ", "Kod", "KOD", "a=b"};
    const std::vector<std::string> quantities = {"", " 1", " 2", " 0,1", " 0,2", " 1,7", " 1E300", " 1e300",
                                                 " x", " -3", " 0,3333333333333333", "\t12"};
    for (char separator : {',', '.'}) {
        SystemFormatSettings().DecimalSeparator = separator;
        for (int round = 0; round < 200; ++round) {
            TStringList linear, reference;
            int n = int(random() % 40);
            for (int i = 0; i < n; ++i) {
                std::string r = Record(keys[random() % keys.size()] + quantities[random() % quantities.size()]);
                linear.Add(r);
                reference.Add(r);
            }
            AggregateRecords(linear);
            test::QuadraticAggregateRecords(reference);
            ASSERT_EQ(linear.Lines(), reference.Lines()) << "round " << round;
        }
    }
}

}  // namespace
