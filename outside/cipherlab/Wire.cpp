#include "Wire.h"

namespace tolvane::cipherlab {

void PutU32(std::string& out, uint32_t value) {
    for (int k = 0; k < 4; ++k) out.push_back(char((value >> (8 * k)) & 0xFF));
}

std::optional<uint32_t> GetU32(std::string_view in, size_t at) {
    if (at + 4 > in.size()) return std::nullopt;
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= uint32_t(static_cast<unsigned char>(in[at + k])) << (8 * k);
    return v;
}

namespace {

int UsedFields(const Record& record) {
    int n = FieldCount;
    while (n > 0 && record[n - 1].empty()) --n;
    return n;
}

}  // namespace

void AppendRecord(std::string& out, const Record& record) {
    int n = UsedFields(record);
    out.push_back(char(n));
    for (int k = 0; k < n; ++k) {
        size_t len = std::min(record[k].size(), MaxFieldLength);
        out.push_back(char(len));
        out.append(record[k], 0, len);
    }
}

size_t EncodedSize(const Record& record) {
    int n = UsedFields(record);
    size_t size = 1 + size_t(n);
    for (int k = 0; k < n; ++k) size += std::min(record[k].size(), MaxFieldLength);
    return size;
}

bool ParseRecords(std::string_view in, std::vector<Record>& out) {
    std::vector<Record> parsed;
    size_t i = 0;
    while (i < in.size()) {
        unsigned n = static_cast<unsigned char>(in[i++]);
        if (n > FieldCount) return false;
        Record record;
        for (unsigned k = 0; k < n; ++k) {
            if (i >= in.size()) return false;
            size_t len = static_cast<unsigned char>(in[i++]);
            if (i + len > in.size()) return false;
            record[k].assign(in.substr(i, len));
            if (record[k].find('\0') != std::string::npos) return false;
            i += len;
        }
        parsed.push_back(std::move(record));
    }
    out.insert(out.end(), std::make_move_iterator(parsed.begin()), std::make_move_iterator(parsed.end()));
    return true;
}

size_t StoredSize(const Record& record) {
    size_t size = 1;
    for (const auto& field : record) size += std::min(field.size(), MaxFieldLength) + 1;
    return size;
}

uint32_t BaudOfCode(int code) {
    switch (code) {
        case 1: return 115200;
        case 2: return 57600;
        case 3: return 38400;
        case 4: return 19200;
        case 5: return 9600;
        default: return 0;
    }
}

double LineMs(size_t bytes, uint32_t baud) { return baud ? double(bytes) * 10000.0 / double(baud) : 0.0; }

}  // namespace tolvane::cipherlab
