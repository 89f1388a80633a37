// What CVersion reads from executables, and the rules that compare versions.
//
// The images come from the resource compiler (tests/resources/versions/*.rc).
// On Windows the system's own reader answers; elsewhere the portable reader
// reads the same images as files. Both must give the answers written here.
#include "replace/version.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/pe_image_builder.h"
#include "common/temp_dir.h"
#include "engine/script_version.h"
#include "platform/cp932.h"
#include "platform/pe_image_payloads.h"
#include "platform/platform.h"
#include "replace/version_rules.h"
#include "support/command_fixture.h"
#include "support/recording_view.h"

namespace {

using testing_support::Sjis;
using Fields = std::map<std::string, std::string>;

// Every answer of a CVersion, by field name.
Fields ReadFields(const CVersion& version) {
    return {
        {"FileVersion", version.GetFileVersion()},
        {"ProductVersion", version.GetProductVersion()},
        {"Comments", version.GetComments()},
        {"CompanyName", version.GetCompanyName()},
        {"FileDescription", version.GetFileDescription()},
        {"InternalName", version.GetInternalName()},
        {"LegalCopyright", version.GetLegalCopyright()},
        {"LegalTrademarks", version.GetLegalTrademarks()},
        {"OriginalFilename", version.GetOriginalFilename()},
        {"PrivateBuild", version.GetPrivateBuild()},
        {"ProductName", version.GetProductName()},
        {"SpecialBuild", version.GetSpecialBuild()},
    };
}

// The fields given (UTF-8 in the test, CP932 in the program) and the empty
// text for every other.
Fields Expect(std::initializer_list<std::pair<const char*, const char*>> given) {
    Fields fields;
    for (const char* name : {"FileVersion", "ProductVersion", "Comments", "CompanyName",
                             "FileDescription", "InternalName", "LegalCopyright", "LegalTrademarks",
                             "OriginalFilename", "PrivateBuild", "ProductName", "SpecialBuild"}) {
        fields[name] = "";
    }
    for (const auto& field : given) {
        EXPECT_EQ(fields.count(field.first), 1u) << "no such field: " << field.first;
        fields[field.first] = Sjis(field.second);
    }
    return fields;
}

// The one box of a file without version information.
void ExpectOneVersionBox(RecordingView& view) {
    std::vector<ShownMessage> shown = view.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, Sjis("GetFileVersionInfoSizeで失敗した"));
    EXPECT_EQ(shown[0].caption, Sjis("エラー"));
    EXPECT_EQ(shown[0].style, 0x30u);  // OK button, exclamation icon
    EXPECT_FALSE(shown[0].owned);
}

// The folder that holds the images built from tests/resources/versions.
std::string ImagesFolder() { return testing_support::VersionImagesFolder(); }

class VersionImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = ImagesFolder();
        if (folder_.empty()) GTEST_SKIP() << "no version images were built (MinGW-w64 missing)";
    }

    std::string Image(const char* name) const { return folder_ + "version_" + name + ".exe"; }

    std::string folder_;
};

TEST_F(VersionImageTest, AnswersEveryFieldFromTheFirstTranslation) {
    struct Case {
        const char* image;
        Fields expected;
    };
    const Case cases[] = {
        // The numeric file version, not the FileVersion text ("9.9.9.9"); the
        // table is named "041104b0", asked for as "041104B0"; an empty text
        // and two missing ones.
        {"ja", Expect({{"FileVersion", "1.1.0.2"},
                       {"ProductVersion", "1.0.0.0"},
                       {"Comments", "テスト用の版情報"},
                       {"CompanyName", "テスト工房"},
                       {"FileDescription", "パッチプログラム"},
                       {"InternalName", "patch"},
                       {"LegalCopyright", "Copyright (C) 2004 テスト工房"},
                       {"OriginalFilename", "patch.exe"},
                       {"ProductName", "パッチプログラム"}})},
        // The table of the first translation, though another comes first in
        // the block; "é" has no CP932 form.
        {"en", Expect({{"FileVersion", "1.1.0.10"},
                       {"ProductVersion", "1.1.0.10"},
                       {"Comments", "English image"},
                       {"CompanyName", "Caf? Patch Works"},
                       {"FileDescription", "Patch program"},
                       {"InternalName", "patch_en"},
                       {"LegalCopyright", "Copyright (C) 2004"},
                       {"LegalTrademarks", "Patch(TM)"},
                       {"OriginalFilename", "patch_en.exe"},
                       {"PrivateBuild", "built for the tests"},
                       {"ProductName", "Patch Program"},
                       {"SpecialBuild", "special"}})},
        // Without a translation every text is empty; 16-bit fields print
        // unsigned.
        {"fixed_only", Expect({{"FileVersion", "2.0.0.0"}, {"ProductVersion", "65535.0.1.65535"}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        RecordingView view;
        CVersion version(view, Image(c.image));
        EXPECT_EQ(ReadFields(version), c.expected);
        EXPECT_TRUE(view.Messages().empty());
    }
}

TEST_F(VersionImageTest, FileWithoutVersionInformationShowsOneBoxAndAnswersEmpty) {
    testing_support::TempDir temp;
    ASSERT_TRUE(testing_support::WriteFile(temp / "readme.exe", "not an executable at all"));
    const std::string paths[] = {
        Image("none"),                 // an executable with other resources only
        folder_ + "version_gone.exe",  // no such file
        temp / "readme.exe",           // not an executable
        temp.path(),                   // a folder
        "",                            // no name
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE("path: " + path);
        RecordingView view;
        CVersion version(view, path);
        EXPECT_EQ(ReadFields(version), Expect({}));
        ExpectOneVersionBox(view);  // once, however many questions follow
    }
}

TEST_F(VersionImageTest, OwnProgramFile) {
    std::string self = platform::System().ModulePath();
    EXPECT_NE(self.find("unit_tests"), std::string::npos) << self;
    {
        // This test program carries no version information.
        RecordingView view;
        CVersion own(view);
        EXPECT_EQ(own.GetProductName(), "");
        ExpectOneVersionBox(view);
    }
    // A patch run from its image read as a file: the image is the program's
    // own file, and the quit question names its product.
    std::string error;
    std::unique_ptr<platform::PeImagePayloads> image =
        platform::PeImagePayloads::Load(Image("ja"), &error);
    ASSERT_NE(image, nullptr) << error;
    platform::ScopedPayloadStore use(image.get());
    RecordingView view;
    CVersion own(view);
    EXPECT_EQ(own.GetProductName(), Sjis("パッチプログラム"));
    EXPECT_EQ(own.GetFileVersion(), "1.1.0.2");
    EXPECT_TRUE(view.Messages().empty());
}

// ---- blocks written by hand, intact and damaged ----

void Put16(std::string& bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = static_cast<char>(value & 0xFF);
    bytes.at(offset + 1) = static_cast<char>(value >> 8);
}

void Append16(std::string& bytes, uint16_t value) {
    bytes.append(2, '\0');
    Put16(bytes, bytes.size() - 2, value);
}

void Append32(std::string& bytes, uint32_t value) {
    Append16(bytes, static_cast<uint16_t>(value & 0xFFFF));
    Append16(bytes, static_cast<uint16_t>(value >> 16));
}

std::string Utf16Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) Append16(bytes, c);
    return bytes;
}

// A node of version information, laid out as resource compilers lay it out.
struct VersionNode {
    std::u16string name;
    bool text = false;
    uint16_t value_length = 0;  // characters of a text value, bytes otherwise
    std::string value;
    std::vector<VersionNode> children;

    std::string Write() const {
        std::string bytes(6, '\0');
        bytes += Utf16Bytes(name);
        Append16(bytes, 0);
        while (bytes.size() % 4 != 0) bytes += '\0';
        bytes += value;
        for (const VersionNode& child : children) {
            while (bytes.size() % 4 != 0) bytes += '\0';
            bytes += child.Write();
        }
        Put16(bytes, 0, static_cast<uint16_t>(bytes.size()));
        Put16(bytes, 2, value_length);
        Put16(bytes, 4, text ? 1 : 0);
        return bytes;
    }
};

VersionNode Text(std::u16string name, const std::u16string& value) {
    return {std::move(name),
            true,
            static_cast<uint16_t>(value.size() + 1),
            Utf16Bytes(value) + std::string(2, '\0'),
            {}};
}

VersionNode Group(std::u16string name, std::vector<VersionNode> children) {
    return {std::move(name), true, 0, std::string(), std::move(children)};
}

// File version 1.2.3.4, one translation 0x0411/0x04B0 with ProductName "Good".
std::string IntactBlock() {
    std::string fixed;
    for (uint32_t field : {0xFEEF04BDu, 0x00010000u, 0x00010002u, 0x00030004u, 0x00050006u,
                           0x00070008u, 0x3Fu, 0u, 0x40004u, 1u, 0u, 0u, 0u}) {
        Append32(fixed, field);
    }
    std::string translation;
    Append16(translation, 0x0411);
    Append16(translation, 0x04B0);
    VersionNode root{u"VS_VERSION_INFO", false, static_cast<uint16_t>(fixed.size()), fixed, {}};
    root.children = {
        Group(u"StringFileInfo", {Group(u"041104B0", {Text(u"CompanyName", u"Maker"),
                                                      Text(u"ProductName", u"Good")})}),
        Group(u"VarFileInfo", {{u"Translation", false, 4, translation, {}}}),
    };
    return root.Write();
}

// The offset of the node named `name` (the first one).
size_t NodeAt(const std::string& block, const std::u16string& name) {
    std::string key = Utf16Bytes(name) + std::string(2, '\0');
    size_t at = block.find(key);
    if (at == std::string::npos || at < 6) {
        ADD_FAILURE() << "no node of that name";
        return 0;
    }
    return at - 6;
}

// Node fields by offset from the node.
constexpr size_t kLength = 0;
constexpr size_t kValueLength = 2;

TEST(VersionBlockTest, IntactAndDamagedBlocks) {
    using Change = std::function<void(std::string&)>;
    struct Case {
        const char* what;
        Change change;
        const char* file_version;
        const char* product_name;
        // The system's reader trusts the lengths in the block, so on Windows
        // only blocks it reads alike are given to it.
        bool system_reads_alike;
    };
    const Case cases[] = {
        {"intact", [](std::string&) {}, "1.2.3.4", "Good", true},
        {"names in other letter cases",
         [](std::string& b) {
             b.replace(NodeAt(b, u"StringFileInfo") + 6, 28, Utf16Bytes(u"STRINGFILEINFO"));
             b.replace(NodeAt(b, u"ProductName") + 6, 22, Utf16Bytes(u"productNAME"));
         },
         "1.2.3.4", "Good", true},
        {"translation names a table that is not there",
         [](std::string& b) { Put16(b, b.size() - 4, 0x0409); }, "1.2.3.4", "", true},
        {"fixed information with a wrong signature", [](std::string& b) { b[40] = 0; }, "", "Good",
         true},
        {"translation shorter than one entry",
         [](std::string& b) { Put16(b, NodeAt(b, u"Translation") + kValueLength, 2); }, "1.2.3.4",
         "", true},
        {"text longer than its node, ended by a NUL",
         [](std::string& b) { Put16(b, NodeAt(b, u"ProductName") + kValueLength, 0xFFFF); },
         "1.2.3.4", "Good", true},
        {"text without a NUL, cut at the end of its node",
         [](std::string& b) {
             size_t node = NodeAt(b, u"ProductName");
             Put16(b, node + kValueLength, 0xFFFF);
             Put16(b, node + 32 + 8, u'X');  // "Good" and its NUL after the name
         },
         "1.2.3.4", "GoodX", false},
        {"fixed information shorter than its record",
         [](std::string& b) { Put16(b, kValueLength, 40); }, "", "", false},
        {"root longer than the block", [](std::string& b) { Put16(b, kLength, 0xFFFF); }, "", "",
         false},
        {"root shorter than its header", [](std::string& b) { Put16(b, kLength, 4); }, "", "",
         false},
        {"child of length zero",
         [](std::string& b) { Put16(b, NodeAt(b, u"StringFileInfo") + kLength, 0); }, "1.2.3.4", "",
         false},
        {"child running past its parent",
         [](std::string& b) {
             size_t table = NodeAt(b, u"041104B0");
             Put16(b, table + kLength, static_cast<uint16_t>(b.size() - table + 8));
         },
         "1.2.3.4", "", false},
        {"name running past its node",
         [](std::string& b) { Put16(b, NodeAt(b, u"Translation") + kLength, 12); }, "1.2.3.4", "",
         false},
        {"block cut in the middle", [](std::string& b) { b.resize(b.size() / 2); }, "", "", false},
        {"empty block", [](std::string& b) { b.clear(); }, "", "", false},
    };
    testing_support::TempDir temp;
    int number = 0;
    for (const Case& c : cases) {
#if defined(_WIN32)
        if (!c.system_reads_alike) continue;
#endif
        SCOPED_TRACE(c.what);
        std::string block = IntactBlock();
        c.change(block);
        testing_support::PeImage image = testing_support::BuildPeImage(
            {{testing_support::PeName::Id(16), testing_support::PeName::Id(1), 0x0411, block}});
        std::string path = temp / ("built" + std::to_string(++number) + ".exe");
        ASSERT_TRUE(
            testing_support::WriteFile(path, std::string(image.bytes.begin(), image.bytes.end())));
        RecordingView view;
        CVersion version(view, path);
        EXPECT_EQ(version.GetFileVersion(), c.file_version);
        EXPECT_EQ(version.GetProductName(), c.product_name);
        ReadFields(version);  // every other question stays inside the block as well
        EXPECT_TRUE(view.Messages().empty());
    }
}

// ---- the rules ----

TEST(ScriptVersionTest, ReadsTheLeadingDecimalNumber) {
    const std::pair<const char*, int32_t> cases[] = {
        {"2", 2},
        {"1.1.0.2", 1},
        {"0", 0},
        {"", 0},
        {" 7", 7},
        {"\t\r\n 12abc", 12},
        {"+3", 3},
        {"-2", -2},
        {"x1", 0},
        {"- 1", 0},
        {"+", 0},
        {"0.9.0.0", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"123456789012345678901234567890", INT32_MAX},
        {"-123456789012345678901234567890", INT32_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptVersion(c.first), c.second) << '"' << c.first << '"';
    }
}

TEST(ExeRuleTest, ComparesVersionTextsAsPlainStrings) {
    struct Case {
        const char* installed;
        const char* argument;
        bool up_to_date;
    };
    const Case cases[] = {
        {"1.1.0.2", "1.1.0.2", true},  // equal
        {"1.1.0.3", "1.1.0.2", true},
        {"1.2", "1.1.0.2", true},  // the first difference decides
        {"2.0.0.0", "1.1.0.2", true},
        {"1.1.0.1", "1.1.0.2", false},
        {"1.1.0.10", "1.1.0.2", false},  // texts, not numbers
        {"1.1.0", "1.1.0.2", false},     // a prefix is the smaller
        {"", "1.1.0.2", false},          // no version information
        {"", "", true},
        {"1.1.0.\xA0", "1.1.0.9", true},  // bytes compare as unsigned values
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsExeUpToDate(c.installed, c.argument), c.up_to_date)
            << '"' << c.installed << "\" against \"" << c.argument << '"';
    }
}

}  // namespace
