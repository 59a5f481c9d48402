// The multimedia command strings on the simulated local machine, read as the
// wave-audio device reads them: files come from the machine's file store,
// and playing with "wait" takes the samples' time on the simulated clock.
#include "platform/sim/multimedia.h"

#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"
#include "platform/multimedia.h"
#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek::sim {

std::optional<WaveFormat> parse_wave(const std::vector<uint8_t>& bytes) {
    using platform::get16;
    using platform::get32;
    const uint8_t* p = bytes.data();
    const size_t n = bytes.size();
    if (n < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return std::nullopt;
    // The RIFF size is not trusted: the chunks are read as far as the file goes.
    std::optional<WaveFormat> format;
    size_t pos = 12;
    while (n - pos >= 8) {
        const uint8_t* chunk = p + pos;
        const uint64_t size = get32(chunk + 4);
        const size_t body = pos + 8;
        const size_t available = static_cast<size_t>(std::min<uint64_t>(size, n - body));
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (available < 16) return std::nullopt;
            WaveFormat f;
            f.format_tag = get16(p + body);
            f.channels = get16(p + body + 2);
            f.samples_per_second = get32(p + body + 4);
            f.bytes_per_second = get32(p + body + 8);
            f.block_align = get16(p + body + 12);
            f.bits_per_sample = get16(p + body + 14);
            if (f.channels == 0 || f.samples_per_second == 0 || f.block_align == 0)
                return std::nullopt;
            format = f;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format) return std::nullopt;  // the format comes first
            format->samples = static_cast<uint32_t>(available / format->block_align);
            return format;
        }
        // Chunks are padded to an even size.
        const uint64_t next = uint64_t{body} + size + (size & 1);
        if (next > n) break;
        pos = static_cast<size_t>(next);
    }
    return std::nullopt;
}

namespace {

using platform::MciError;
namespace mci = platform::mci;

enum class TimeFormat : uint8_t { Milliseconds, Samples, Bytes };

struct Device {
    String alias;
    String path;
    WaveFormat format;
    TimeFormat time_format = TimeFormat::Milliseconds;
};

// The words of a command; a word in double quotes may hold spaces.
std::optional<std::vector<String>> words_of(StringView command) {
    std::vector<String> out;
    size_t i = 0;
    while (i < command.size()) {
        if (command[i] == u' ' || command[i] == u'\t') {
            ++i;
            continue;
        }
        if (command[i] == u'"') {
            const size_t end = command.find(u'"', i + 1);
            if (end == StringView::npos) return std::nullopt;
            out.emplace_back(command.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        size_t end = i;
        while (end < command.size() && command[end] != u' ' && command[end] != u'\t')
            ++end;
        out.emplace_back(command.substr(i, end - i));
        i = end;
    }
    return out;
}

std::optional<uint32_t> number_of(StringView word) {
    if (word.empty() || word.size() > 10) return std::nullopt;
    uint64_t v = 0;
    for (char16_t c : word) {
        if (c < u'0' || c > u'9') return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - u'0');
    }
    if (v > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(v);
}

class SimMultimedia : public platform::Multimedia {
  public:
    explicit SimMultimedia(Network& net)
        : net_(net), devices_(net.handles(), HandleKind::MciDevice) {}

    MciError send_string(StringView command) override {
        auto call = net_.enter(op::mciSendString, {command});
        if (!call) return call.status();
        auto words = words_of(command);
        if (!words) return mci::kNoClosingQuote;
        if (words->empty()) return mci::kMissingCommandString;
        const String verb = to_lower((*words)[0]);
        std::vector<String> args(words->begin() + 1, words->end());
        if (verb == u"open") return open(call.machine(), args);
        if (verb == u"set") return set(call.machine(), args);
        if (verb == u"play") return play(call.machine(), args);
        if (verb == u"close") return close(args);
        if (verb == u"stop")
            return args.empty()    ? mci::kMissingParameter
                   : find(args[0]) ? 0
                                   : mci::kInvalidDeviceName;
        return mci::kUnrecognizedCommand;
    }

  private:
    // What `set` and `play` answer for a name that is not open: the device
    // takes it for a file to open on the fly, which needs an extension to
    // tell the device type and a file that is there. (An existing wave file
    // is not opened on the fly here: the library always opens its own.)
    static MciError not_open(const Machine& m, StringView name) {
        const size_t dot = name.rfind(u'.');
        if (dot == StringView::npos || name.find(u'\\', dot) != StringView::npos)
            return mci::kExtensionNotFound;
        auto file = m.files.find(String(name));
        if (file == m.files.end()) return mci::kFileNotFound;
        return parse_wave(file->second) ? mci::kInvalidDeviceName : mci::kInvalidFile;
    }

    Handle find(StringView alias) {
        for (auto& [h, d] : devices_) {
            if (equal_ignore_case(d.alias, alias)) return h;
        }
        return 0;
    }

    MciError open(Machine& m, const std::vector<String>& args) {
        if (args.empty()) return mci::kMissingParameter;
        Device d;
        d.path = args[0];
        String type;
        bool has_alias = false;
        for (size_t i = 1; i < args.size(); ++i) {
            const String w = to_lower(args[i]);
            if (w == u"wait" || w == u"shareable") continue;
            if (w != u"type" && w != u"alias") return mci::kUnrecognizedKeyword;
            if (i + 1 >= args.size()) return mci::kMissingParameter;
            (w == u"type" ? type : d.alias) = args[++i];
            if (w == u"alias") has_alias = true;
        }
        if (type.empty()) {
            const bool wav =
                d.path.size() > 4 &&
                equal_ignore_case(StringView(d.path).substr(d.path.size() - 4), u".wav");
            if (!wav) return mci::kDeviceTypeRequired;
            type = u"waveaudio";
        }
        if (!equal_ignore_case(type, u"waveaudio")) return mci::kInvalidDeviceName;
        if (!m.multimedia.wave_device) return mci::kCannotLoadDriver;
        if (!has_alias) d.alias = d.path;
        if (find(d.alias)) return mci::kDuplicateAlias;
        auto file = m.files.find(d.path);
        if (file == m.files.end()) return mci::kFileNotFound;
        auto format = parse_wave(file->second);
        if (!format) return mci::kInvalidFile;
        d.format = *format;
        devices_.open(std::move(d));
        return 0;
    }

    MciError set(const Machine& m, const std::vector<String>& args) {
        if (args.empty()) return mci::kMissingParameter;
        Device* d = devices_.find(find(args[0]));
        if (!d) return not_open(m, args[0]);
        if (args.size() < 4) return mci::kMissingParameter;
        if (!equal_ignore_case(args[1], u"time") || !equal_ignore_case(args[2], u"format"))
            return mci::kUnrecognizedKeyword;
        const String f = to_lower(args[3]);
        if (f == u"samples")
            d->time_format = TimeFormat::Samples;
        else if (f == u"milliseconds" || f == u"ms")
            d->time_format = TimeFormat::Milliseconds;
        else if (f == u"bytes")
            d->time_format = TimeFormat::Bytes;
        else
            return mci::kBadConstant;
        return args.size() > 4 ? mci::kExtraCharacters : 0;
    }

    // A position in the device's time format as a sample number.
    static uint64_t to_samples(const Device& d, uint32_t position) {
        switch (d.time_format) {
            case TimeFormat::Samples:
                return position;
            case TimeFormat::Bytes:
                return position / d.format.block_align;
            case TimeFormat::Milliseconds:
                break;
        }
        return uint64_t{position} * d.format.samples_per_second / 1000;
    }

    MciError play(Machine& m, const std::vector<String>& args) {
        if (args.empty()) return mci::kMissingParameter;
        Device* d = devices_.find(find(args[0]));
        if (!d) return not_open(m, args[0]);
        const uint64_t length = d->format.samples;
        uint64_t from = 0, to = length;
        bool wait = false;
        for (size_t i = 1; i < args.size(); ++i) {
            const String w = to_lower(args[i]);
            if (w == u"wait") {
                wait = true;
                continue;
            }
            if (w != u"from" && w != u"to") return mci::kUnrecognizedKeyword;
            if (i + 1 >= args.size()) return mci::kMissingParameter;
            auto n = number_of(args[++i]);
            if (!n) return mci::kBadInteger;
            (w == u"from" ? from : to) = to_samples(*d, *n);
        }
        if (from > length || to > length || from > to) return mci::kOutOfRange;
        const uint64_t ms =
            ((to - from) * 1000 + d->format.samples_per_second - 1) / d->format.samples_per_second;
        m.multimedia.played.push_back(
            {d->path, static_cast<uint32_t>(from), static_cast<uint32_t>(to), ms});
        // Without "wait" the call returns while the device plays on.
        if (wait) pass_time(net_, ms);
        return 0;
    }

    MciError close(const std::vector<String>& args) {
        if (args.empty()) return mci::kMissingParameter;
        if (equal_ignore_case(args[0], u"all")) {
            std::vector<Handle> all;
            for (auto& entry : devices_)
                all.push_back(entry.first);
            for (Handle h : all)
                devices_.close(h);
            return 0;
        }
        const Handle h = find(args[0]);
        if (!h) return mci::kInvalidDeviceName;
        devices_.close(h);
        return 0;
    }

    Network& net_;
    HandleTable<Device> devices_;
};

}  // namespace

std::shared_ptr<platform::Multimedia> make_multimedia(Network& net) {
    return std::make_shared<SimMultimedia>(net);
}

}  // namespace vorlek::sim
