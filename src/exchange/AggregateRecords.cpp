#include "exchange/AggregateRecords.h"

#include <unordered_map>
#include <vector>

#include "rtl/Strings.h"

namespace tolvane {

namespace {

constexpr size_t kMaxQuantityLength = 255;

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

std::string ValueOf(const std::string& line) {
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

double NumberOr0(const std::string& text) { return TryStrToFloat(text).value_or(0.0); }

}  // namespace

std::string RecordToKeyQuantity(const std::string& record) {
    std::string line = record;
    if (size_t tick = line.find('`'); tick != std::string::npos) line = Trim(std::string_view(line).substr(0, tick));
    size_t split = line.find_last_of("\t ");
    if (split == std::string::npos) return line + "=1";
    return Trim(std::string_view(line).substr(0, split)) + "=" +
           Trim(std::string_view(line).substr(split + 1, kMaxQuantityLength));
}

void AggregateRecords(TStringList& lines) {
    std::vector<std::string> rewritten;
    rewritten.reserve(size_t(lines.Count()));
    for (const std::string& line : lines) rewritten.push_back(RecordToKeyQuantity(line));

    // Group every line by its key, numbering groups by first appearance.
    std::unordered_map<std::string, size_t> groupOf;
    groupOf.reserve(rewritten.size());
    std::vector<size_t> group(rewritten.size());
    std::vector<size_t> firstLine;
    for (size_t i = 0; i < rewritten.size(); ++i) {
        auto [it, added] = groupOf.try_emplace(AnsiLowerCase(KeyOf(rewritten[i])), firstLine.size());
        if (added) firstLine.push_back(i);
        group[i] = it->second;
    }

    // The same additions, in the same order, as merging each line from the
    // last one upwards into the first line of its key.
    std::vector<std::string> value(firstLine.size());
    for (size_t g = 0; g < firstLine.size(); ++g) value[g] = ValueOf(rewritten[firstLine[g]]);
    for (size_t i = rewritten.size(); i-- > 0;) {
        size_t g = group[i];
        if (firstLine[g] != i) value[g] = FloatToStr(NumberOr0(value[g]) + NumberOr0(ValueOf(rewritten[i])));
    }

    TStringList merged;
    for (size_t g = 0; g < firstLine.size(); ++g) merged.Add(KeyOf(rewritten[firstLine[g]]) + "=" + value[g]);
    lines.Assign(merged);
}

}  // namespace tolvane
