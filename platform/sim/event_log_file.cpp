// The .evt layout: every number little-endian, every part aligned on four
// bytes. A record is its 56-byte fixed part, the source and computer names
// (UTF-16, each with its NUL), the user's SID (aligned), the insertion
// strings (UTF-16, each with its NUL), the data, padding, and its length
// once more at its end. The end-of-file record names the oldest record and
// itself and carries the record numbers, so that a log whose header was not
// brought up to date (a dirty file) can still be read.
#include "platform/sim/event_log_file.h"

#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
using platform::get16;
using platform::get32;
using platform::put16;
using platform::put32;
using platform::Status;

constexpr uint32_t kSignature = 0x654C664C;  // "LfLe"
constexpr uint32_t kEofMarks[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};
// The smallest record: the fixed part, two empty names and the closing length.
constexpr uint32_t kMinRecord = EventLogFile::kFixedSize + 4 + 4;
constexpr uint64_t kMaxFile = 0xFFFFFFFC;

uint64_t align4(uint64_t n) {
    return (n + 3) & ~uint64_t{3};
}

// The bytes a record takes, or 0 when it cannot be held in a 32-bit length.
uint64_t encoded_length(const EventRecord& r) {
    uint64_t n = EventLogFile::kFixedSize + (r.source.size() + 1) * 2 + (r.computer.size() + 1) * 2;
    n = align4(n) + r.sid.size();
    for (const String& s : r.strings)
        n += (s.size() + 1) * 2;
    n = align4(n + r.data.size()) + 4;
    // A SID that would end right at the closing length gets four bytes of
    // padding after it: readers of the format take such a record for a
    // damaged one.
    if (!r.sid.empty() && r.strings.empty() && r.data.empty()) n += 4;
    return n;
}

void put_text(std::vector<uint8_t>& out, size_t& at, StringView text) {
    for (char16_t c : text) {
        put16(out.data() + at, c);
        at += 2;
    }
    put16(out.data() + at, 0);
    at += 2;
}

std::vector<uint8_t> encode(const EventRecord& r, uint32_t length) {
    std::vector<uint8_t> out(length, 0);
    uint8_t* p = out.data();
    put32(p, length);
    put32(p + 4, kSignature);
    put32(p + 8, r.number);
    put32(p + 12, r.time_generated);
    put32(p + 16, r.time_written);
    put32(p + 20, r.event_id);
    put16(p + 24, r.type);
    put16(p + 26, static_cast<uint16_t>(r.strings.size()));
    put16(p + 28, r.category);
    put16(p + 30, r.reserved_flags);
    put32(p + 32, r.closing_number);
    size_t at = EventLogFile::kFixedSize;
    put_text(out, at, r.source);
    put_text(out, at, r.computer);
    at = static_cast<size_t>(align4(at));
    put32(p + 40, static_cast<uint32_t>(r.sid.size()));
    put32(p + 44, static_cast<uint32_t>(at));
    std::copy(r.sid.begin(), r.sid.end(), out.begin() + static_cast<ptrdiff_t>(at));
    at += r.sid.size();
    put32(p + 36, static_cast<uint32_t>(at));
    for (const String& s : r.strings)
        put_text(out, at, s);
    put32(p + 48, static_cast<uint32_t>(r.data.size()));
    put32(p + 52, static_cast<uint32_t>(at));
    std::copy(r.data.begin(), r.data.end(), out.begin() + static_cast<ptrdiff_t>(at));
    put32(p + length - 4, length);
    return out;
}

// A NUL-terminated UTF-16 text at `at` that ends before `limit`; moves `at`
// past its NUL. False when no NUL comes first.
bool take_text(const uint8_t* r, uint32_t& at, uint32_t limit, String& out) {
    out.clear();
    for (; uint64_t{at} + 2 <= limit; at += 2) {
        const char16_t c = get16(r + at);
        if (c == 0) {
            at += 2;
            return true;
        }
        out.push_back(c);
    }
    return false;
}

bool inside(uint32_t offset, uint32_t length, uint32_t limit) {
    return length == 0 ||
           (offset >= EventLogFile::kFixedSize && uint64_t{offset} + length <= limit);
}

// A whole record (`length` bytes, already checked against the file) to its
// fields; false when its parts do not lie inside it.
bool decode(const uint8_t* r, uint32_t length, EventRecord& out) {
    if (get32(r) != length || get32(r + 4) != kSignature || get32(r + length - 4) != length)
        return false;
    const uint32_t limit = length - 4;
    out.number = get32(r + 8);
    out.time_generated = get32(r + 12);
    out.time_written = get32(r + 16);
    out.event_id = get32(r + 20);
    out.type = get16(r + 24);
    out.category = get16(r + 28);
    out.reserved_flags = get16(r + 30);
    out.closing_number = get32(r + 32);
    uint32_t at = EventLogFile::kFixedSize;
    if (!take_text(r, at, limit, out.source) || !take_text(r, at, limit, out.computer))
        return false;
    const uint32_t sid_length = get32(r + 40), sid_offset = get32(r + 44);
    const uint32_t data_length = get32(r + 48), data_offset = get32(r + 52);
    if (!inside(sid_offset, sid_length, limit) || !inside(data_offset, data_length, limit))
        return false;
    out.sid.assign(r + (sid_length ? sid_offset : 0),
                   r + (sid_length ? sid_offset : 0) + sid_length);
    out.data.assign(r + (data_length ? data_offset : 0),
                    r + (data_length ? data_offset : 0) + data_length);
    const uint16_t count = get16(r + 26);
    out.strings.clear();
    at = get32(r + 36);
    if (count > 0 && at < EventLogFile::kFixedSize) return false;
    out.strings.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        String s;
        if (!take_text(r, at, limit, s)) return false;
        out.strings.push_back(std::move(s));
    }
    return true;
}

}  // namespace

bool decode_record(std::span<const uint8_t> record, EventRecord& out) {
    if (record.size() < EventLogFile::kFixedSize || record.size() > 0xFFFFFFFF) return false;
    return decode(record.data(), static_cast<uint32_t>(record.size()), out);
}

EventLogFile::EventLogFile(uint32_t max_size, uint32_t retention)
    : max_size_(std::max(max_size & ~3u, kHeaderSize + kMinRecord + kEofSize)),
      retention_(retention) {
    clear();
}

void EventLogFile::set_limits(uint32_t max_size, uint32_t retention) {
    max_size_ = std::max(max_size & ~3u, kHeaderSize + kMinRecord + kEofSize);
    retention_ = retention;
}

std::vector<uint8_t>& EventLogFile::writable() {
    if (file_.use_count() > 1) file_ = std::make_shared<std::vector<uint8_t>>(*file_);
    return *file_;
}

void EventLogFile::clear() {
    writable().assign(kHeaderSize + kEofSize, 0);
    ring_end_ = 0;
    wrapped_ = false;
    full_written_ = false;
    start_ = end_ = kHeaderSize;
    next_ = 1;
    offsets_.clear();
    write_eof();
}

uint32_t EventLogFile::flags() const {
    return (wrapped_ ? kWrapped : 0) | (full_written_ ? kFullWritten : 0);
}

uint32_t EventLogFile::advance(uint32_t at, uint32_t n) const {
    uint64_t next = uint64_t{at} + n;
    if (wrapped_ && next >= ring_end_) next -= ring_end_ - kHeaderSize;
    return static_cast<uint32_t>(next);
}

void EventLogFile::copy_out(uint32_t at, uint8_t* out, uint32_t n) const {
    const uint32_t first = wrapped_ ? std::min(n, ring_end_ - at) : n;
    std::memcpy(out, file().data() + at, first);
    if (first < n) std::memcpy(out + first, file().data() + kHeaderSize, n - first);
}

void EventLogFile::copy_in(uint32_t at, const uint8_t* in, uint32_t n) {
    const uint32_t first = wrapped_ ? std::min(n, ring_end_ - at) : n;
    std::memcpy(writable().data() + at, in, first);
    if (first < n) std::memcpy(writable().data() + kHeaderSize, in + first, n - first);
}

void EventLogFile::write_header(std::vector<uint8_t>& file, uint32_t start, uint32_t end,
                                uint32_t flags) const {
    uint8_t* h = file.data();
    put32(h, kHeaderSize);
    put32(h + 4, kSignature);
    put32(h + 8, 1);
    put32(h + 12, 1);
    put32(h + 16, start);
    put32(h + 20, end);
    put32(h + 24, next_);
    put32(h + 28, oldest_number());
    put32(h + 32, max_size_);
    put32(h + 36, flags);
    put32(h + 40, retention_);
    put32(h + 44, kHeaderSize);
}

void EventLogFile::write_eof() {
    uint8_t eof[kEofSize];
    put32(eof, kEofSize);
    for (int i = 0; i < 4; ++i)
        put32(eof + 4 + 4 * i, kEofMarks[i]);
    put32(eof + 20, start_);
    put32(eof + 24, end_);
    put32(eof + 28, next_);
    put32(eof + 32, oldest_number());
    put32(eof + 36, kEofSize);
    copy_in(end_, eof, kEofSize);
    write_header(writable(), start_, end_, flags());
}

// The room from the end-of-file record up to the oldest record, which a new
// record and the end-of-file record after it may fill.
uint32_t EventLogFile::free_space() const {
    if (offsets_.empty()) return ring_end_ - kHeaderSize;
    return start_ > end_ ? start_ - end_ : (ring_end_ - end_) + (start_ - kHeaderSize);
}

Status EventLogFile::append(EventRecord record, uint32_t now) {
    const uint64_t length = encoded_length(record);
    const uint32_t capacity = wrapped_ ? ring_end_ : std::max<uint32_t>(max_size_, file().size());
    auto refuse = [this] {
        full_written_ = true;
        write_header(writable(), start_, end_, flags());
        return st::kLogFileFull;
    };
    if (length + kEofSize > capacity - kHeaderSize) return refuse();
    const auto n = static_cast<uint32_t>(length);
    const uint32_t needed = n + kEofSize;
    if (!wrapped_ && uint64_t{end_} + needed <= capacity) {
        writable().resize(std::max<size_t>(file().size(), end_ + needed));
    } else {
        // The log is full and runs on as a ring. The oldest records that
        // must give way are counted before anything changes, so that a
        // refusal leaves the log as it was.
        const uint32_t ring_end = capacity;
        size_t drop = 0;
        for (; drop < offsets_.size(); ++drop) {
            const uint32_t start = offsets_[drop];
            const uint32_t room =
                start > end_ ? start - end_ : (ring_end - end_) + (start - kHeaderSize);
            if (room >= needed) break;
            // Before the log first wraps no record crosses the end, so
            // advance() finds the time written either way.
            const uint32_t written = get32(file().data() + advance(offsets_[drop], 16));
            const uint32_t age = now - std::min(now, written);
            if (retention_ == kNeverOverwrite ||
                (retention_ != kOverwriteAsNeeded && age <= retention_))
                return refuse();
        }
        wrapped_ = true;
        ring_end_ = ring_end;
        writable().resize(ring_end_);
        offsets_.erase(offsets_.begin(), offsets_.begin() + static_cast<ptrdiff_t>(drop));
    }
    record.number = next_++;
    const std::vector<uint8_t> bytes = encode(record, n);
    copy_in(end_, bytes.data(), n);
    offsets_.push_back(end_);
    end_ = advance(end_, n);
    start_ = offsets_.front();
    write_eof();
    return st::kSuccess;
}

uint32_t EventLogFile::oldest_number() const {
    // Dwords never split at the ring's end: records start on one.
    return offsets_.empty() ? 0 : get32(file().data() + advance(offsets_.front(), 8));
}

uint32_t EventLogFile::length_at(uint32_t at) const {
    return get32(file().data() + at);  // a record starts on a dword, which never splits
}

uint32_t EventLogFile::record_length(size_t i) const {
    return length_at(offsets_[i]);
}

EventRecord EventLogFile::record(size_t i) const {
    const uint32_t n = record_length(i);
    std::vector<uint8_t> bytes(n);
    copy_out(offsets_[i], bytes.data(), n);
    EventRecord r;
    decode(bytes.data(), n, r);  // written by append or checked by read
    return r;
}

std::vector<uint8_t> EventLogFile::image() const {
    return file();
}

std::vector<uint8_t> EventLogFile::backup() const {
    EventLogFile copy;
    copy.max_size_ = max_size_;
    copy.retention_ = retention_;
    copy.next_ = next_;
    size_t total = kHeaderSize + kEofSize;
    for (size_t i = 0; i < offsets_.size(); ++i)
        total += record_length(i);
    copy.writable().assign(total, 0);
    uint32_t at = kHeaderSize;
    for (size_t i = 0; i < offsets_.size(); ++i) {
        const uint32_t n = record_length(i);
        copy_out(offsets_[i], copy.writable().data() + at, n);
        copy.offsets_.push_back(at);
        at += n;
    }
    copy.end_ = at;
    copy.start_ = copy.offsets_.empty() ? at : kHeaderSize;
    copy.write_eof();
    return std::move(copy.writable());
}

platform::Result<EventLogFile> EventLogFile::read(std::span<const uint8_t> file) {
    using R = platform::Result<EventLogFile>;
    if (file.size() < kHeaderSize + kEofSize || file.size() > kMaxFile)
        return R::failure(st::kEventLogFileCorrupt);
    const uint8_t* h = file.data();
    if (get32(h) != kHeaderSize || get32(h + 4) != kSignature || get32(h + 8) != 1 ||
        get32(h + 12) != 1 || get32(h + 44) != kHeaderSize)
        return R::failure(st::kEventLogFileCorrupt);

    // Read as a ring over the whole file: an unwrapped log never crosses its
    // end, and a wrapped one goes on after the header.
    EventLogFile log;
    log.writable().assign(file.begin(),
                          file.begin() + static_cast<ptrdiff_t>(file.size() & ~size_t{3}));
    log.wrapped_ = true;
    log.ring_end_ = static_cast<uint32_t>(log.file().size());
    log.max_size_ = std::max(get32(h + 32) & ~3u, log.ring_end_);
    log.retention_ = get32(h + 40);
    log.full_written_ = (get32(h + 36) & kFullWritten) != 0;

    auto eof_at = [&log](uint32_t at) {
        if (at < kHeaderSize || at >= log.ring_end_ || at % 4 != 0) return false;
        uint8_t eof[kEofSize];
        log.copy_out(at, eof, kEofSize);
        if (get32(eof) != kEofSize || get32(eof + 36) != kEofSize || get32(eof + 24) != at)
            return false;
        for (int i = 0; i < 4; ++i)
            if (get32(eof + 4 + 4 * i) != kEofMarks[i]) return false;
        return true;
    };
    // The header of a log that was not closed may be out of date: then the
    // end-of-file record is looked for.
    uint32_t end = get32(h + 20);
    if (!eof_at(end)) {
        end = 0;
        for (uint32_t at = kHeaderSize; at < log.ring_end_ && end == 0; at += 4)
            if (eof_at(at)) end = at;
        if (end == 0) return R::failure(st::kEventLogFileCorrupt);
    }
    uint8_t eof[kEofSize];
    log.copy_out(end, eof, kEofSize);
    const uint32_t begin = get32(eof + 20);
    if (begin < kHeaderSize || begin >= log.ring_end_ || begin % 4 != 0)
        return R::failure(st::kEventLogFileCorrupt);
    log.next_ = get32(eof + 28);
    log.end_ = end;
    log.start_ = begin;

    uint64_t left = begin <= end ? end - begin : (log.ring_end_ - begin) + (end - kHeaderSize);
    std::vector<uint8_t> bytes;
    EventRecord r;
    for (uint32_t at = begin; left > 0;) {
        const uint32_t n = log.length_at(at);
        if (n < kMinRecord || n % 4 != 0 || n > left) return R::failure(st::kEventLogFileCorrupt);
        bytes.resize(n);
        log.copy_out(at, bytes.data(), n);
        if (!decode(bytes.data(), n, r)) return R::failure(st::kEventLogFileCorrupt);
        log.offsets_.push_back(at);
        at = log.advance(at, n);
        left -= n;
    }
    return R{st::kSuccess, std::move(log)};
}

}  // namespace vorlek::sim
