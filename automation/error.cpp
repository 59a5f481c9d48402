#include "automation/error.h"

namespace vorlek {

namespace {

struct ErrorText {
    int32_t number;
    StringView text;
};

constexpr ErrorText kErrorTexts[] = {
    {err::kInvalidCall, u"Invalid procedure call or argument"},
    {err::kOverflow, u"Overflow"},
    {err::kOutOfMemory, u"Out of memory"},
    {err::kSubscript, u"Subscript out of range"},
    {10, u"This array is fixed or temporarily locked"},
    {11, u"Division by zero"},
    {err::kTypeMismatch, u"Type mismatch"},
    {28, u"Out of stack space"},
    {err::kInternal, u"Internal error"},
    {53, u"File not found"},
    {70, u"Permission denied"},
    {err::kBadArgument, u"The parameter is incorrect"},
    {err::kObjectNotSet, u"Object variable or With block variable not set"},
    {94, u"Invalid use of Null"},
    {424, u"Object required"},
    {429, u"Automation server can't create object"},
    {438, u"Object doesn't support this property or method"},
    {445, u"Object doesn't support this action"},
    {450, u"Wrong number of arguments or invalid property assignment"},
    {err::kDuplicateKey, u"This key is already associated with an element of this collection"},
};

}  // namespace

StringView error_description(int32_t number) {
    for (const auto& t : kErrorTexts) {
        if (t.number == number) return t.text;
    }
    return {};
}

int32_t DispatchError::script_number() const noexcept {
    switch (failure_) {
        case DispatchFailure::UnknownName:
        case DispatchFailure::MemberNotFound:
            return 438;  // object doesn't support this property or method
        case DispatchFailure::BadParamCount:
            return 450;  // wrong number of arguments or invalid property assignment
        case DispatchFailure::TypeMismatch:
            return err::kTypeMismatch;
        case DispatchFailure::Overflow:
            return err::kOverflow;
        case DispatchFailure::Exception:
            return detail_;
    }
    return err::kInvalidCall;
}

}  // namespace vorlek
