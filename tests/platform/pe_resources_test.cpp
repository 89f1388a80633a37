// The reader of PE resources: images built in memory, read back, looked up,
// and damaged in every field that leads the reader somewhere.
#include "platform/pe_resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/pe_image_builder.h"

namespace {

using platform::Payload;
using platform::PeResources;
using testing_support::BuildPeImage;
using testing_support::PeFormat;
using testing_support::PeImage;
using testing_support::PeImageOptions;
using testing_support::PeName;
using testing_support::PeResource;

std::string Text(const Payload& payload) {
    return std::string(reinterpret_cast<const char*>(payload.data), payload.size);
}

std::string Ascii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// A copy of some bytes in a heap block of exactly their size, so that the
// address sanitizer sees any read past the end.
class ExactCopy {
public:
    ExactCopy(const uint8_t* bytes, size_t size) : data_(new uint8_t[size]), size_(size) {
        if (size != 0) std::memcpy(data_.get(), bytes, size);
    }
    explicit ExactCopy(const std::vector<uint8_t>& bytes) : ExactCopy(bytes.data(), bytes.size()) {}

    std::unique_ptr<PeResources> Parse(std::string* error) const {
        return PeResources::Parse(data_.get(), size_, error);
    }
    // The block lies inside these bytes.
    bool Holds(const Payload& payload) const {
        const uint8_t* begin = data_.get();
        return payload.data >= begin && payload.data <= begin + size_ &&
               payload.size <= static_cast<size_t>(begin + size_ - payload.data);
    }
    const uint8_t* data() const { return data_.get(); }

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_;
};

// Resources as a patch carries them, with named and numeric types and names.
// SCRIPT/PATCH_SCR comes first: the damage cases aim at it.
const std::vector<PeResource>& Sample() {
    static const std::vector<PeResource> resources = {
        {u"PATCH_SCR", u"SCRIPT", 0x411, "script body"},
        {u"PATCH_SCR", u"HELLO", 0, "hello"},
        {PeName::Id(10), PeName::Id(7), 0x409, "rcdata seven"},
        {PeName::Id(16), PeName::Id(1), 0, "version"},
        {u"Patch_Data", u"Mixed_Case", 0, "mixed"},
        {u"PATCH_SCR", PeName::Id(200), 0, "numbered"},
        {u"PATCH_SCR", u"EMPTY", 0, ""},
    };
    return resources;
}
constexpr size_t kScript = 0;

struct Expected {
    std::u16string type;
    std::u16string name;
    uint16_t language;
    std::string bytes;
    size_t resource;  // index into Sample()
};

std::string FormatName(const testing::TestParamInfo<PeFormat>& info) {
    return info.param == PeFormat::kPe32 ? "PE32" : "PE32plus";
}

class PeResourcesFormatTest : public testing::TestWithParam<PeFormat> {
protected:
    PeImage SampleImage() const {
        PeImageOptions options;
        options.format = GetParam();
        return BuildPeImage(Sample(), options);
    }
};

INSTANTIATE_TEST_SUITE_P(PeResources, PeResourcesFormatTest,
                         testing::Values(PeFormat::kPe32, PeFormat::kPe32Plus), FormatName);

TEST_P(PeResourcesFormatTest, ReadsBackEveryResourceInDirectoryOrder) {
    PeImage image = SampleImage();
    ExactCopy bytes(image.bytes);
    std::string error;
    auto resources = bytes.Parse(&error);
    ASSERT_NE(resources, nullptr) << error;

    // Named types before ids, named ones without regard to case
    // (PATCH_DATA < PATCH_SCR); names the same way within a type.
    const std::vector<Expected> expected = {
        {u"Patch_Data", u"Mixed_Case", 0, "mixed", 4},
        {u"PATCH_SCR", u"EMPTY", 0, "", 6},
        {u"PATCH_SCR", u"HELLO", 0, "hello", 1},
        {u"PATCH_SCR", u"SCRIPT", 0x411, "script body", 0},
        {u"PATCH_SCR", u"#200", 0, "numbered", 5},
        {u"#10", u"#7", 0x409, "rcdata seven", 2},
        {u"#16", u"#1", 0, "version", 3},
    };
    const auto& entries = resources->Entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Ascii(entries[i].type), Ascii(expected[i].type));
        EXPECT_EQ(Ascii(entries[i].name), Ascii(expected[i].name));
        EXPECT_EQ(entries[i].language, expected[i].language);
        EXPECT_EQ(Text(entries[i].data), expected[i].bytes);
        // The block is the one in the image, not a copy or a neighbour.
        EXPECT_EQ(entries[i].data.data, bytes.data() + image.resources[expected[i].resource].data);
    }
}

TEST_P(PeResourcesFormatTest, ImagesWithoutResourcesGiveAnEmptyList) {
    struct Case {
        const char* what;
        std::function<void(PeImage&)> change;
    };
    const PeFormat format = GetParam();
    const Case cases[] = {
        {"a resource section with an empty root",
         [format](PeImage& image) {
             image = BuildPeImage({}, PeImageOptions{format, true});
         }},
        {"no resource data directory entry",
         [](PeImage& image) {
             image.SetU32(image.resource_directory_rva, 0);
             image.SetU32(image.resource_directory_size, 0);
         }},
        {"only two data directories",
         [](PeImage& image) { image.SetU32(image.number_of_rva_and_sizes, 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeImage image = SampleImage();
        c.change(image);
        ExactCopy bytes(image.bytes);
        std::string error;
        auto resources = bytes.Parse(&error);
        ASSERT_NE(resources, nullptr) << error;
        EXPECT_TRUE(resources->Entries().empty());
        Payload payload;
        EXPECT_FALSE(resources->Find(u"SCRIPT", u"PATCH_SCR", &payload));
    }
}

TEST_P(PeResourcesFormatTest, RefusesDamagedImages) {
    struct Case {
        const char* what;
        std::function<void(PeImage&)> damage;
        const char* message;  // a part of the expected message
    };
    auto script = [](const PeImage& image) { return image.resources[kScript]; };
    auto relative = [](const PeImage& image, size_t offset) {
        return static_cast<uint32_t>(offset - image.resource_root);
    };
    const uint32_t kDirectory = 0x80000000u;
    const Case cases[] = {
        // Headers.
        {"an empty file", [](PeImage& image) { image.bytes.clear(); }, "no MZ header"},
        {"no MZ", [](PeImage& image) { image.bytes[0] = 'X'; }, "no MZ header"},
        {"a cut DOS header", [](PeImage& image) { image.bytes.resize(0x3C); }, "DOS header"},
        {"e_lfanew past the end",
         [](PeImage& image) {
             image.SetU32(image.lfanew_field, static_cast<uint32_t>(image.bytes.size()));
         },
         "e_lfanew"},
        {"e_lfanew leaving no room for the COFF header",
         [](PeImage& image) {
             image.SetU32(image.lfanew_field, static_cast<uint32_t>(image.bytes.size() - 20));
         },
         "e_lfanew"},
        {"e_lfanew near 4 GiB",
         [](PeImage& image) { image.SetU32(image.lfanew_field, 0xFFFFFFF0u); }, "e_lfanew"},
        {"no PE signature", [](PeImage& image) { image.bytes[image.pe_signature + 1] = 'X'; },
         "PE signature"},
        {"an unknown optional header magic",
         [](PeImage& image) { image.SetU16(image.optional_header, 0x107); }, "magic"},
        {"an optional header past the end",
         [](PeImage& image) { image.SetU16(image.size_of_optional_header, 0xFFFF); },
         "optional header"},
        {"no optional header",
         [](PeImage& image) { image.SetU16(image.size_of_optional_header, 0); }, "optional header"},
        {"a section table past the end",
         [](PeImage& image) { image.SetU16(image.number_of_sections, 0xFFFF); }, "section table"},
        // Where the resources are.
        {"section raw data past the end",
         [](PeImage& image) {
             image.SetU32(image.section_raw_offset, static_cast<uint32_t>(image.bytes.size()));
         },
         "lies outside the file"},
        {"a section raw size near 4 GiB",
         [](PeImage& image) { image.SetU32(image.section_raw_size, 0xFFFFFFFFu); },
         "lies outside the file"},
        {"an image cut inside the resource section", [](PeImage& image) { image.bytes.pop_back(); },
         "lies outside the file"},
        {"a resource RVA in no section",
         [](PeImage& image) { image.SetU32(image.resource_directory_rva, 0x9000); },
         "not in any section"},
        {"a resource RVA near 4 GiB",
         [](PeImage& image) { image.SetU32(image.resource_directory_rva, 0xFFFFFFF0u); },
         "not in any section"},
        {"a resource RVA in the section's zero-filled tail",
         [](PeImage& image) {
             image.SetU32(image.section_virtual_size, 0x10000);
             image.SetU32(image.resource_directory_rva,
                          image.resource_rva + image.U32(image.section_raw_size));
         },
         "resource directory points outside the file"},
        // Directories.
        {"a huge NumberOfNamedEntries in the root",
         [](PeImage& image) { image.SetU16(image.resource_root + 12, 0xFFFF); },
         "more than the resource section can hold"},
        {"huge entry counts in a language directory",
         [&](PeImage& image) {
             image.SetU16(script(image).language_directory + 12, 0xFFFF);
             image.SetU16(script(image).language_directory + 14, 0xFFFF);
         },
         "more than the resource section can hold"},
        {"a type subdirectory past the end",
         [&](PeImage& image) { image.SetU32(script(image).type_entry + 4, 0xFFFFFFF0u); },
         "resource directory points outside the file"},
        {"a name subdirectory past the end",
         [&](PeImage& image) { image.SetU32(script(image).name_entry + 4, 0x80FFFFFFu); },
         "resource directory points outside the file"},
        {"a type subdirectory looping to the root",
         [&](PeImage& image) { image.SetU32(script(image).type_entry + 4, kDirectory); },
         "loops back"},
        {"a name subdirectory looping to the root",
         [&](PeImage& image) { image.SetU32(script(image).name_entry + 4, kDirectory); },
         "loops back"},
        {"a name subdirectory looping to its own directory",
         [&](PeImage& image) {
             image.SetU32(script(image).name_entry + 4,
                          kDirectory | relative(image, script(image).name_directory));
         },
         "loops back"},
        {"a name subdirectory pointing at another type's names",
         [&](PeImage& image) {
             image.SetU32(script(image).name_entry + 4,
                          kDirectory | relative(image, image.resources[2].name_directory));
         },
         "directory where resource data was expected"},
        {"a language entry pointing at a directory",
         [&](PeImage& image) {
             image.SetU32(script(image).language_entry + 4,
                          kDirectory | relative(image, script(image).language_directory));
         },
         "directory where resource data was expected"},
        {"a type entry pointing at data",
         [&](PeImage& image) {
             image.SetU32(script(image).type_entry + 4, relative(image, script(image).data_entry));
         },
         "data where a directory was expected"},
        {"a name entry pointing at data",
         [&](PeImage& image) {
             image.SetU32(script(image).name_entry + 4, relative(image, script(image).data_entry));
         },
         "data where a directory was expected"},
        {"a language entry with a name",
         [&](PeImage& image) { image.SetU32(script(image).language_entry, 0x80000010u); },
         "language"},
        // Names.
        {"a type name string past the end",
         [&](PeImage& image) { image.SetU32(script(image).type_entry, 0xFFFFFFFFu); },
         "name string points outside the file"},
        {"a name string length past the end",
         [&](PeImage& image) { image.SetU16(script(image).name_string, 0xFFFF); },
         "runs past the end"},
        // Data.
        {"a data entry past the end",
         [&](PeImage& image) { image.SetU32(script(image).language_entry + 4, 0x7FFFFFF8u); },
         "data entry of SCRIPT/PATCH_SCR points outside the file"},
        {"a data RVA in no section",
         [&](PeImage& image) { image.SetU32(script(image).data_entry, 0x9000); },
         "resource data of SCRIPT/PATCH_SCR lies outside the file"},
        {"a data size past the end",
         [&](PeImage& image) {
             image.SetU32(script(image).data_entry + 4, image.U32(image.section_raw_size));
         },
         "resource data of SCRIPT/PATCH_SCR lies outside the file"},
        {"a data size near 4 GiB",
         [&](PeImage& image) { image.SetU32(script(image).data_entry + 4, 0xFFFFFFFFu); },
         "resource data of SCRIPT/PATCH_SCR lies outside the file"},
        {"data in the section's zero-filled tail",
         [&](PeImage& image) {
             image.SetU32(image.section_virtual_size, 0x10000);
             image.SetU32(script(image).data_entry,
                          image.resource_rva + image.U32(image.section_raw_size));
         },
         "resource data of SCRIPT/PATCH_SCR lies outside the file"},
        {"data past the section's raw data, in bytes appended to the file",
         [&](PeImage& image) {
             image.bytes.resize(image.bytes.size() + 0x1000, 'z');
             image.SetU32(image.section_virtual_size, 0x10000);
             image.SetU32(script(image).data_entry,
                          image.resource_rva + image.U32(image.section_raw_size));
         },
         "resource data of SCRIPT/PATCH_SCR lies outside the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeImage image = SampleImage();
        {
            std::string error;
            ASSERT_NE(ExactCopy(image.bytes).Parse(&error), nullptr) << error;
        }
        c.damage(image);
        std::string error;
        EXPECT_EQ(ExactCopy(image.bytes).Parse(&error), nullptr);
        EXPECT_NE(error.find(c.message), std::string::npos) << "message: " << error;
    }
}

// Every prefix of a valid image: no crash, no read past the end, and any
// list it yields points inside the bytes that are there.
TEST_P(PeResourcesFormatTest, SurvivesTruncationAtEveryLength) {
    PeImage image = SampleImage();
    for (size_t size = 0; size <= image.bytes.size(); ++size) {
        SCOPED_TRACE(size);
        ExactCopy bytes(image.bytes.data(), size);
        std::string error;
        auto resources = bytes.Parse(&error);
        if (!resources) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        for (const auto& entry : resources->Entries()) EXPECT_TRUE(bytes.Holds(entry.data));
    }
    std::string error;
    EXPECT_NE(ExactCopy(image.bytes).Parse(&error), nullptr) << error;
}

// Long names are read whole, but a small image cannot make the list huge by
// giving one long name many languages.
TEST_P(PeResourcesFormatTest, BoundsWhatLongNamesCanCost) {
    PeImageOptions options;
    options.format = GetParam();
    const std::u16string long_type(0xFFFF, u'T');
    const std::u16string long_name(0xFFFF, u'n');

    PeImage two =
        BuildPeImage({{long_type, long_name, 1, "one"}, {long_type, u"B", 2, "two"}}, options);
    std::string error;
    auto resources = PeResources::Parse(two.bytes.data(), two.bytes.size(), &error);
    ASSERT_NE(resources, nullptr) << error;
    Payload payload;
    ASSERT_TRUE(resources->Find(std::u16string(0xFFFF, u'N'), long_type, &payload));
    EXPECT_EQ(Text(payload), "one");

    std::vector<PeResource> many;
    for (uint16_t language = 0; language < 300; ++language) {
        many.push_back({long_type, long_name, language, "x"});
    }
    PeImage image = BuildPeImage(many, options);
    ASSERT_LT(image.bytes.size(), 300000u);
    EXPECT_EQ(PeResources::Parse(image.bytes.data(), image.bytes.size(), &error), nullptr);
    EXPECT_NE(error.find("names"), std::string::npos) << error;
}

class PeResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        std::vector<PeResource> resources = Sample();
        resources.push_back({u"PATCH_SCR", u"#5", 0, "string hash five"});
        resources.push_back({u"PATCH_SCR", PeName::Id(5), 0, "id five"});
        resources.push_back({u"PATCH_SCR", u"\uFF44\uFF41\uFF54\uFF41", 0, "full-width data"});
        resources.push_back({u"PATCH_SCR", u"\u0444\u0430\u0439\u043B", 0, "cyrillic file"});
        resources.push_back({u"PATCH_SCR", u"\u30C7\u30FC\u30BF", 0, "katakana data"});
        image_ = BuildPeImage(resources);
        std::string error;
        resources_ = PeResources::Parse(image_.bytes.data(), image_.bytes.size(), &error);
        ASSERT_NE(resources_, nullptr) << error;
    }

    PeImage image_;
    std::unique_ptr<PeResources> resources_;
};

TEST_F(PeResourcesTest, FindsByNameAndTypeAsFindResourceDoes) {
    struct Case {
        std::u16string name;
        std::u16string type;
        const char* found;  // null: not found
    };
    const Case cases[] = {
        {u"SCRIPT", u"PATCH_SCR", "script body"},
        {u"Script", u"patch_scr", "script body"},
        {u"mixed_case", u"patch_data", "mixed"},
        {u"MIXED_CASE", u"PATCH_DATA", "mixed"},
        {u"EMPTY", u"PATCH_SCR", ""},
        // Numeric ids, written "#<decimal>".
        {u"#7", u"#10", "rcdata seven"},
        {u"#007", u"#010", "rcdata seven"},
        {u"#200", u"patch_scr", "numbered"},
        {u"#1", u"#16", "version"},
        {u"#5", u"PATCH_SCR", "id five"},  // an id, never the string "#5"
        {u"7", u"#10", nullptr},           // without '#', a string
        {u"#7", u"10", nullptr},
        {u"#4294967303", u"#10", nullptr},  // 2^32 + 7 is not 7
        {u"#7x", u"#10", nullptr},
        // Letters beyond ASCII.
        {u"\uFF24\uFF21\uFF34\uFF21", u"PATCH_SCR", "full-width data"},
        {u"\u0424\u0410\u0419\u041B", u"PATCH_SCR", "cyrillic file"},
        // Near misses.
        {u"SCRIP", u"PATCH_SCR", nullptr},
        {u"SCRIPTS", u"PATCH_SCR", nullptr},
        {u"SCRIPT", u"PATCH_SC", nullptr},
        {u"SCRIPT", u"PATCH_DATA", nullptr},
        {u"HELLO", u"#16", nullptr},
        {u"", u"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ascii(c.name) + " / " + Ascii(c.type));
        Payload payload;
        bool found = resources_->Find(c.name, c.type, &payload);
        ASSERT_EQ(found, c.found != nullptr);
        if (found) {
            EXPECT_EQ(Text(payload), c.found);
        }
    }
}

TEST_F(PeResourcesTest, FindsCp932Names) {
    Payload payload;
    ASSERT_TRUE(resources_->Find(std::string("script"), std::string("Patch_Scr"), &payload));
    EXPECT_EQ(Text(payload), "script body");
    // デ ー タ in CP932.
    ASSERT_TRUE(resources_->Find(std::string("\x83\x66\x81\x5B\x83\x5E"), std::string("PATCH_SCR"),
                                 &payload));
    EXPECT_EQ(Text(payload), "katakana data");
    // A lead byte with nothing after it converts to nothing.
    EXPECT_FALSE(resources_->Find(std::string("\x83"), std::string("PATCH_SCR"), &payload));
    EXPECT_FALSE(resources_->Find(std::string("SCRIPT"), std::string("\x83"), &payload));
}

TEST(PeResourcesLanguageTest, TakesTheFirstLanguageInTheDirectory) {
    const std::vector<PeResource> resources = {
        {u"PATCH_SCR", u"SCRIPT", 0x411, "japanese"},
        {u"PATCH_SCR", u"SCRIPT", 0x409, "english"},
        {u"PATCH_SCR", u"SCRIPT", 0x407, "german"},
    };
    struct Case {
        bool sorted;
        const char* first;
    };
    for (const Case& c : {Case{true, "german"}, Case{false, "japanese"}}) {
        SCOPED_TRACE(c.sorted);
        PeImageOptions options;
        options.sorted = c.sorted;
        PeImage image = BuildPeImage(resources, options);
        std::string error;
        auto parsed = PeResources::Parse(image.bytes.data(), image.bytes.size(), &error);
        ASSERT_NE(parsed, nullptr) << error;
        ASSERT_EQ(parsed->Entries().size(), 3u);
        EXPECT_EQ(Text(parsed->Entries()[0].data), c.first);
        Payload payload;
        ASSERT_TRUE(parsed->Find(u"script", u"patch_scr", &payload));
        EXPECT_EQ(Text(payload), c.first);
    }
}

#ifdef PATCHER_REAL_PE_IMAGE
// An executable that MinGW's windres and linker built from
// tests/resources/test_resources.rc.
TEST(PeResourcesRealImageTest, ReadsWhatWindresAndTheLinkerWrote) {
    std::ifstream file(PATCHER_REAL_PE_IMAGE, std::ios::binary);
    ASSERT_TRUE(file) << "cannot open " << PATCHER_REAL_PE_IMAGE;
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    std::string error;
    auto resources = PeResources::Parse(image.data(), image.size(), &error);
    ASSERT_NE(resources, nullptr) << error;

    Payload payload;
    ASSERT_TRUE(resources->Find(u"HELLO", u"PATCH_SCR", &payload));
    EXPECT_EQ(Text(payload), "hello");
    ASSERT_TRUE(resources->Find(u"SCRIPT", u"PATCH_SCR", &payload));
    EXPECT_GT(payload.size, 0u);
    ASSERT_TRUE(resources->Find(u"mixed_case", u"patch_data", &payload));
    EXPECT_EQ(Text(payload), "hello");
    ASSERT_TRUE(resources->Find(std::string("big"), std::string("patch_scr"), &payload));
    ASSERT_EQ(payload.size, 100000u);
    for (uint32_t i = 0; i < payload.size; ++i) {
        if (payload.data[i] != static_cast<uint8_t>((i * 7 + 3) & 0xFF)) {
            ADD_FAILURE() << "BIG differs at byte " << i;
            break;
        }
    }
    for (const auto& entry : resources->Entries()) {
        EXPECT_GE(entry.data.data, image.data());
        EXPECT_LE(entry.data.data + entry.data.size, image.data() + image.size());
    }
}
#endif

}  // namespace
