#include "library/library.h"

#include "automation/collection.h"
#include "computers/computer.h"
#include "console/consoler.h"
#include "eventlog/eventer.h"
#include "groups/group_manager.h"
#include "policy/modals_manager.h"
#include "processes/process.h"
#include "registry/registry.h"
#include "rights/local_securer.h"
#include "services/service.h"
#include "shares/sharer.h"
#include "strings/stringer.h"
#include "system/dll_class.h"
#include "users/user_manager.h"

namespace vorlek {

const Catalogue& library() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.add(DllClass::info());
        c.add(Computer::info());
        c.add(Registry::info());
        c.add(Stringer::info());
        c.add(ModalsManager::info());
        c.add(UserManager::info());
        c.add(GroupManager::info());
        c.add(Process::info());
        c.add(Service::info());
        c.add(Eventer::info());
        c.add(LocalSecurer::info());
        c.add(Sharer::info());
        c.add(Consoler::info());
        return c;
    }();
    return catalogue;
}

std::vector<const ClassInfo*> described_classes() {
    std::vector<const ClassInfo*> classes = library().classes();
    classes.push_back(&Collection::info());
    return classes;
}

}  // namespace vorlek
