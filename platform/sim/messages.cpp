// The system's message texts and message files of the simulated machines.
#include "platform/sim/messages.h"

#include <algorithm>
#include <iterator>

#include "platform/message_file.h"
#include "platform/messages.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

struct SystemMessage {
    uint32_t id;
    const char16_t* text;  // as stored: "%n" ends a line
};

// The system's messages (US English) for the codes the library reports.
constexpr SystemMessage kSystemMessages[] = {
    {0, u"The operation completed successfully.%n"},
    {1, u"Incorrect function.%n"},
    {2, u"The system cannot find the file specified.%n"},
    {3, u"The system cannot find the path specified.%n"},
    {4, u"The system cannot open the file.%n"},
    {5, u"Access is denied.%n"},
    {6, u"The handle is invalid.%n"},
    {8, u"Not enough storage is available to process this command.%n"},
    {13, u"The data is invalid.%n"},
    {14, u"Not enough storage is available to complete this operation.%n"},
    {18, u"There are no more files.%n"},
    {21, u"The device is not ready.%n"},
    {32, u"The process cannot access the file because it is being used by another process.%n"},
    {38, u"Reached the end of the file.%n"},
    {50, u"The request is not supported.%n"},
    {51,
     u"Windows cannot find the network path. Verify that the network path is correct and the "
     u"destination "
     u"computer is not busy or turned off. If Windows still cannot find the network path, contact "
     u"your "
     u"network administrator.%n"},
    {53, u"The network path was not found.%n"},
    {54, u"The network is busy.%n"},
    {64, u"The specified network name is no longer available.%n"},
    {65, u"Network access is denied.%n"},
    {67, u"The network name cannot be found.%n"},
    {71,
     u"No more connections can be made to this remote computer at this time because there are "
     u"already as many connections as the computer can accept.%n"},
    {85, u"The local device name is already in use.%n"},
    {86, u"The specified network password is not correct.%n"},
    {87, u"The parameter is incorrect.%n"},
    {120, u"This function is not supported on this system.%n"},
    {122, u"The data area passed to a system call is too small.%n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.%n"},
    {124, u"The system call level is not correct.%n"},
    {126, u"The specified module could not be found.%n"},
    {127, u"The specified procedure could not be found.%n"},
    {161, u"The specified path is invalid.%n"},
    {183, u"Cannot create a file when that file already exists.%n"},
    {193, u"%1 is not a valid Win32 application.%n"},
    {234, u"More data is available.%n"},
    {258, u"The wait operation timed out.%n"},
    {259, u"No more data is available.%n"},
    {299, u"Only part of a ReadProcessMemory or WriteProcessMemory request was completed.%n"},
    {317,
     u"The system cannot find message text for message number 0x%1 in the message file for %2.%n"},
    {487, u"Attempt to access invalid address.%n"},
    {1008, u"An attempt was made to reference a token that does not exist.%n"},
    {1009, u"The configuration registry database is corrupt.%n"},
    {1010, u"The configuration registry key is invalid.%n"},
    {1011, u"The configuration registry key could not be opened.%n"},
    {1012, u"The configuration registry key could not be read.%n"},
    {1013, u"The configuration registry key could not be written.%n"},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion.%n"},
    {1021, u"Cannot create a stable subkey under a volatile parent key.%n"},
    {1051,
     u"A stop control has been sent to a service that other running services are dependent on.%n"},
    {1052, u"The requested control is not valid for this service.%n"},
    {1053, u"The service did not respond to the start or control request in a timely fashion.%n"},
    {1055, u"The service database is locked.%n"},
    {1056, u"An instance of the service is already running.%n"},
    {1057,
     u"The account name is invalid or does not exist, or the password is invalid for the account "
     u"name specified.%n"},
    {1058,
     u"The service cannot be started, either because it is disabled or because it has no enabled "
     u"devices associated with it.%n"},
    {1059, u"Circular service dependency was specified.%n"},
    {1060, u"The specified service does not exist as an installed service.%n"},
    {1061, u"The service cannot accept control messages at this time.%n"},
    {1062, u"The service has not been started.%n"},
    {1066, u"The service has returned a service-specific error code.%n"},
    {1067, u"The process terminated unexpectedly.%n"},
    {1068, u"The dependency service or group failed to start.%n"},
    {1071, u"The specified database lock is invalid.%n"},
    {1072, u"The specified service has been marked for deletion.%n"},
    {1073, u"The specified service already exists.%n"},
    {1078, u"The name is already in use as either a service name or a service display name.%n"},
    {1113, u"No mapping for the Unicode character exists in the target multi-byte code page.%n"},
    {1115, u"A system shutdown is in progress.%n"},
    {1200, u"The specified device name is invalid.%n"},
    {1202, u"The local device name has a remembered connection to another network resource.%n"},
    {1219,
     u"Multiple connections to a server or shared resource by the same user, using more than one "
     u"user name, are not allowed. Disconnect all previous connections to the server or shared "
     u"resource and try again.%n"},
    {1222, u"The network is not present or not started.%n"},
    {1223, u"The operation was canceled by the user.%n"},
    {1300, u"Not all privileges referenced are assigned to the caller.%n"},
    {1311, u"There are currently no logon servers available to service the logon request.%n"},
    {1313, u"A specified privilege does not exist.%n"},
    {1314, u"A required privilege is not held by the client.%n"},
    {1321,
     u"Either the specified user account is not a member of the specified group account, or the "
     u"specified group account does not exist.%n"},
    {1326, u"Logon failure: unknown user name or bad password.%n"},
    {1327, u"Logon failure: user account restriction.%n"},
    {1328, u"Logon failure: account logon time restriction violation.%n"},
    {1329, u"Logon failure: user not allowed to log on to this computer.%n"},
    {1331, u"Logon failure: account currently disabled.%n"},
    {1332, u"No mapping between account names and security IDs was done.%n"},
    {1337, u"The security ID structure is invalid.%n"},
    {1355, u"The specified domain either does not exist or could not be contacted.%n"},
    {1371, u"Cannot perform this operation on built-in accounts.%n"},
    {1374,
     u"The user cannot be removed from a group because the group is currently the user's primary "
     u"group.%n"},
    {1376, u"The specified local group does not exist.%n"},
    {1377, u"The specified account name is not a member of the local group.%n"},
    {1378, u"The specified account name is already a member of the local group.%n"},
    {1379, u"The specified local group already exists.%n"},
    {1387,
     u"A new member could not be added to or removed from the local group because the member does "
     u"not "
     u"exist.%n"},
    {1388,
     u"A new member cannot be added to a local group because the member has the wrong account "
     u"type.%n"},
    {1392, u"The file or directory is corrupted and unreadable.%n"},
    {1400, u"Invalid window handle.%n"},
    {1500, u"The event log file is corrupted.%n"},
    {1501, u"No event log file could be opened, so the event logging service did not start.%n"},
    {1502, u"The event log file is full.%n"},
    {1503, u"The event log file has changed between read operations.%n"},
    {1722, u"The RPC server is unavailable.%n"},
    {1793, u"Logon failure: user account has expired.%n"},
    {1801, u"The printer name is invalid.%n"},
    {1907, u"The user's password must be changed before logging on the first time.%n"},
    {1909, u"The referenced account is currently locked out and may not be logged on to.%n"},
    {2116, u"The device or directory does not exist.%n"},
    {2118, u"The share name entered is already in use on this server.%n"},
    {2140, u"An internal error occurred.%n"},
    {2202, u"The user name or group name parameter is invalid.%n"},
    {2220, u"The group name could not be found.%n"},
    {2221, u"The user name could not be found.%n"},
    {2223, u"The group already exists.%n"},
    {2224, u"The account already exists.%n"},
    {2226, u"This operation is only allowed on the primary domain controller of the domain.%n"},
    {2234, u"This operation is not allowed on this special group.%n"},
    {2236, u"The user already belongs to this group.%n"},
    {2237, u"The user does not belong to this group.%n"},
    {2245,
     u"The password does not meet the password policy requirements. Check the minimum password "
     u"length, password complexity and password history requirements.%n"},
    {2250, u"This network connection does not exist.%n"},
    {2310, u"This shared resource does not exist.%n"},
    {2401, u"This network connection has files open or requests pending.%n"},
    {2453, u"Could not find domain controller for this domain.%n"},
    {6118, u"The list of servers for this workgroup is not currently available%n"},
    {11001, u"No such host is known. %n"},
    {15100, u"The resource loader failed to find MUI file.%n"},
};

static_assert(std::is_sorted(std::begin(kSystemMessages), std::end(kSystemMessages),
                             [](const SystemMessage& a, const SystemMessage& b) {
                                 return a.id < b.id;
                             }),
              "the system's messages are kept in the order of their numbers");

// FormatMessage's escapes; inserts stay as they are (IGNORE_INSERTS).
String expand_escapes(StringView stored) {
    String out;
    out.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] != u'%' || i + 1 == stored.size()) {
            out.push_back(stored[i]);
            continue;
        }
        const char16_t c = stored[++i];
        switch (c) {
            case u'0':
                return out;
            case u'n':
                out += u"\r\n";
                break;
            case u'r':
                out.push_back(u'\r');
                break;
            case u't':
                out.push_back(u'\t');
                break;
            case u'b':
                out.push_back(u' ');
                break;
            case u'%':
            case u'.':
            case u'!':
                out.push_back(c);
                break;
            default:
                out.push_back(u'%');
                out.push_back(c);
        }
    }
    return out;
}

bool language_known(uint32_t lang_id) {
    // The simulated systems carry their messages in US English only; the
    // neutral and default language ids reach it too.
    return lang_id == 0 || lang_id == 0x409 || lang_id == 0x400 || lang_id == 0x800;
}

class SimMessages : public platform::Messages {
  public:
    explicit SimMessages(Network& net) : net_(net), modules_(net.handles(), HandleKind::Module) {}

    platform::Result<platform::ModuleHandle> load_data_file(StringView path) override {
        auto call = net_.enter(op::LoadLibraryEx, {path});
        if (!call) return call.failure<platform::ModuleHandle>();
        const auto& files = call.machine().files;
        auto it = files.find(path);
        if (it == files.end())
            return platform::Result<platform::ModuleHandle>::failure(
                platform::status::kFileNotFound);
        auto parsed = platform::MessageFile::parse(it->second);
        if (!parsed)
            return platform::Result<platform::ModuleHandle>::failure(
                platform::status::kBadExeFormat);
        return {platform::status::kSuccess, modules_.open(std::move(*parsed))};
    }

    platform::Status free_module(platform::ModuleHandle module) override {
        auto call = net_.enter(op::FreeLibrary);
        if (!call) return call.status();
        return modules_.close(module) ? platform::status::kSuccess
                                      : platform::status::kInvalidHandle;
    }

    platform::Result<String> format_message(platform::ModuleHandle module, uint32_t message_id,
                                            uint32_t lang_id, uint32_t buffer_chars) override {
        using R = platform::Result<String>;
        auto call = net_.enter(op::FormatMessage);
        if (!call) return call.failure<String>();
        String text;
        if (module == 0) {
            if (!language_known(lang_id))
                return R::failure(platform::status::kResourceLangNotFound);
            const auto found =
                std::lower_bound(std::begin(kSystemMessages), std::end(kSystemMessages), message_id,
                                 [](const SystemMessage& m, uint32_t id) { return m.id < id; });
            if (found == std::end(kSystemMessages) || found->id != message_id)
                return R::failure(platform::status::kMessageNotFound);
            text = expand_escapes(found->text);
        } else {
            const platform::MessageFile* file = modules_.find(module);
            if (!file) return R::failure(platform::status::kInvalidHandle);
            if (lang_id > 0xFFFF) return R::failure(platform::status::kResourceLangNotFound);
            const LocaleState& locale = call.machine().locale;
            auto found = file->find(message_id, static_cast<uint16_t>(lang_id),
                                    static_cast<uint16_t>(locale.user_lcid & 0xFFFF),
                                    static_cast<uint16_t>(locale.system_lcid & 0xFFFF));
            if (!found.ok()) return R::failure(found.status);
            text = expand_escapes(found.value);
        }
        if (text.size() + 1 > buffer_chars)
            return R::failure(platform::status::kInsufficientBuffer);
        return {platform::status::kSuccess, std::move(text)};
    }

  private:
    Network& net_;
    HandleTable<platform::MessageFile> modules_;
};

}  // namespace

std::shared_ptr<platform::Messages> make_messages(Network& net) {
    return std::make_shared<SimMessages>(net);
}

}  // namespace vorlek::sim
