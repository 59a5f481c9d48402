#include "automation/error.h"

namespace vorlek {

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
