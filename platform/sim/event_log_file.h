// Event logs in the system's own file format (.evt): a 48-byte header,
// records oldest first and an end-of-file record. When the log reaches its
// maximum size the records run on as a ring: a record that meets the end of
// the file goes on right after the header, and the oldest records give way
// as the log's retention allows. The simulated event-log service keeps each
// log in this form, so a backup it writes opens in other tools and a file
// copied from a real machine reads as one of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "automation/string.h"
#include "platform/eventlog.h"

namespace vorlek::sim {

// One record as the file keeps it; texts are UTF-16, as on disk.
struct EventRecord {
    uint32_t number = 0;          // given by the log when the record is added
    uint32_t time_generated = 0;  // seconds since 1970-01-01 00:00:00 UTC
    uint32_t time_written = 0;
    uint32_t event_id = 0;
    uint16_t type = 0;
    uint16_t category = 0;
    uint16_t reserved_flags = 0;
    uint32_t closing_number = 0;
    String source;
    String computer;
    std::vector<uint8_t> sid;  // binary form; empty when the event has no user
    std::vector<String> strings;
    std::vector<uint8_t> data;

    bool operator==(const EventRecord&) const = default;
};

// One record in the system's own layout (a file's, and what the wide read
// call of the event-log protocol delivers): its fields, false when the
// length, signature or parts do not hold together.
bool decode_record(std::span<const uint8_t> record, EventRecord& out);

// The retention values of a log's registry key.
constexpr uint32_t kOverwriteAsNeeded = 0;
constexpr uint32_t kNeverOverwrite = 0xFFFFFFFF;

class EventLogFile {
  public:
    static constexpr uint32_t kHeaderSize = 0x30;
    static constexpr uint32_t kEofSize = 0x28;
    static constexpr uint32_t kFixedSize = 56;  // a record's fixed part
    // Header flags.
    static constexpr uint32_t kDirty = 0x1, kWrapped = 0x2, kFullWritten = 0x4, kArchiveSet = 0x8;

    // An empty log that grows up to `max_size` bytes (at least room for the
    // header, one small record and the end-of-file record) and then keeps
    // records by `retention`: overwrite as needed, never overwrite, or
    // overwrite records written more than that many seconds ago.
    EventLogFile(uint32_t max_size, uint32_t retention);
    // The system's default: 512 KiB, overwriting as needed.
    EventLogFile() : EventLogFile(512 * 1024, kOverwriteAsNeeded) {}

    // A log file as the system writes it, wrapped or not. A header the file
    // does not start with, an end-of-file record that cannot be found, or
    // records that do not chain from the oldest to that record (lengths that
    // run past it, broken signatures, fields outside their record) give
    // 1500. Memory stays proportional to the file.
    static platform::Result<EventLogFile> read(std::span<const uint8_t> file);

    // Adds a record, numbered next, making room by dropping the oldest
    // records as the retention allows; 1502 when it does not (the log is
    // left as it was). `now` decides which records are old enough.
    platform::Status append(EventRecord record, uint32_t now);
    // Empties the log; numbering starts again at 1.
    void clear();
    // New limits from the log's configuration, used from the next append
    // on; a log larger than the new size keeps its records until then.
    void set_limits(uint32_t max_size, uint32_t retention);

    size_t count() const { return offsets_.size(); }
    uint32_t oldest_number() const;
    uint32_t next_number() const { return next_; }
    uint32_t max_size() const { return max_size_; }
    uint32_t retention() const { return retention_; }
    uint32_t flags() const;

    // The i-th record from the oldest, and the bytes it takes in the file.
    EventRecord record(size_t i) const;
    uint32_t record_length(size_t i) const;

    // The file as it stands, ring and all, and a copy for a backup: the
    // same records from the header on, oldest first, marked clean.
    std::vector<uint8_t> image() const;
    std::vector<uint8_t> backup() const;

  private:
    void copy_out(uint32_t at, uint8_t* out, uint32_t n) const;
    void copy_in(uint32_t at, const uint8_t* in, uint32_t n);
    uint32_t advance(uint32_t at, uint32_t n) const;
    uint32_t length_at(uint32_t at) const;
    uint32_t free_space() const;
    void write_eof();
    void write_header(std::vector<uint8_t>& file, uint32_t start, uint32_t end,
                      uint32_t flags) const;

    // The header, then the data area. Copies of a log share it until one of
    // them writes (a restored network copies every log an input reached,
    // and most inputs only read them).
    const std::vector<uint8_t>& file() const { return *file_; }
    std::vector<uint8_t>& writable();
    std::shared_ptr<std::vector<uint8_t>> file_ = std::make_shared<std::vector<uint8_t>>();
    uint32_t ring_end_ = 0;      // records wrap here once the log is full
    bool wrapped_ = false;       // the data area is a ring of [header, ring_end_)
    bool full_written_ = false;  // a record was refused for want of room
    uint32_t max_size_ = 0;
    uint32_t retention_ = 0;
    uint32_t start_ = kHeaderSize;  // the oldest record, or the end-of-file record
    uint32_t end_ = kHeaderSize;    // the end-of-file record
    uint32_t next_ = 1;
    std::deque<uint32_t> offsets_;  // each record's offset, oldest first
};

}  // namespace vorlek::sim
