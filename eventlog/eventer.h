// Eventer: the event logs of a local or remote machine, or a saved log file.
// InitReadEvents fills Events with one Eventer per record that passes the
// filters, its fields ready-made texts: the type's name, local dates, the
// user's account name, the category and the full message text from the
// source's message files, the data as bytes, words and characters.
// WriteEvent reports an event; SaveEventLog and CleanEventLog back a log up
// and clear it.
#pragma once

#include <memory>

#include "automation/collection.h"
#include "automation/packed_texts.h"

namespace vorlek {

class Eventer : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr int32_t kTypeInformation = 4;
    static constexpr int32_t kTypeWarning = 2;
    static constexpr int32_t kTypeError = 1;
    static constexpr int32_t kTypeAuditSuccess = 8;
    static constexpr int32_t kTypeAuditFailure = 16;
    static constexpr double kDate19700101 = 25569;
    // The value a parameter reference that is not a number stands for.
    static constexpr int32_t kNotANumber = -4711;

    Ref<Collection> Events();
    void SetEvents(Ref<Collection> collection) {
        events_ = std::move(collection);
        referenced(events_.get());
    }
    // Events may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (events_) visit(*events_);
    }
    void drop_references() noexcept override { auto dropped = std::move(events_); }

    int32_t EventID() const { return id_; }
    String EventType() const;
    String EventSource() const { return shared_ ? shared_->source : String(); }
    int32_t EventRecordNumber() const { return record_number_; }
    Date EventDateGenerated() const { return generated_; }
    Date EventDateWritten() const { return written_; }
    String EventComputer() const { return shared_ ? shared_->computer : String(); }
    String EventCategory() const { return shared_ ? shared_->category : String(); }
    String EventDescription() const { return String(description_[0]); }
    Variant EventData() const;
    String EventDataBytes() const;
    String EventDataWords() const;
    String EventDataString() const;
    String EventUser() const { return shared_ ? shared_->user : String(); }
    String SOURCE_APPLICATION() const { return u"Application"; }
    String SOURCE_SECURITY() const { return u"Security"; }
    String SOURCE_SYSTEM() const { return u"System"; }
    int32_t EventRecordsNum() const { return records_num_; }

    int32_t InitReadEvents(String strConnect, String strEventSource, Date dteFrom, Date dteUntil,
                           int32_t lngType, String strSource, String strCategory,
                           String strDescription, String strDataString, String strComputer,
                           String strUser, int32_t lngID, String strFile);
    int32_t WriteEvent(int16_t intEventType, int32_t lngEventID, String strSourceName,
                       int16_t intCategory, String strDesc, Variant varData, String strConnect,
                       String strUser, String strUserMachine);
    int32_t SaveEventLog(String strFile, String strConnect, String strEventSource);
    int32_t CleanEventLog(String strFile, String strConnect, String strEventSource);

  private:
    class Reader;

    Ref<Collection> events_;
    int32_t records_num_ = 0;
    // The texts most records of a listing have in common (the machine's
    // name, the source, its category and the user), kept once per listing.
    struct Shared {
        String source;
        String computer;
        String category;
        String user;
    };
    // The record's data; none loaded on a new object.
    std::vector<uint8_t> data() const { return {data_.get(), data_.get() + data_size_}; }

    // One record's fields; the data's three texts are made when read.
    Date generated_;
    Date written_;
    int32_t id_ = 0;
    int32_t record_number_ = 0;
    uint32_t data_size_ = 0;
    uint16_t type_ = 0;
    bool has_type_ = false;  // a new object has loaded no record yet
    std::shared_ptr<const Shared> shared_;
    PackedTexts<1> description_;
    std::unique_ptr<uint8_t[]> data_;
};

// The data texts of a record, as the items show them.
String data_bytes_text(const std::vector<uint8_t>& data);
String data_words_text(const std::vector<uint8_t>& data);
// `chars` holds one character per byte of the data, in the system code page.
String data_chars_text(const String& chars);
// The message with %1..%n replaced by the insertion strings, in one pass: a
// placeholder is "%" and the whole number after it, and a string that brings
// "%2" along is inserted as it stands.
String insert_strings(StringView message, const std::vector<String>& strings);

}  // namespace vorlek
