// The multimedia command strings of the real system.
#include <windows.h>
// mciSendString.
#include <mmsystem.h>

#include "platform/multimedia.h"
#include "platform/win32/areas.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Multimedia : public Multimedia {
  public:
    MciError send_string(StringView command) override {
        CStrings c;
        const char* text = c.ansi(command);
        if (c.status()) return c.status();
        return ::mciSendStringA(text, nullptr, 0, nullptr);
    }
};

}  // namespace

std::shared_ptr<Multimedia> make_multimedia() {
    return std::make_shared<Win32Multimedia>();
}

}  // namespace vorlek::platform::win32
