#include "automation/object.h"

#include <atomic>
#include <unordered_map>
#include <vector>

#include "automation/variant.h"

namespace vorlek {

namespace {
std::atomic<uint64_t> g_live{0};

// Set while the collector frees a cycle: the releases it causes do not start
// another collection (what they could free is part of the same graph).
thread_local bool t_collecting = false;

// What a root reaches (the root first): objects and the arrays between them,
// and the references between them, one entry per strong reference. An
// array's holders are the Variants sharing it; it holds no others.
struct Graph {
    struct Node {
        Object* object;
        const Array* array;
        long holders;  // for an array
    };
    std::vector<Node> nodes;
    std::vector<std::vector<size_t>> edges;
    std::unordered_map<const void*, size_t> index;

    size_t add(Object* object, const Array* array, long holders) {
        const void* key = object ? static_cast<const void*>(object) : array;
        auto [it, inserted] = index.try_emplace(key, nodes.size());
        if (inserted) {
            nodes.push_back({object, array, holders});
            edges.emplace_back();
        }
        return it->second;
    }
};

class Collect final : public ReferenceVisitor {
  public:
    Collect(Graph& graph, size_t from) : graph_(graph), from_(from) {}
    void operator()(Object& referenced) override { edge(graph_.add(&referenced, nullptr, 0)); }
    void operator()(const Array& referenced, long holders) override {
        edge(graph_.add(nullptr, &referenced, holders));
    }

  private:
    void edge(size_t to) { graph_.edges[from_].push_back(to); }
    Graph& graph_;
    size_t from_;
};

// Iterative: a chain of nested collections must not exhaust the stack.
Graph reachable_from(Object* object, const Array* array, long holders) {
    Graph graph;
    graph.add(object, array, holders);
    for (size_t i = 0; i < graph.nodes.size(); ++i) {
        Collect collect(graph, i);
        if (Object* o = graph.nodes[i].object) {
            o->visit_references(collect);
        } else if (auto* items =
                       std::get_if<std::vector<Variant>>(&graph.nodes[i].array->elements)) {
            for (const Variant& v : *items)
                v.visit_references(collect);
        }
    }
    return graph;
}

class AnyReference final : public ReferenceVisitor {
  public:
    void operator()(Object&) override { found = true; }
    void operator()(const Array&, long) override { found = true; }
    bool found = false;
};

}  // namespace

Object::Object() {
    ++g_live;
}

uint64_t Object::live_count() noexcept {
    return g_live.load();
}

Object::~Object() {
    --g_live;
    if (peer_) peer_->object_destroyed();
}

void Object::referenced(const Variant& value) noexcept {
    if (Object* o = value.if_object()) return referenced(o);
    const Array* array = value.if_array();
    if (!array || array->element_type() != VarType::Variant) return;
    // Arrays are not released on their own: a cycle through one is marked on
    // its objects, which is where the last outside reference goes.
    struct Holders final : ReferenceVisitor {
        void operator()(Object&) override {}
        void operator()(const Array&, long n) override { holders = n; }
        long holders = 0;
    } holders;
    value.visit_references(holders);
    mark_cycle(nullptr, array, holders.holders);
}

void Object::referenced(Object* target) noexcept {
    if (!target) return;
    if (target != this) {
        // The common case, a new item that holds nothing, costs no search.
        AnyReference any;
        target->visit_references(any);
        if (!any.found) return;
    }
    mark_cycle(target, nullptr, 0);
}

void Object::mark_cycle(Object* object, const Array* array, long holders) noexcept {
    try {
        const Graph graph = reachable_from(object, array, holders);
        auto self = graph.index.find(this);
        if (self == graph.index.end()) return;  // no cycle
        // The cycle is everything reachable from the new reference that
        // reaches back to this object: walk the references backwards.
        std::vector<std::vector<size_t>> back(graph.nodes.size());
        for (size_t from = 0; from < graph.nodes.size(); ++from)
            for (size_t to : graph.edges[from])
                back[to].push_back(from);
        std::vector<bool> seen(graph.nodes.size());
        std::vector<size_t> todo{self->second};
        seen[self->second] = true;
        while (!todo.empty()) {
            size_t at = todo.back();
            todo.pop_back();
            if (Object* o = graph.nodes[at].object) o->in_cycle_ = true;
            for (size_t from : back[at]) {
                if (!seen[from]) {
                    seen[from] = true;
                    todo.push_back(from);
                }
            }
        }
    } catch (...) {
        // Out of memory: mark both ends, which covers the common cycle of two.
        in_cycle_ = true;
        if (object) object->in_cycle_ = true;
    }
}

void Object::collect_cycles() noexcept {
    // Trial deletion over what this object reaches: a node held more often
    // than the graph itself holds it has a holder outside, and it and all it
    // reaches stay. The rest is held only by itself and is freed.
    //
    // The graph may include an object whose member is running and changing
    // its fields (a Remove that releases an item); that object is held by the
    // caller of the member, so it and all it reaches count as held.
    if (t_collecting) return;
    try {
        const Graph graph = reachable_from(this, nullptr, 0);
        const size_t n = graph.nodes.size();
        std::vector<uint32_t> inside(n);
        for (const auto& targets : graph.edges)
            for (size_t to : targets)
                ++inside[to];
        std::vector<bool> held(n);
        std::vector<size_t> todo;
        for (size_t i = 0; i < n; ++i) {
            const Graph::Node& node = graph.nodes[i];
            const long refs = node.object ? static_cast<long>(node.object->refs_) : node.holders;
            if (refs > static_cast<long>(inside[i])) {
                held[i] = true;
                todo.push_back(i);
            }
        }
        while (!todo.empty()) {
            size_t at = todo.back();
            todo.pop_back();
            for (size_t to : graph.edges[at]) {
                if (!held[to]) {
                    held[to] = true;
                    todo.push_back(to);
                }
            }
        }
        // Arrays among the rest go when the objects holding them let go.
        std::vector<Object*> garbage;
        for (size_t i = 0; i < n; ++i)
            if (!held[i] && graph.nodes[i].object) garbage.push_back(graph.nodes[i].object);
        if (garbage.empty()) return;
        // Hold each one while the references between them go, then let go.
        t_collecting = true;
        for (Object* o : garbage)
            o->add_ref();
        for (Object* o : garbage)
            o->drop_references();
        for (Object* o : garbage)
            o->release_ref();
        t_collecting = false;
    } catch (...) {
        // Out of memory while looking: the cycle stays, as it would have.
    }
}

}  // namespace vorlek
