// The registries of the simulated machines: a tree of keys per machine with
// the hives NT has, values stored as a hive file holds them (string data in
// UTF-16), security descriptors per key, and the hives loaded from files.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "platform/registry.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

class Network;
struct Machine;

struct RegistryValue {
    String name;  // "" is the key's default value
    uint32_t type = platform::reg::kNone;
    std::vector<uint8_t> data;
};

// One key. Sub-keys are found by name in O(1) and enumerated in the order a
// hive file keeps them (by upper-case name); values keep the order they were
// set in. A key that is deleted (or whose hive went) stays alive as long as
// a handle holds it, marked so that the handle answers 1018.
class KeyNode {
  public:
    explicit KeyNode(String name = {}) : name_(std::move(name)) {}
    KeyNode(const KeyNode&) = delete;
    KeyNode& operator=(const KeyNode&) = delete;

    const String& name() const noexcept { return name_; }
    // Only for a key that is not in a tree yet (a hive read from a file).
    void rename(String name) { name_ = std::move(name); }
    KeyNode* parent() const noexcept { return parent_; }

    String class_name;
    platform::FileTime write_time = 0;
    bool is_volatile = false;
    bool deleted = false;
    // Shared between keys that have the same descriptor (most of a tree).
    std::shared_ptr<const platform::SecurityDescriptor> security;

    KeyNode* child(StringView name) const;
    std::shared_ptr<KeyNode> child_ref(StringView name) const;
    // Adds a sub-key (or returns the existing one of that name).
    KeyNode& add_child(StringView name);
    // Adds a whole tree under its own name, replacing a key of that name.
    void attach(std::shared_ptr<KeyNode> node);
    // Takes a sub-key out of the tree; it and everything below are marked deleted.
    void remove_child(StringView name);
    size_t child_count() const noexcept { return children_.size(); }
    // The sub-keys in enumeration order (sorted on first use after a change).
    const std::vector<KeyNode*>& children() const;

    const std::vector<RegistryValue>& values() const noexcept { return values_; }
    const RegistryValue* value(StringView name) const;
    void set_value(StringView name, uint32_t type, std::vector<uint8_t> data);
    bool remove_value(StringView name);
    // Replaces the values and sub-keys by those of `other` (RegRestoreKey),
    // the old sub-keys marked deleted.
    void take_contents(KeyNode& other);
    // A copy of this key and everything below it, without a parent; each key
    // copied is entered in `copies` (for whatever else refers to keys).
    using Copies = std::unordered_map<const KeyNode*, std::shared_ptr<KeyNode>>;
    std::shared_ptr<KeyNode> copy_tree(Copies& copies) const;

  private:
    String name_;
    KeyNode* parent_ = nullptr;
    std::unordered_map<String, std::shared_ptr<KeyNode>, CaseInsensitiveHash, CaseInsensitiveEqual>
        children_;
    mutable std::vector<KeyNode*> order_;
    mutable bool order_valid_ = true;
    std::vector<RegistryValue> values_;
    std::unordered_map<String, size_t, CaseInsensitiveHash, CaseInsensitiveEqual> value_index_;
};

// Marks a tree deleted (its handles answer 1018 from now on).
void mark_deleted(KeyNode& node);

// String data as a hive stores it: UTF-16LE, and back.
std::vector<uint8_t> utf16_bytes(StringView text);
String utf16_text(const std::vector<uint8_t>& bytes);

struct RegistryState {
    bool built = false;
    // Set by registry_state() and service_table() (whose services keep their
    // keys): the tree may have changed since the network was saved or
    // restored, so Network::restore() copies it back; otherwise it keeps it.
    bool used = false;
    std::shared_ptr<KeyNode> local_machine;  // HKLM: SOFTWARE, SYSTEM, SAM, SECURITY
    std::shared_ptr<KeyNode> users;          // HKU: .DEFAULT and a hive per loaded profile
    std::shared_ptr<KeyNode> performance;    // HKPD
    // Keys of HKLM and HKU that RegLoadKey made, by "HKLM\NAME" or "HKU\NAME".
    std::unordered_map<String, String, CaseInsensitiveHash, CaseInsensitiveEqual> loaded;
};

namespace op {
inline constexpr Operation RegConnectRegistry{u"RegConnectRegistry"};
inline constexpr Operation RegOpenKeyEx{u"RegOpenKeyEx"};
inline constexpr Operation RegCreateKeyEx{u"RegCreateKeyEx"};
inline constexpr Operation RegCloseKey{u"RegCloseKey"};
inline constexpr Operation RegQueryInfoKey{u"RegQueryInfoKey"};
inline constexpr Operation RegEnumKeyEx{u"RegEnumKeyEx"};
inline constexpr Operation RegEnumValue{u"RegEnumValue"};
inline constexpr Operation RegQueryValueEx{u"RegQueryValueEx"};
inline constexpr Operation RegSetValueEx{u"RegSetValueEx"};
inline constexpr Operation RegDeleteKey{u"RegDeleteKey"};
inline constexpr Operation RegDeleteValue{u"RegDeleteValue"};
inline constexpr Operation RegGetKeySecurity{u"RegGetKeySecurity"};
inline constexpr Operation RegSaveKey{u"RegSaveKey"};
inline constexpr Operation RegLoadKey{u"RegLoadKey"};
inline constexpr Operation RegUnLoadKey{u"RegUnLoadKey"};
inline constexpr Operation RegRestoreKey{u"RegRestoreKey"};
}  // namespace op

// A machine's registry, made on first use from what the rest of the
// simulation says about the machine (its name, version, accounts, the
// standard services and event-log sources).
RegistryState& registry_state(Network& net, Machine& machine);

// A value as the system's own components read it: a DWORD (else `fallback`),
// and a text up to its first NUL (a list whole; "" for a value that is not
// text).
uint32_t dword_of(const RegistryValue& v, uint32_t fallback);
String text_of(const RegistryValue& v);
// The key a predefined root stands for on that machine (HKCR is
// HKLM\SOFTWARE\Classes, HKCU the caller's entry of HKU, HKCC the current
// hardware profile); null when it is missing.
std::shared_ptr<KeyNode> predefined_key(Network& net, Machine& machine, platform::RegKey root);
// The key at a path below `from` ("A\B"); null when a part is missing.
KeyNode* find_key(KeyNode& from, StringView path);

}  // namespace vorlek::sim
