// Turns downloaded SCANCODE record lines into key=quantity lines with equal
// keys (letter case ignored) summed, in the order keys first appear.
#pragma once

#include "rtl/StringList.h"

namespace tolvane {

// Pass 1 rewrites each line: the first field (text before the first "`",
// trimmed), split at its last tab or blank into key and quantity (at most
// 255 characters, trimmed), or key with quantity 1. Pass 2 merges lines of
// equal keys into the first one. A merged quantity is the running sum in
// the system number format, written back as the shortest general text
// after each addition, later lines added first (from the last one up);
// a quantity that is no number counts 0. Linear in the number of lines.
void AggregateRecords(TStringList& lines);

// Pass 1 alone, for one line.
std::string RecordToKeyQuantity(const std::string& line);

}  // namespace tolvane
