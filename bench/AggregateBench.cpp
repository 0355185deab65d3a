// AggregateRecords on 10^4, 10^5 and 10^6 downloaded lines, with the growth
// ratio between sizes, and against the line-by-line (quadratic) merge at
// 2 x 10^4 lines in the same run.
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>

#include "QuadraticAggregate.h"
#include "exchange/AggregateRecords.h"

using namespace tolvane;

namespace {

// A shop's document: about one line in five repeats an earlier barcode,
// some lines carry a quantity, a few keys differ only in letter case.
TStringList Document(int lines) {
    std::mt19937 random(lines);
    TStringList doc;
    int distinct = std::max(1, lines * 4 / 5);
    for (int i = 0; i < lines; ++i) {
        int article = int(random() % unsigned(distinct));
        std::string key = "46" + std::to_string(10000000000 + article);
        if (article % 50 == 0) key += "abc";
        if (random() % 10 == 0) key = "46" + std::to_string(10000000000 + article) + "ABC";
        std::string quantity = random() % 3 == 0 ? " " + std::to_string(1 + random() % 12) : "";
        doc.Add(key + quantity + "```````");
    }
    return doc;
}

double BestSeconds(int lines, const std::function<void(TStringList&)>& aggregate) {
    double best = 1e100;
    for (int run = 0; run < 3; ++run) {
        TStringList doc = Document(lines);
        auto start = std::chrono::steady_clock::now();
        aggregate(doc);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main() {
    std::printf("%-28s %10s %14s %16s\n", "case", "lines", "seconds", "growth vs /10");
    double previous = 0;
    for (int lines : {10000, 100000, 1000000}) {
        double s = BestSeconds(lines, AggregateRecords);
        if (previous > 0) std::printf("%-28s %10d %14.4f %15.1fx\n", "AggregateRecords", lines, s, s / previous);
        else std::printf("%-28s %10d %14.4f %16s\n", "AggregateRecords", lines, s, "-");
        previous = s;
    }
    double linear = BestSeconds(20000, AggregateRecords);
    double quadratic = BestSeconds(20000, test::QuadraticAggregateRecords);
    std::printf("%-28s %10d %14.4f\n", "AggregateRecords", 20000, linear);
    std::printf("%-28s %10d %14.4f\n", "line-by-line merge", 20000, quadratic);
    std::printf("line-by-line / AggregateRecords at 20000 lines: %.1fx\n", quadratic / linear);
    std::printf("(growth of 10x per tenfold size is linear; 100x would be quadratic)\n");
}
