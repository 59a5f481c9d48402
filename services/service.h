// Service: the service control manager of a local or remote machine. One
// object describes one service (status and configuration as the platform's
// constant names), the state of the service database lock, and a collection
// of further Service objects, one per installed service. The lets write
// through to the manager at once and reload the object.
#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <utility>

#include "automation/collection.h"
#include "automation/packed_texts.h"
#include "platform/services.h"

namespace vorlek {

class Service : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr int32_t kWin32 = 0x30;
    static constexpr int32_t kDriver = 0xB;
    static constexpr int32_t kServiceSpecificError = 1066;
    // The first half of an account change: waiting for the other half.
    static constexpr int32_t kPairPending = -8989;
    static constexpr StringView kPasswordMask = u"***************";

    Service();

    Ref<Collection> Services();
    void SetServices(Ref<Collection> collection) {
        services_ = std::move(collection);
        referenced(services_.get());
    }
    // Services may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (services_) visit(*services_);
    }
    void drop_references() noexcept override { auto dropped = std::move(services_); }

    int32_t InitServices(int32_t lngServiceType, String strComputer, String strDefault);
    int32_t InitServiceDB(String strComputer, String strDefault);
    int32_t RemoveService(String strServiceName, String strComputer);
    int32_t GetServiceInfo(String strServiceName, String strComputer, String strDefault);
    String GetServiceName(String strDisplayName, Variant strComputer, String strDefault);
    String GetDisplayName(String strServiceName, Variant strComputer, String strDefault);
    void SetServiceDBLocked(bool value);

    int32_t LastError() const { return last_error_; }
    bool Valid() const { return valid_; }
    bool ValidDB() const { return valid_db_; }
    bool ServiceDBLocked() const { return db_locked_; }
    String ServiceDBLockOwner() const { return rare_ ? rare_->db_lock_owner : String(); }
    int32_t ServiceDBLockDuration() const { return rare_ ? rare_->db_lock_duration : 0; }
    String Computer() const { return place_->computer; }

    String ServiceName() const { return String(text(kServiceName)); }
    String DisplayName() const { return String(text(kDisplayName)); }
    String ServiceType() const;
    String CurrentState() const;
    String ControlsAccepted() const;
    int32_t Win32ExitCode() const { return r_.win32_exit_code; }
    int32_t ServiceSpecificExitCode() const { return r_.service_specific_exit_code; }
    int32_t CheckPoint() const { return r_.check_point; }
    int32_t WaitHint() const { return r_.wait_hint; }
    int32_t ProcessID() const { return r_.process_id; }
    String ServiceFlags() const;
    String StartType() const;
    String ErrorControl() const;
    String BinaryPathName() const { return config_text(kBinaryPath); }
    String LoadOrderGroup() const { return config_text(kLoadOrderGroup); }
    int32_t TagID() const { return r_.tag_id; }
    String Dependencies() const { return config_text(kDependencies); }
    String ServiceStartName() const { return config_text(kStartName); }
    String ServicePassword() const { return String(kPasswordMask); }

    void SetDisplayName(String value);
    void SetServiceType(String value);
    void SetCurrentState(String value);
    void SetStartType(String value);
    void SetBinaryPathName(String value);
    void SetServiceStartName(String value);
    void SetServicePassword(String value);

    // A lock still held when the last reference goes is given back, as the
    // system does when the process that took it ends.
    ~Service() override;

  private:
    // One service's values, in the record's (alphabetical) order. The codes
    // become their constant names when read, and the configuration's texts
    // are kept as the platform gave them ("" for none, shown as the default),
    // so a listed item holds no text it shares with the others. Its own texts
    // are kept one after another in one block.
    enum Text : uint8_t {
        kBinaryPath,
        kDependencies,
        kDisplayName,
        kLoadOrderGroup,
        kServiceName,
        kStartName,
        kTextCount
    };
    struct Record {
        PackedTexts<kTextCount> texts;
        int32_t check_point = 0;
        uint32_t controls_accepted = 0;
        uint32_t current_state = 0;
        uint32_t error_control = 0;
        int32_t process_id = 0;
        uint32_t service_flags = 0;
        int32_t service_specific_exit_code = 0;
        uint32_t service_type = 0;
        uint32_t start_type = 0;
        int32_t tag_id = 0;
        int32_t wait_hint = 0;
        int32_t win32_exit_code = 0;
        // What has been read: a load that fails half-way shows the half it read.
        bool status_read = false;
        bool config_read = false;
    };
    // The Computer text and the caller's default, shared by the items of a
    // listing.
    struct Place {
        String computer;
        String no_text;
    };
    // What only the lock and the account lets use, made when first needed.
    struct Rare {
        String db_lock_owner;
        int32_t db_lock_duration = 0;
        platform::ScHandle lock = 0;
        uint64_t lock_platform = 0;  // the id of the platform `lock` belongs to
        String lock_computer;        // the Computer text it was taken with
        String pending_start_name;
        String pending_password;
    };

    StringView text(Text which) const;
    void set_texts(std::initializer_list<std::pair<Text, StringView>> changed);
    String config_text(Text which) const;
    void set_place(String computer, String no_text);
    Rare& rare();
    void reset();
    void fill_status(const platform::ServiceStatus& status);
    void fill_config(const platform::ServiceConfig& config);
    // The common frame of the lets: open the service with `access`, make
    // the change, reload on success.
    template <class Change>
    void write_through(uint32_t access, Change&& change);
    // A configuration change through the common frame of the lets.
    void change_config(const platform::ConfigChange& change);
    void change_account(const String& name, const String& password);
    void pair_account(bool is_name, String value);
    String look_up(bool key_name, String name, const Variant& computer, String no_text);
    // The lock handle, or 0 when there is none on the current platform (the
    // one it was taken on has gone).
    platform::ScHandle held_lock() const;

    Ref<Collection> services_;
    Record r_;
    std::shared_ptr<const Place> place_;
    std::unique_ptr<Rare> rare_;
    int32_t last_error_ = 0;
    bool valid_ = false;
    bool valid_db_ = false;
    bool db_locked_ = false;
    bool start_name_pending_ = false;
    bool password_pending_ = false;
};

}  // namespace vorlek
