// Process: the processes of the local machine with their programs and memory
// counters, the 16-bit tasks of a virtual DOS machine, starting a program
// (also as another user) and waiting for it, ending a process by id, window
// title or program path, and switching a privilege of the calling process.
#pragma once

#include <array>

#include "automation/collection.h"

namespace vorlek {

class Process : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    // The privilege and right names, in interface order.
    struct PrivilegeConstant {
        StringView member;
        StringView value;
    };
    static constexpr std::array<PrivilegeConstant, 28> kPrivileges{{
        {u"SE_INTERACTIVE_LOGON_NAME", u"SeInteractiveLogonRight"},
        {u"SE_NETWORK_LOGON_NAME", u"SeNetworkLogonRight"},
        {u"SE_BATCH_LOGON_NAME", u"SeBatchLogonRight"},
        {u"SE_SERVICE_LOGON_NAME", u"SeServiceLogonRight"},
        {u"SE_CREATE_TOKEN_NAME", u"SeCreateTokenPrivilege"},
        {u"SE_ASSIGNPRIMARYTOKEN_NAME", u"SeAssignPrimaryTokenPrivilege"},
        {u"SE_LOCK_MEMORY_NAME", u"SeLockMemoryPrivilege"},
        {u"SE_INCREASE_QUOTA_NAME", u"SeIncreaseQuotaPrivilege"},
        {u"SE_UNSOLICITED_INPUT_NAME", u"SeUnsolicitedInputPrivilege"},
        {u"SE_MACHINE_ACCOUNT_NAME", u"SeMachineAccountPrivilege"},
        {u"SE_TCB_NAME", u"SeTcbPrivilege"},
        {u"SE_SECURITY_NAME", u"SeSecurityPrivilege"},
        {u"SE_TAKE_OWNERSHIP_NAME", u"SeTakeOwnershipPrivilege"},
        {u"SE_LOAD_DRIVER_NAME", u"SeLoadDriverPrivilege"},
        {u"SE_SYSTEM_PROFILE_NAME", u"SeSystemProfilePrivilege"},
        {u"SE_SYSTEMTIME_NAME", u"SeSystemtimePrivilege"},
        {u"SE_PROF_SINGLE_PROCESS_NAME", u"SeProfileSingleProcessPrivilege"},
        {u"SE_INC_BASE_PRIORITY_NAME", u"SeIncreaseBasePriorityPrivilege"},
        {u"SE_CREATE_PAGEFILE_NAME", u"SeCreatePagefilePrivilege"},
        {u"SE_CREATE_PERMANENT_NAME", u"SeCreatePermanentPrivilege"},
        {u"SE_BACKUP_NAME", u"SeBackupPrivilege"},
        {u"SE_RESTORE_NAME", u"SeRestorePrivilege"},
        {u"SE_SHUTDOWN_NAME", u"SeShutdownPrivilege"},
        {u"SE_DEBUG_NAME", u"SeDebugPrivilege"},
        {u"SE_AUDIT_NAME", u"SeAuditPrivilege"},
        {u"SE_SYSTEM_ENVIRONMENT_NAME", u"SeSystemEnvironmentPrivilege"},
        {u"SE_CHANGE_NOTIFY_NAME", u"SeChangeNotifyPrivilege"},
        {u"SE_REMOTE_SHUTDOWN_NAME", u"SeRemoteShutdownPrivilege"},
    }};
    static constexpr size_t kSecurityName = 11, kDebugName = 23, kShutdownName = 22,
                            kRemoteShutdownName = 27, kBackupName = 20, kRestoreName = 21;

    static constexpr int32_t kInfinite = -1;
    // Results of the class's own for the desktop grant of StartProcess.
    static constexpr int32_t kNoController = -532;
    static constexpr int32_t kAccountNotFound = -533;
    static constexpr int32_t kBadAccountSid = -534;
    static constexpr int32_t kNoAccessList = -535;
    // EnumProcesses is never asked for more than this many bytes of ids.
    static constexpr uint32_t kMaxIdBytes = 1u << 24;

    Ref<Collection> Processes() const { return processes_; }
    void SetProcesses(Ref<Collection> collection) {
        processes_ = std::move(collection);
        referenced(processes_.get());
    }
    // Processes may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (processes_) visit(*processes_);
    }
    void drop_references() noexcept override { auto dropped = std::move(processes_); }
    void SetBaseName(String pattern);
    String ModuleBaseName() const { return base_name_; }
    String ModuleFileName() const { return file_name_; }
    int32_t ProcessPID() const { return pid_; }
    int32_t PageFaultCount() const { return counters_[0]; }
    int32_t PeakWorkingSetSize() const { return counters_[1]; }
    int32_t WorkingSetSize() const { return counters_[2]; }
    int32_t PeakPagedPoolUsage() const { return counters_[3]; }
    int32_t PagedPoolUsage() const { return counters_[4]; }
    int32_t PeakNonPagedPoolUsage() const { return counters_[5]; }
    int32_t NonPagedPoolUsage() const { return counters_[6]; }
    int32_t PagefileUsage() const { return counters_[7]; }
    int32_t PeakPagefileUsage() const { return counters_[8]; }
    int32_t ExitCode() const { return exit_code_; }
    template <size_t I>
    String PrivilegeName() const {
        return String(kPrivileges[I].value);
    }
    int32_t SetMyTokenPrivileges(String strPrivilege, bool booEnable);
    void SetNtvdmID(int32_t lngProcessID);
    int32_t EndProcess(int32_t lngProcessID, String strApplication, String strPath, bool booForce,
                       int32_t lngWait);
    int32_t StartProcess(String strPath, int32_t lngWait, bool booVisible, String strUser,
                         String strPassword, String strDomain, bool booLoadProfile,
                         String strProfilePath);

  private:
    // Every process of the machine, loaded as SetBaseName loads its items.
    std::vector<Ref<Process>> snapshot();
    static Ref<Process> load(uint32_t pid);

    Ref<Collection> processes_;
    String filter_;
    String base_name_;
    String file_name_;
    int32_t pid_ = 0;
    std::array<int32_t, 9> counters_{};
    int32_t exit_code_ = 0;
};

}  // namespace vorlek
