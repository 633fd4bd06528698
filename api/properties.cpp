// Named properties of elements and databases.
//
// Typed element properties (1516-1524) name a property by its text; the
// getters read the payload back whatever the answer.  Tagged properties
// (1526-1530) carry a 32-bit tag ahead of the name; their readers take a
// PropertyRecord from the answer on any nonzero 16-bit answer, and the record
// may point at data in this process.  Database properties (1534-1537) measure
// and copy their texts before sending and refuse names longer than 33
// characters and values longer than 255.
#include "kavlink.h"
#include "request.h"
#include "strings.h"

using namespace kav::wire;
using kav::guardedCopy;
using kav::guardedStore;

namespace {

// Longest name of the property record (34 bytes: 33 characters and a zero)
// and longest text value (read through a 256-byte buffer).
constexpr uint32_t kNameLimit = 33;
constexpr uint32_t kValueLimit = 255;
constexpr uint32_t kTextBuffer = 256;

// A text copied into a buffer of the export's own and sent from there with
// its terminator.  A null or unreadable text, one shorter than `minLength`
// or longer than `Limit` characters is not copied, and its segment refuses
// the request.
template <uint32_t Limit>
class CopiedText {
public:
    explicit CopiedText(const char* s, uint32_t minLength = 0) {
        const int64_t length = textLength(s, Limit + 1);
        if (length < minLength || length > Limit) return;
        length_ = static_cast<uint32_t>(length);
        ok_ = guardedCopy(bytes_, s, length_ + 1);
    }
    Seg seg() { return ok_ ? bytes(bytes_, length_ + 1) : refused(); }
    bool ok() const { return ok_; }

private:
    char bytes_[Limit + 1];
    uint32_t length_ = 0;
    bool ok_ = false;
};

// A string variable the export may fill: its address must be readable.
bool isVariable(BSTR* variable) {
    BSTR current = nullptr;
    return kav::guardedLoad(variable, current);
}

// The record that answers 1528 and 1529, read from the start of the payload.
PropertyRecord readRecord() {
    PropertyRecord record{};
    kav::ReadAnswer(&record, sizeof record);
    return record;
}

// Largest text read at a record's data address: a property stored through
// this library is at most a payload area long.
constexpr uint32_t kDataTextLimit = kav::kPayloadSize;

}  // namespace

// ---- typed element properties ------------------------------------------------

int32_t KAVAPI VokAppendPropertyOfLong(int32_t element, const char* name, int32_t value) {
    return gather(1516, element, val(value), text(name));
}

int32_t KAVAPI VokAppendPropertyOfDouble(int32_t element, const char* name, double value) {
    return gather(1517, element, val(value), text(name));
}

int32_t KAVAPI VokAppendPropertyOfString(int32_t element, const char* name, const char* value) {
    return gather(1518, element, text(name), text(value));
}

int16_t KAVAPI VokGetPropertyOfLong(int32_t element, const char* name, int32_t* value) {
    return lo16(trySendReadBack(1519, element, text(name), rec(value)).value_or(0));
}

int16_t KAVAPI VokGetPropertyOfDouble(int32_t element, const char* name, double* value) {
    return lo16(trySendReadBack(1520, element, text(name), rec(value)).value_or(0));
}

int16_t KAVAPI VokGetPropertyOfString(int32_t element, const char* name, BSTR* value) {
    if (!isVariable(value)) return 0;
    char buffer[kTextBuffer] = {};
    const auto answer = trySendReadBack(1521, element, text(name), bytes(buffer, sizeof buffer));
    if (!answer) return 0;
    kav::putText(value, buffer, sizeof buffer);
    return lo16(*answer);
}

int32_t KAVAPI VokDeletePropertyOfLong(int32_t element, const char* name) {
    return send(1522, element, text(name));
}

int32_t KAVAPI VokDeletePropertyOfDouble(int32_t element, const char* name) {
    return send(1523, element, text(name));
}

int32_t KAVAPI VokDeletePropertyOfString(int32_t element, const char* name) {
    return send(1524, element, text(name));
}

// ---- tagged element properties -----------------------------------------------

int32_t KAVAPI VokAppendProperty(int32_t element, int32_t tag, const char* name, int32_t size, const void* data) {
    // size + 1 bytes travel, so a stored text keeps its terminator.
    const Seg dataSeg = size < 0 ? refused() : bytes(data, uint64_t(size) + 1);
    return gather(1526, element, val(tag), text(name), val(size), dataSeg);
}

int32_t KAVAPI VokMarkProperty(int32_t element, int32_t tag, char* name, int32_t* value) {
    return scatter(1527, element, val(tag), text(name), rec(value));
}

int16_t KAVAPI VokReadPropertyIndex(int32_t element, int32_t index, int32_t* tag, int32_t* nameLength, BSTR* name) {
    if (tag == nullptr || nameLength == nullptr || !isVariable(name)) return 0;
    const int16_t answer = lo16(send(1528, element, val(index)));
    if (answer == 0) return 0;
    const PropertyRecord record = readRecord();
    const int32_t length = static_cast<int32_t>(::strnlen(record.name, sizeof record.name));
    guardedStore(tag, record.tag);
    guardedStore(nameLength, length);
    kav::putText(name, record.name, sizeof record.name);
    return answer;
}

int16_t KAVAPI VokGetPropertyOfAny(int32_t element, int32_t tag, const char* name, int32_t* size, void* data) {
    if (size == nullptr || data == nullptr) return 0;
    const int16_t answer = lo16(gather(1529, element, val(tag), text(name)));
    if (answer == 0) return 0;
    const PropertyRecord record = readRecord();
    // The data lies in this process, at the address the host gave; the
    // caller's buffer must hold `size` bytes.  Nothing is delivered when
    // either side cannot be touched.
    const auto* source = reinterpret_cast<const void*>(static_cast<uintptr_t>(record.data));
    if (record.size > 0 && !guardedCopy(data, source, static_cast<uint32_t>(record.size))) return 0;
    guardedStore(size, record.size);
    return answer;
}

int16_t KAVAPI VokGetAnyPropertyOfString(int32_t element, int32_t tag, const char* name, int32_t* length, BSTR* value) {
    if (length == nullptr || !isVariable(value)) return 0;
    const int16_t answer = lo16(gather(1529, element, val(tag), text(name)));
    if (answer == 0) return 0;
    const PropertyRecord record = readRecord();
    const auto* source = reinterpret_cast<const char*>(static_cast<uintptr_t>(record.data));
    const int64_t textBytes = textLength(source, kDataTextLimit);
    if (textBytes < 0 || !kav::putText(value, source, kDataTextLimit)) return 0;
    guardedStore(length, static_cast<int32_t>(textBytes));
    return answer;
}

int32_t KAVAPI VokDeleteProperty(int32_t element, int32_t tag, const char* name) {
    return gather(1530, element, val(tag), text(name));
}

// ---- database properties -----------------------------------------------------

int32_t KAVAPI VokAppendDBPropertyOfLong(int32_t db, int32_t tag, const char* name, int32_t value) {
    CopiedText<kNameLimit> copiedName(name);
    return gather(1534, db, val(tag), val(value), copiedName.seg());
}

int32_t KAVAPI VokGetDBPropertyOfLong(int32_t db, int32_t tag, const char* name, int32_t* value) {
    CopiedText<kNameLimit> copiedName(name);
    return scatter(1535, db, val(tag), rec(value), copiedName.seg());
}

int32_t KAVAPI VokAppendDBPropertyOfString(int32_t db, int32_t tag, const char* name, const char* value) {
    CopiedText<kNameLimit> copiedName(name, 1);  // an empty name is refused here
    CopiedText<kValueLimit> copiedValue(value);
    return gather(1536, db, val(tag), copiedName.seg(), copiedValue.seg());
}

int16_t KAVAPI VokGetDBPropertyOfString(int32_t db, int32_t tag, const char* name, BSTR* value) {
    CopiedText<kNameLimit> copiedName(name);
    if (!copiedName.ok() || !isVariable(value)) return 0;
    char buffer[kTextBuffer] = {};
    const int16_t answer = lo16(scatter(1537, db, val(tag), copiedName.seg(), bytes(buffer, sizeof buffer)));
    if (answer == -1) kav::putText(value, buffer, sizeof buffer);
    return answer;
}
