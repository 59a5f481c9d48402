// Hive files: a 4 KiB base block, then bins of 4 KiB multiples holding
// cells (a signed size, negative when in use, then the cell's data). Keys
// (nk) point at their class, security (sk), value list and sub-key list
// (lf, lh, li or ri over those); values (vk) hold up to four bytes in place
// and point at a data cell (or a db cell of segments) otherwise. Offsets
// count from the first bin. Files are written as version 1.3 (the NT 4 and
// 2000 layout, whose lists are lf and whose data cells may be any size) and
// read in every version 1.x.
#include "platform/sim/hive_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/little_endian.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
using platform::SecurityDescriptor;
using platform::Status;

constexpr size_t kBaseBlock = 4096;
constexpr size_t kBinAlign = 4096;
constexpr size_t kBinHeader = 32;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint16_t kKeyHiveEntry = 0x4, kKeyNoDelete = 0x8, kKeyCompName = 0x20;
constexpr uint16_t kValueCompName = 0x1;
constexpr uint32_t kDataInline = 0x80000000;
constexpr size_t kNkHeader = 0x4C, kVkHeader = 0x14, kSkHeader = 0x14;
constexpr size_t kListChunk = 512;  // entries per lf list before an ri index is needed
constexpr size_t kMaxDepth = 512;   // levels of keys the system allows

using platform::get16;
using platform::get32;
using platform::get64;
using platform::put16;
using platform::put32;
using platform::put64;

bool latin1(StringView name) {
    return std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x100; });
}

// A name as a key or value cell stores it: one byte per character when
// every character fits, UTF-16 otherwise.
std::vector<uint8_t> name_bytes(StringView name, bool compressed) {
    if (!compressed) return utf16_bytes(name);
    std::vector<uint8_t> out(name.begin(), name.end());
    return out;
}

String name_text(const uint8_t* p, size_t n, bool compressed) {
    String out;
    if (compressed) {
        out.assign(p, p + n);
    } else {
        out.reserve(n / 2);
        for (size_t i = 0; i + 1 < n; i += 2)
            out.push_back(static_cast<char16_t>(p[i] | p[i + 1] << 8));
    }
    return out;
}

uint32_t checksum(const uint8_t* base) {
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4)
        sum ^= get32(base + i);
    if (sum == 0) return 1;
    if (sum == 0xFFFFFFFF) return 0xFFFFFFFE;
    return sum;
}

// --- Writing -----------------------------------------------------------------

class Writer {
  public:
    explicit Writer(platform::FileTime saved) : saved_(saved) {}

    std::vector<uint8_t> file(const KeyNode& root) {
        const uint32_t root_offset = key(root, kNone, true);
        link_security();
        close_bin();
        std::vector<uint8_t> out(kBaseBlock, 0);
        uint8_t* b = out.data();
        std::memcpy(b, "regf", 4);
        put32(b + 0x04, 1);
        put32(b + 0x08, 1);
        put64(b + 0x0C, saved_);
        put32(b + 0x14, 1);
        put32(b + 0x18, 3);
        put32(b + 0x1C, 0);
        put32(b + 0x20, 1);
        put32(b + 0x24, root_offset);
        put32(b + 0x28, static_cast<uint32_t>(bins_.size()));
        put32(b + 0x2C, 1);
        const std::vector<uint8_t> name = utf16_bytes(root.name().substr(0, 31));
        std::copy(name.begin(), name.end(), b + 0x30);
        put32(b + 0x1FC, checksum(b));
        out.insert(out.end(), bins_.begin(), bins_.end());
        return out;
    }

  private:
    // A cell of `size` data bytes; its offset (of the size field). A cell
    // never crosses a bin: a bin too full for it is closed with a free cell.
    uint32_t alloc(size_t size) {
        const size_t cell = (size + 4 + 7) & ~size_t{7};
        if (bin_end_ - bins_.size() < cell) {
            close_bin();
            const size_t bin =
                std::max(kBinAlign, (cell + kBinHeader + kBinAlign - 1) & ~(kBinAlign - 1));
            const size_t start = bins_.size();
            bins_.resize(start + kBinHeader, 0);
            std::memcpy(&bins_[start], "hbin", 4);
            put32(&bins_[start + 4], static_cast<uint32_t>(start));
            put32(&bins_[start + 8], static_cast<uint32_t>(bin));
            put64(&bins_[start + 20], saved_);
            bin_end_ = start + bin;
        }
        const size_t at = bins_.size();
        bins_.resize(at + cell, 0);
        put32(&bins_[at], static_cast<uint32_t>(-static_cast<int32_t>(cell)));
        return static_cast<uint32_t>(at);
    }
    void close_bin() {
        if (bins_.size() < bin_end_) {
            const size_t at = bins_.size();
            bins_.resize(bin_end_, 0);
            put32(&bins_[at], static_cast<uint32_t>(bin_end_ - at));
        }
    }
    uint8_t* data(uint32_t cell) { return &bins_[cell + 4]; }

    uint32_t security(const KeyNode& node) {
        if (!node.security) return kNone;
        const std::vector<uint8_t> sd = node.security->bytes();
        std::string key(sd.begin(), sd.end());
        auto it = sk_.find(key);
        if (it == sk_.end()) {
            const uint32_t cell = alloc(kSkHeader + sd.size());
            uint8_t* p = data(cell);
            std::memcpy(p, "sk", 2);
            put32(p + 0x10, static_cast<uint32_t>(sd.size()));
            std::copy(sd.begin(), sd.end(), p + kSkHeader);
            it = sk_.emplace(std::move(key), cell).first;
            sk_order_.push_back(cell);
        }
        uint8_t* p = data(it->second);
        put32(p + 0x0C, get32(p + 0x0C) + 1);
        return it->second;
    }
    void link_security() {
        const size_t n = sk_order_.size();
        for (size_t i = 0; i < n; ++i) {
            uint8_t* p = data(sk_order_[i]);
            put32(p + 0x04, sk_order_[(i + 1) % n]);
            put32(p + 0x08, sk_order_[(i + n - 1) % n]);
        }
    }

    uint32_t value(const RegistryValue& v) {
        const bool compressed = latin1(v.name);
        const std::vector<uint8_t> name = name_bytes(v.name, compressed);
        const uint32_t size = static_cast<uint32_t>(v.data.size());
        uint32_t data_offset = 0;
        if (size > 4) {
            data_offset = alloc(size);
            std::copy(v.data.begin(), v.data.end(), data(data_offset));
        }
        const uint32_t cell = alloc(kVkHeader + name.size());
        uint8_t* p = data(cell);
        std::memcpy(p, "vk", 2);
        put16(p + 0x02, static_cast<uint16_t>(name.size()));
        if (size <= 4) {
            put32(p + 0x04, kDataInline | size);
            std::copy(v.data.begin(), v.data.end(), p + 0x08);
        } else {
            put32(p + 0x04, size);
            put32(p + 0x08, data_offset);
        }
        put32(p + 0x0C, v.type);
        put16(p + 0x10, compressed ? kValueCompName : 0);
        std::copy(name.begin(), name.end(), p + kVkHeader);
        return cell;
    }

    uint32_t lf_list(const std::vector<std::pair<uint32_t, String>>& keys, size_t from,
                     size_t count) {
        const uint32_t cell = alloc(4 + 8 * count);
        uint8_t* p = data(cell);
        std::memcpy(p, "lf", 2);
        put16(p + 2, static_cast<uint16_t>(count));
        for (size_t i = 0; i < count; ++i) {
            const auto& [offset, name] = keys[from + i];
            put32(p + 4 + 8 * i, offset);
            for (size_t k = 0; k < 4 && k < name.size(); ++k)
                p[8 + 8 * i + k] = static_cast<uint8_t>(name[k] < 0x100 ? name[k] : '?');
        }
        return cell;
    }

    uint32_t key(const KeyNode& node, uint32_t parent, bool root) {
        const bool compressed = latin1(node.name());
        const std::vector<uint8_t> name = name_bytes(node.name(), compressed);
        const uint32_t cell = alloc(kNkHeader + name.size());
        {
            uint8_t* p = data(cell);
            std::memcpy(p, "nk", 2);
            uint16_t flags = compressed ? kKeyCompName : 0;
            if (root) flags |= kKeyHiveEntry | kKeyNoDelete;
            put16(p + 0x02, flags);
            put64(p + 0x04, node.write_time);
            put32(p + 0x10, parent);
            put32(p + 0x20, kNone);
            put16(p + 0x48, static_cast<uint16_t>(name.size()));
            std::copy(name.begin(), name.end(), p + kNkHeader);
        }
        uint32_t class_offset = kNone;
        if (!node.class_name.empty()) {
            const std::vector<uint8_t> text = utf16_bytes(node.class_name);
            class_offset = alloc(text.size());
            std::copy(text.begin(), text.end(), data(class_offset));
        }
        const uint32_t sk = security(node);

        uint32_t value_list = kNone, max_value_name = 0, max_value_data = 0;
        const auto& values = node.values();
        if (!values.empty()) {
            std::vector<uint32_t> cells;
            cells.reserve(values.size());
            for (const RegistryValue& v : values) {
                cells.push_back(value(v));
                max_value_name =
                    std::max<uint32_t>(max_value_name, static_cast<uint32_t>(v.name.size() * 2));
                max_value_data =
                    std::max<uint32_t>(max_value_data, static_cast<uint32_t>(v.data.size()));
            }
            value_list = alloc(4 * cells.size());
            for (size_t i = 0; i < cells.size(); ++i)
                put32(data(value_list) + 4 * i, cells[i]);
        }

        std::vector<std::pair<uint32_t, String>> keys;
        uint32_t max_name = 0, max_class = 0;
        for (const KeyNode* child : node.children()) {
            if (child->is_volatile) continue;
            keys.emplace_back(key(*child, cell, false), child->name());
            max_name =
                std::max<uint32_t>(max_name, static_cast<uint32_t>(child->name().size() * 2));
            max_class =
                std::max<uint32_t>(max_class, static_cast<uint32_t>(child->class_name.size() * 2));
        }
        uint32_t key_list = kNone;
        if (keys.size() <= kListChunk && !keys.empty()) {
            key_list = lf_list(keys, 0, keys.size());
        } else if (!keys.empty()) {
            std::vector<uint32_t> lists;
            for (size_t from = 0; from < keys.size(); from += kListChunk)
                lists.push_back(lf_list(keys, from, std::min(kListChunk, keys.size() - from)));
            key_list = alloc(4 + 4 * lists.size());
            uint8_t* p = data(key_list);
            std::memcpy(p, "ri", 2);
            put16(p + 2, static_cast<uint16_t>(lists.size()));
            for (size_t i = 0; i < lists.size(); ++i)
                put32(p + 4 + 4 * i, lists[i]);
        }

        uint8_t* p = data(cell);
        put32(p + 0x14, static_cast<uint32_t>(keys.size()));
        put32(p + 0x1C, key_list);
        put32(p + 0x24, static_cast<uint32_t>(values.size()));
        put32(p + 0x28, value_list);
        put32(p + 0x2C, sk);
        put32(p + 0x30, class_offset);
        put32(p + 0x34, max_name);
        put32(p + 0x38, max_class);
        put32(p + 0x3C, max_value_name);
        put32(p + 0x40, max_value_data);
        put16(p + 0x4A, static_cast<uint16_t>(node.class_name.size() * 2));
        return cell;
    }

    platform::FileTime saved_;
    std::vector<uint8_t> bins_;
    size_t bin_end_ = 0;
    std::unordered_map<std::string, uint32_t> sk_;  // cells by descriptor bytes
    std::vector<uint32_t> sk_order_;
};

// --- Reading -----------------------------------------------------------------

struct Cell {
    const uint8_t* p = nullptr;
    size_t size = 0;  // data bytes after the size field
};

class Reader {
  public:
    Reader(const uint8_t* bins, size_t size) : bins_(bins), size_(size) {}

    platform::Result<std::shared_ptr<KeyNode>> root(uint32_t offset) {
        auto node = key(offset, 0, nullptr);
        if (!node) return platform::Result<std::shared_ptr<KeyNode>>::failure(st::kBadKey);
        return {st::kSuccess, std::move(node)};
    }

  private:
    // The cell at `offset`, once: no cell but a security cell may be
    // reached twice, which rules out cycles and shared lists (and with
    // them any output larger than the file).
    std::optional<Cell> cell(uint32_t offset, bool shared = false) {
        if (offset == kNone || offset % 8 != 0 || offset < kBinHeader || size_ - 4 < offset ||
            size_ < 4)
            return std::nullopt;
        const int64_t raw = static_cast<int32_t>(get32(bins_ + offset));
        const uint64_t length = static_cast<uint64_t>(raw < 0 ? -raw : raw);
        if (length < 8 || length > size_ - offset) return std::nullopt;
        if (!shared && !used_.insert(offset).second) return std::nullopt;
        return Cell{bins_ + offset + 4, static_cast<size_t>(length - 4)};
    }

    std::shared_ptr<const SecurityDescriptor> security(uint32_t offset, bool& ok) {
        if (offset == kNone) return nullptr;
        if (auto it = sk_.find(offset); it != sk_.end()) return it->second;
        auto c = cell(offset, true);
        if (!c || c->size < kSkHeader || std::memcmp(c->p, "sk", 2) != 0) {
            ok = false;
            return nullptr;
        }
        const size_t length = get32(c->p + 0x10);
        auto sd = length <= c->size - kSkHeader
                      ? SecurityDescriptor::from_bytes(c->p + kSkHeader, length)
                      : std::nullopt;
        if (!sd) {
            ok = false;
            return nullptr;
        }
        auto shared = std::make_shared<const SecurityDescriptor>(std::move(*sd));
        sk_.emplace(offset, shared);
        return shared;
    }

    bool data(uint32_t size_field, uint32_t offset, const uint8_t* inline_at,
              std::vector<uint8_t>& out) {
        if (size_field & kDataInline) {
            const uint32_t n = size_field & ~kDataInline;
            if (n > 4) return false;
            out.assign(inline_at, inline_at + n);
            return true;
        }
        if (size_field == 0) return true;
        auto c = cell(offset);
        if (!c) return false;
        if (size_field <= c->size) {
            out.assign(c->p, c->p + size_field);
            return true;
        }
        // Big data (version 1.4 on): a db cell, its segment list, the
        // segments of up to 16344 bytes each. The segments are cells of this
        // file, each read once: a size past what the bins hold is refused
        // before anything is reserved for it.
        if (c->size < 8 || std::memcmp(c->p, "db", 2) != 0 || size_field > size_) return false;
        const size_t segments = get16(c->p + 2);
        auto list = cell(get32(c->p + 4));
        if (!list || list->size < 4 * segments) return false;
        out.reserve(size_field);
        for (size_t i = 0; i < segments && out.size() < size_field; ++i) {
            auto seg = cell(get32(list->p + 4 * i));
            if (!seg) return false;
            const size_t take = std::min<size_t>(seg->size, size_field - out.size());
            out.insert(out.end(), seg->p, seg->p + take);
        }
        return out.size() == size_field;
    }

    bool values(KeyNode& node, uint32_t count, uint32_t list_offset) {
        if (count == 0) return true;
        auto list = cell(list_offset);
        if (!list || list->size / 4 < count) return false;
        for (uint32_t i = 0; i < count; ++i) {
            auto vk = cell(get32(list->p + 4 * i));
            if (!vk || vk->size < kVkHeader || std::memcmp(vk->p, "vk", 2) != 0) return false;
            const size_t name_length = get16(vk->p + 0x02);
            if (name_length > vk->size - kVkHeader) return false;
            const String name = name_text(vk->p + kVkHeader, name_length,
                                          (get16(vk->p + 0x10) & kValueCompName) != 0);
            if (node.value(name)) return false;
            std::vector<uint8_t> bytes;
            if (!data(get32(vk->p + 0x04), get32(vk->p + 0x08), vk->p + 0x08, bytes)) return false;
            node.set_value(name, get32(vk->p + 0x0C), std::move(bytes));
        }
        return true;
    }

    // The key offsets of a sub-key list (lf, lh, li, or one level of ri).
    bool list(uint32_t offset, std::vector<uint32_t>& out, bool index_allowed, size_t limit) {
        auto c = cell(offset);
        if (!c || c->size < 4) return false;
        const size_t count = get16(c->p + 2);
        const bool ri = std::memcmp(c->p, "ri", 2) == 0;
        const bool li = std::memcmp(c->p, "li", 2) == 0;
        const bool pairs = std::memcmp(c->p, "lf", 2) == 0 || std::memcmp(c->p, "lh", 2) == 0;
        const size_t stride = pairs ? 8 : 4;
        if (!(ri || li || pairs) || (ri && !index_allowed)) return false;
        if ((c->size - 4) / stride < count) return false;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t at = get32(c->p + 4 + stride * i);
            if (ri) {
                if (!list(at, out, false, limit)) return false;
            } else {
                if (out.size() >= limit) return false;
                out.push_back(at);
            }
        }
        return true;
    }

    std::shared_ptr<KeyNode> key(uint32_t offset, size_t depth,
                                 const std::shared_ptr<const SecurityDescriptor>* inherited) {
        if (depth > kMaxDepth) return nullptr;
        auto c = cell(offset);
        if (!c || c->size < kNkHeader || std::memcmp(c->p, "nk", 2) != 0) return nullptr;
        const uint8_t* p = c->p;
        const size_t name_length = get16(p + 0x48);
        if (name_length > c->size - kNkHeader) return nullptr;
        String name = name_text(p + kNkHeader, name_length, (get16(p + 0x02) & kKeyCompName) != 0);
        if (depth > 0 && (name.empty() || name.find(u'\\') != String::npos)) return nullptr;
        auto node = std::make_shared<KeyNode>(std::move(name));
        node->write_time = get64(p + 0x04);

        const size_t class_length = get16(p + 0x4A);
        if (class_length > 0) {
            auto cls = cell(get32(p + 0x30));
            if (!cls || cls->size < class_length) return nullptr;
            node->class_name = name_text(cls->p, class_length, false);
        }
        bool ok = true;
        node->security = security(get32(p + 0x2C), ok);
        if (!ok) return nullptr;
        if (!node->security && inherited) node->security = *inherited;
        if (!values(*node, get32(p + 0x24), get32(p + 0x28))) return nullptr;

        const uint32_t count = get32(p + 0x14);
        if (count > 0) {
            std::vector<uint32_t> offsets;
            if (!list(get32(p + 0x1C), offsets, true, count)) return nullptr;
            if (offsets.size() != count) return nullptr;
            for (uint32_t at : offsets) {
                auto child = key(at, depth + 1, &node->security);
                if (!child || node->child(child->name())) return nullptr;
                node->attach(std::move(child));
            }
        }
        return node;
    }

    const uint8_t* bins_;
    size_t size_;
    std::unordered_set<uint32_t> used_;
    std::unordered_map<uint32_t, std::shared_ptr<const SecurityDescriptor>> sk_;
};

}  // namespace

std::vector<uint8_t> write_hive(const KeyNode& root, platform::FileTime saved) {
    return Writer(saved).file(root);
}

platform::Result<std::shared_ptr<KeyNode>> read_hive(const std::vector<uint8_t>& file) {
    using R = platform::Result<std::shared_ptr<KeyNode>>;
    if (file.size() < 4 || std::memcmp(file.data(), "regf", 4) != 0) return R::failure(st::kBadDb);
    if (file.size() < kBaseBlock + kBinHeader) return R::failure(st::kFileCorrupt);
    const uint8_t* b = file.data();
    if (get32(b + 0x1FC) != checksum(b) || get32(b + 0x14) != 1 || get32(b + 0x18) > 6)
        return R::failure(st::kBadDb);
    const size_t bins = get32(b + 0x28);
    if (bins == 0 || bins % kBinAlign != 0) return R::failure(st::kBadDb);
    if (bins > file.size() - kBaseBlock) return R::failure(st::kFileCorrupt);
    if (std::memcmp(b + kBaseBlock, "hbin", 4) != 0) return R::failure(st::kBadDb);
    return Reader(b + kBaseBlock, bins).root(get32(b + 0x24));
}

}  // namespace vorlek::sim
