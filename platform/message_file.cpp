#include "platform/message_file.h"

#include <algorithm>
#include <cstring>

namespace vorlek::platform {

namespace {

constexpr uint32_t kMessageTableType = 11;  // RT_MESSAGETABLE
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint16_t kMessageUnicode = 1;

// Little-endian reads that fail instead of reading past the end.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::optional<uint32_t> u32(uint64_t offset) const {
        if (!has(offset, 4)) return std::nullopt;
        const uint8_t* p = bytes_.data() + offset;
        return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3])
                                                                          << 24;
    }
    std::optional<uint16_t> u16(uint64_t offset) const {
        if (!has(offset, 2)) return std::nullopt;
        const uint8_t* p = bytes_.data() + offset;
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }
    std::span<const uint8_t> span(uint64_t offset, uint64_t size) const {
        return has(offset, size) ? bytes_.subspan(offset, size) : std::span<const uint8_t>();
    }

  private:
    std::span<const uint8_t> bytes_;
};

struct Section {
    uint32_t virtual_address, virtual_size, raw_size, raw_offset;
};

std::optional<uint64_t> file_offset(const std::vector<Section>& sections, uint32_t rva,
                                    uint32_t size) {
    for (const auto& s : sections) {
        const uint32_t extent = std::max(s.virtual_size, s.raw_size);
        if (rva >= s.virtual_address && rva - s.virtual_address < extent) {
            const uint64_t within = rva - s.virtual_address;
            if (within + size > s.raw_size) return std::nullopt;
            return s.raw_offset + within;
        }
    }
    return std::nullopt;
}

// Entries of one resource directory: (id, offset, is_directory). Named
// entries come first and are skipped: message tables are numbered.
struct DirectoryEntry {
    uint32_t id;
    uint32_t offset;
    bool directory;
};

std::vector<DirectoryEntry> directory_entries(const Reader& r, uint64_t base, uint64_t size,
                                              uint32_t offset) {
    std::vector<DirectoryEntry> out;
    if (offset > size) return out;
    auto named = r.u16(base + offset + 12), ids = r.u16(base + offset + 14);
    if (!named || !ids) return out;
    for (uint32_t i = 0; i < uint32_t{*named} + *ids; ++i) {
        const uint64_t at = base + offset + 16 + uint64_t{i} * 8;
        auto name = r.u32(at), data = r.u32(at + 4);
        if (!name || !data || at + 8 > base + size) break;
        if (*name & 0x80000000u) continue;
        out.push_back({*name, *data & 0x7FFFFFFFu, (*data & 0x80000000u) != 0});
    }
    return out;
}

}  // namespace

std::optional<MessageFile> MessageFile::parse(std::span<const uint8_t> bytes) {
    const Reader r(bytes);
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
    const uint32_t pe = *r.u32(0x3C);
    if (!r.has(pe, 24) || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0) return std::nullopt;
    const uint16_t section_count = *r.u16(pe + 6);
    const uint16_t optional_size = *r.u16(pe + 20);
    const uint64_t optional = pe + 24;
    auto magic = r.u16(optional);
    if (!magic) return std::nullopt;
    uint64_t dirs_at, count_at;
    if (*magic == 0x10B) {
        count_at = optional + 92, dirs_at = optional + 96;
    } else if (*magic == 0x20B) {
        count_at = optional + 108, dirs_at = optional + 112;
    } else {
        return std::nullopt;
    }
    std::vector<Section> sections;
    const uint64_t table = optional + optional_size;
    for (uint16_t i = 0; i < section_count; ++i) {
        const uint64_t at = table + uint64_t{i} * 40;
        if (!r.has(at, 40)) return std::nullopt;
        sections.push_back({*r.u32(at + 12), *r.u32(at + 8), *r.u32(at + 16), *r.u32(at + 20)});
    }

    MessageFile file;
    auto dir_count = r.u32(count_at);
    if (!dir_count || *dir_count <= kResourceDirectoryIndex) return file;
    auto rsrc_rva = r.u32(dirs_at + kResourceDirectoryIndex * 8);
    auto rsrc_size = r.u32(dirs_at + kResourceDirectoryIndex * 8 + 4);
    if (!rsrc_rva || !rsrc_size || *rsrc_rva == 0) return file;
    auto base = file_offset(sections, *rsrc_rva, *rsrc_size);
    if (!base) return file;

    // Three levels: type, name, language.
    for (const auto& type : directory_entries(r, *base, *rsrc_size, 0)) {
        if (type.id != kMessageTableType || !type.directory) continue;
        for (const auto& name : directory_entries(r, *base, *rsrc_size, type.offset)) {
            if (!name.directory) continue;
            for (const auto& lang : directory_entries(r, *base, *rsrc_size, name.offset)) {
                if (lang.directory) continue;
                auto data_rva = r.u32(*base + lang.offset),
                     data_size = r.u32(*base + lang.offset + 4);
                if (!data_rva || !data_size) continue;
                auto at = file_offset(sections, *data_rva, *data_size);
                if (!at) continue;
                auto data = r.span(*at, *data_size);
                file.tables_.push_back(
                    {static_cast<uint16_t>(lang.id), {data.begin(), data.end()}});
            }
        }
    }
    return file;
}

std::optional<String> MessageFile::lookup(const Table& table, uint32_t message_id) {
    const Reader r(table.data);
    auto blocks = r.u32(0);
    if (!blocks) return std::nullopt;
    for (uint32_t b = 0; b < *blocks; ++b) {
        auto low = r.u32(4 + uint64_t{b} * 12), high = r.u32(8 + uint64_t{b} * 12),
             offset = r.u32(12 + uint64_t{b} * 12);
        if (!low || !high || !offset) return std::nullopt;
        if (message_id < *low || message_id > *high) continue;
        uint64_t at = *offset;
        for (uint32_t id = *low;; ++id) {
            auto length = r.u16(at), flags = r.u16(at + 2);
            if (!length || !flags || *length < 4 || !r.has(at, *length)) return std::nullopt;
            if (id == message_id) {
                auto text = r.span(at + 4, *length - 4u);
                String out;
                if (*flags & kMessageUnicode) {
                    for (size_t i = 0; i + 1 < text.size(); i += 2) {
                        char16_t c = static_cast<char16_t>(text[i] | text[i + 1] << 8);
                        if (c == 0) break;
                        out.push_back(c);
                    }
                } else {
                    // Single-byte text; bytes above 127 are taken as Latin-1.
                    for (uint8_t c : text) {
                        if (c == 0) break;
                        out.push_back(c);
                    }
                }
                return out;
            }
            at += *length;
        }
    }
    return std::nullopt;
}

Result<String> MessageFile::find(uint32_t message_id, uint16_t lang_id, uint16_t user_lang,
                                 uint16_t system_lang) const {
    const auto in = [&](uint16_t lang) -> std::optional<String> {
        for (const auto& t : tables_) {
            if (t.lang != lang) continue;
            if (auto text = lookup(t, message_id)) return text;
        }
        return std::nullopt;
    };
    bool anywhere = false;
    for (const auto& t : tables_)
        anywhere = anywhere || lookup(t, message_id).has_value();
    if (lang_id != 0) {
        if (auto text = in(lang_id)) return {status::kSuccess, *text};
        return Result<String>::failure(anywhere ? status::kResourceLangNotFound
                                                : status::kMessageNotFound);
    }
    for (uint16_t lang : {uint16_t{0}, user_lang, system_lang, uint16_t{0x409}}) {
        if (auto text = in(lang)) return {status::kSuccess, *text};
    }
    for (const auto& t : tables_) {
        if (auto text = lookup(t, message_id)) return {status::kSuccess, *text};
    }
    return Result<String>::failure(status::kMessageNotFound);
}

std::vector<uint16_t> MessageFile::languages() const {
    std::vector<uint16_t> out;
    for (const auto& t : tables_)
        out.push_back(t.lang);
    return out;
}

}  // namespace vorlek::platform
