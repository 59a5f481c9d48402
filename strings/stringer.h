// Stringer: search-and-replace, reversal, splitting into a collection, byte
// arrays and hex text, environment references and key-code names.
#pragma once

#include "automation/collection.h"

namespace vorlek {

class Stringer : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    // Constants.
    static constexpr int32_t kCaseSensitive = 0;
    static constexpr int32_t kNotCaseSensitive = 1;
    static constexpr int32_t kReplaceAll = 0;
    static constexpr int32_t kReplaceLast = -1;
    // Marks range mode in ReplaceString's strToReplace, and "not given" in
    // its lngStart/lngStop.
    static constexpr StringView kRangeMode = u"\u00B0^";
    static constexpr int32_t kNoBound = -9999999;

    Ref<Collection> SepStrings() const { return sep_strings_; }
    void SetSepStrings(Ref<Collection> collection) {
        sep_strings_ = std::move(collection);
        referenced(sep_strings_.get());
    }
    int32_t LastError() const { return last_error_; }
    Variant StringToANSIByteArray(String strString);
    String ByteArrayToHexString(const Variant& bteArray, String strSeperator, int16_t intSectionLen,
                                String strLineSeperator);
    String ReplaceEnvVars(String strString, String strDefault);
    String ReplaceString(String strString, String strReplaceString, String strToReplace,
                         int32_t lngPosition, int32_t lngCaseSens, int32_t lngStart,
                         int32_t lngStop);
    String ReverseString(String strString, String strDefault, int32_t lngLength);
    String SepString() const { return piece_; }
    int32_t InitSeperator(String strString, String strSeperator, bool booEmptyStrings);
    String GetCharEx(uint8_t bteKeyCode);

    // Internal setter used when loading a SepStrings item.
    void set_piece(String piece) { piece_ = std::move(piece); }

    void visit_references(ReferenceVisitor& visit) const override {
        if (sep_strings_) visit(*sep_strings_);
    }
    void drop_references() noexcept override { auto dropped = std::move(sep_strings_); }

    // ReplaceEnvVars expands text that a value brought in again; these bound
    // that, so that a variable that refers to itself cannot hang the caller.
    static constexpr int kMaxRescans = 1024;
    static constexpr size_t kMaxExpandedLength = size_t{16} << 20;

  private:
    Ref<Collection> sep_strings_;
    String piece_;
    int32_t last_error_ = 0;
};

}  // namespace vorlek
