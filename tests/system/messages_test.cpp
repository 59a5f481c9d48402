// Message texts: FormatAPIMessage over the system's messages and message
// files, and the module reader under it.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "library/client.h"
#include "platform/message_file.h"
#include "platform/sim/messages.h"
#include "platform/sim/network.h"

namespace vorlek {
namespace {

class FormatAPIMessageTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch d = client::create(u"Vorlek.DllClass");
    const String file{sim::kSampleMessageFilePath};

    String message(int32_t number, const Variant& file_path = u"", int32_t lang = 0) {
        return d.call(u"FormatAPIMessage", {number, u"dflt", file_path, lang}).to_string();
    }
    void TearDown() override {
        EXPECT_EQ(net->handles().open_count(), 0u) << "a module stayed loaded";
    }
};

TEST_F(FormatAPIMessageTest, SystemMessagesLoseTheirLineEnd) {
    EXPECT_EQ(message(5), u"Access is denied.");
    EXPECT_EQ(message(0), u"The operation completed successfully.");
    EXPECT_EQ(message(2453), u"Could not find domain controller for this domain.");
    // Inserts are left as they are.
    EXPECT_EQ(message(193), u"%1 is not a valid Win32 application.");
    EXPECT_EQ(message(123456), u"dflt");
    EXPECT_EQ(message(-1), u"dflt");
    EXPECT_EQ(message(5, u"", 0x409), u"Access is denied.");
    EXPECT_EQ(message(5, u"", 0x407), u"dflt");  // no German system messages here
    EXPECT_EQ(d.call(u"FormatAPIMessage", {424242}).to_string(), u"unknown");
}

TEST_F(FormatAPIMessageTest, MessageFileTextsAreCleanedUp) {
    EXPECT_EQ(message(1, file), u"The sample service started.");
    EXPECT_EQ(message(1, file, 0x407), u"Der Beispieldienst wurde gestartet.");
    EXPECT_EQ(message(1, file, 0x409), u"The sample service started.");
    // A doubled line end becomes one line feed.
    EXPECT_EQ(message(2, file), u"First paragraph.\nSecond paragraph with %1 kept.");
    // "%r%0": the text ends with a lone carriage return, which goes too.
    EXPECT_EQ(message(3, file), u"Ends with a carriage return.");
    EXPECT_EQ(message(1000, file), u"Category one");
    // Longer than the 512-character buffer.
    EXPECT_EQ(message(4, file), u"dflt");
    EXPECT_EQ(message(2, file, 0x407), u"dflt");
    EXPECT_EQ(message(77, file), u"dflt");
    // The path compares without regard to case, as on the real file system.
    EXPECT_EQ(message(1, to_lower(file)), u"The sample service started.");
    // German user: the search prefers the user's language.
    net->local().locale.user_lcid = 0x407;
    EXPECT_EQ(message(1, file), u"Der Beispieldienst wurde gestartet.");
    EXPECT_EQ(message(2, file), u"First paragraph.\nSecond paragraph with %1 kept.");
}

TEST_F(FormatAPIMessageTest, FilesThatCannotBeLoadedGiveTheDefault) {
    EXPECT_EQ(message(1, u"C:\\nosuch.dll"), u"dflt");
    net->local().files[u"C:\\text.dll"] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(message(1, u"C:\\text.dll"), u"dflt");
    net->faults().fail(sim::op::LoadLibraryEx, 5);
    EXPECT_EQ(message(1, file), u"dflt");
    // A failure after loading still releases the module (TearDown checks).
    net->faults().fail(sim::op::FormatMessage, 8);
    EXPECT_EQ(message(1, file), u"dflt");
    net->faults().fail(sim::op::FormatMessage, 8);
    EXPECT_EQ(message(5), u"dflt");
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
}

TEST(MessageFile, ReadsTheSampleModuleAndSurvivesDamagedCopies) {
    auto bytes = sim::sample_message_file();
    auto file = platform::MessageFile::parse(bytes);
    ASSERT_TRUE(file);
    auto langs = file->languages();
    EXPECT_EQ(langs.size(), 2u);
    EXPECT_EQ(file->find(1, 0x407).value, u"Der Beispieldienst wurde gestartet.\r\n");
    EXPECT_EQ(file->find(2, 0x407).status, 15100u);
    EXPECT_EQ(file->find(9, 0).status, 317u);
    EXPECT_EQ(file->find(9, 0x409).status, 317u);

    EXPECT_FALSE(platform::MessageFile::parse(std::span<const uint8_t>()));
    // Every truncation, and every single byte flipped in the headers and the
    // resource directory, parses or fails cleanly (the sanitizer build checks
    // the reads).
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    for (size_t n = 0; n < copy.size(); n += 7) {
        auto part = platform::MessageFile::parse(std::span<const uint8_t>(copy.data(), n));
        if (part) part->find(1, 0);
    }
    for (size_t i = 0; i < copy.size(); i += 3) {
        const uint8_t saved = copy[i];
        copy[i] ^= 0xFF;
        if (auto damaged = platform::MessageFile::parse(copy)) {
            for (uint32_t id : {1u, 2u, 4u, 1000u})
                damaged->find(id, 0);
        }
        copy[i] = saved;
    }
}

}  // namespace
}  // namespace vorlek
