// A direct transcription of the merge as first described: for every line
// from the last up to the second, search from the top for the first line
// with an equal key and merge into it. Quadratic; the reference that the
// linear AggregateRecords is checked and measured against.
#pragma once

#include "exchange/AggregateRecords.h"
#include "rtl/Strings.h"

namespace tolvane::test {

inline void QuadraticAggregateRecords(TStringList& lines) {
    for (int i = 0; i < lines.Count(); ++i) lines[i] = RecordToKeyQuantity(lines[i]);
    auto key = [](const std::string& l) { return l.substr(0, l.find('=')); };
    auto value = [](const std::string& l) {
        size_t eq = l.find('=');
        return eq == std::string::npos ? std::string() : l.substr(eq + 1);
    };
    for (int i = lines.Count() - 1; i >= 1; --i) {
        int j = 0;
        while (!AnsiSameText(key(lines[j]), key(lines[i]))) ++j;
        if (j >= i) continue;
        double sum = TryStrToFloat(value(lines[j])).value_or(0) + TryStrToFloat(value(lines[i])).value_or(0);
        lines[j] = key(lines[j]) + "=" + FloatToStr(sum);
        lines.Delete(i);
    }
}

}  // namespace tolvane::test
