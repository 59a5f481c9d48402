#include "automation/object.h"

#include <atomic>
#include <unordered_map>
#include <vector>

namespace vorlek {

namespace {
std::atomic<uint64_t> g_live{0};

// Set while the collector frees a cycle: the releases it causes do not start
// another collection (what they could free is part of the same graph).
thread_local bool t_collecting = false;

// The objects reachable from a root (the root first) and the references
// between them, one entry per strong reference.
struct Graph {
    std::vector<Object*> nodes;
    std::vector<std::vector<size_t>> edges;
    std::unordered_map<Object*, size_t> index;

    size_t add(Object* node) {
        auto [it, inserted] = index.try_emplace(node, nodes.size());
        if (inserted) {
            nodes.push_back(node);
            edges.emplace_back();
        }
        return it->second;
    }
};

class Collect final : public ReferenceVisitor {
  public:
    Collect(Graph& graph, size_t from) : graph_(graph), from_(from) {}
    void operator()(Object& referenced) override {
        size_t to = graph_.add(&referenced);
        graph_.edges[from_].push_back(to);
    }

  private:
    Graph& graph_;
    size_t from_;
};

// Iterative: a chain of nested collections must not exhaust the stack.
Graph reachable_from(Object& root) {
    Graph graph;
    graph.add(&root);
    for (size_t i = 0; i < graph.nodes.size(); ++i) {
        Collect collect(graph, i);
        graph.nodes[i]->visit_references(collect);
    }
    return graph;
}

class AnyReference final : public ReferenceVisitor {
  public:
    void operator()(Object&) override { found = true; }
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

void Object::referenced(Object* target) {
    if (!target) return;
    if (target != this) {
        // The common case, a new item that holds nothing, costs no search.
        AnyReference any;
        target->visit_references(any);
        if (!any.found) return;
    }
    try {
        const Graph graph = reachable_from(*target);
        auto self = graph.index.find(this);
        if (self == graph.index.end()) return;  // no cycle
        // The cycle is every object reachable from the target that reaches
        // back to this one: walk the references backwards from here.
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
            graph.nodes[at]->in_cycle_ = true;
            for (size_t from : back[at]) {
                if (!seen[from]) {
                    seen[from] = true;
                    todo.push_back(from);
                }
            }
        }
    } catch (...) {
        // Out of memory: mark both ends, which covers a cycle of two.
        in_cycle_ = true;
        target->in_cycle_ = true;
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
        const Graph graph = reachable_from(*this);
        const size_t n = graph.nodes.size();
        std::vector<uint32_t> inside(n);
        for (const auto& targets : graph.edges)
            for (size_t to : targets)
                ++inside[to];
        std::vector<bool> held(n);
        std::vector<size_t> todo;
        for (size_t i = 0; i < n; ++i) {
            if (graph.nodes[i]->refs_ > inside[i]) {
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
        std::vector<Object*> garbage;
        for (size_t i = 0; i < n; ++i)
            if (!held[i]) garbage.push_back(graph.nodes[i]);
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
