// Service: the service control manager of a local or remote machine. One
// object describes one service (status and configuration as the platform's
// constant names), the state of the service database lock, and a collection
// of further Service objects, one per installed service. The lets write
// through to the manager at once and reload the object.
#pragma once

#include "automation/collection.h"
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
    String ServiceDBLockOwner() const { return db_lock_owner_; }
    int32_t ServiceDBLockDuration() const { return db_lock_duration_; }
    String Computer() const { return computer_; }

    String ServiceName() const { return r_.service_name; }
    String DisplayName() const { return r_.display_name; }
    String ServiceType() const { return r_.service_type; }
    String CurrentState() const { return r_.current_state; }
    String ControlsAccepted() const { return r_.controls_accepted; }
    int32_t Win32ExitCode() const { return r_.win32_exit_code; }
    int32_t ServiceSpecificExitCode() const { return r_.service_specific_exit_code; }
    int32_t CheckPoint() const { return r_.check_point; }
    int32_t WaitHint() const { return r_.wait_hint; }
    int32_t ProcessID() const { return r_.process_id; }
    String ServiceFlags() const { return r_.service_flags; }
    String StartType() const { return r_.start_type; }
    String ErrorControl() const { return r_.error_control; }
    String BinaryPathName() const { return r_.binary_path_name; }
    String LoadOrderGroup() const { return r_.load_order_group; }
    int32_t TagID() const { return r_.tag_id; }
    String Dependencies() const { return r_.dependencies; }
    String ServiceStartName() const { return r_.service_start_name; }
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
    // One service's values, in the record's (alphabetical) order.
    struct Record {
        String binary_path_name;
        int32_t check_point = 0;
        String controls_accepted;
        String current_state;
        String dependencies;
        String display_name;
        String error_control;
        String load_order_group;
        int32_t process_id = 0;
        String service_flags;
        String service_name;
        int32_t service_specific_exit_code = 0;
        String service_start_name;
        String service_type;
        String start_type;
        int32_t tag_id = 0;
        int32_t wait_hint = 0;
        int32_t win32_exit_code = 0;
    };

    void reset();
    void fill_status(const platform::ServiceStatus& status, StringView no_text);
    void fill_config(const platform::ServiceConfig& config, StringView no_text);
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
    bool valid_ = false;
    bool valid_db_ = false;
    int32_t last_error_ = 0;
    String computer_;
    bool db_locked_ = false;
    String db_lock_owner_;
    int32_t db_lock_duration_ = 0;
    platform::ScHandle lock_ = 0;
    uint64_t lock_platform_ = 0;  // the id of the platform lock_ belongs to
    String lock_computer_;        // the Computer text it was taken with
    String default_;
    String pending_start_name_;
    String pending_password_;
    bool start_name_pending_ = false;
    bool password_pending_ = false;
};

}  // namespace vorlek
