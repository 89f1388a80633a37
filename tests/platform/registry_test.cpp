// The install record through the platform seam: string values below
// HKEY_CURRENT_USER, written, read, tested for and deleted as a registry
// does it.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

#include "common/temp_dir.h"
#include "platform/platform.h"

namespace {

using namespace platform;
using testing_support::Sjis;

// A key of its own for each test, removed afterwards.
class RegistryTest : public testing::Test {
protected:
    RegistryTest() {
        std::random_device random;
        key_ = "software\\PatchkitTest\\run" + std::to_string(random()) + "_" +
               std::to_string(random());
    }
    ~RegistryTest() override { System().RegistryDeleteKey(key_); }

    std::string Read(const std::string& key, const std::string& value) {
        std::string out;
        uint32_t error = System().RegistryReadString(key, value, &out);
        return error == kErrorSuccess ? out : "<error " + std::to_string(error) + ">";
    }

    std::string key_;
};

TEST_F(RegistryTest, WritesAndReadsStringValues) {
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\Game", "InstallPath", "C:\\Games\\Title"),
              kErrorSuccess);
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\Game", "Version", "1.02"), kErrorSuccess);
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\Game", "Empty", ""), kErrorSuccess);
    EXPECT_EQ(Read(key_ + "\\Game", "InstallPath"), "C:\\Games\\Title");
    EXPECT_EQ(Read(key_ + "\\Game", "Version"), "1.02");
    EXPECT_EQ(Read(key_ + "\\Game", "Empty"), "");

    // A second write replaces the value.
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\Game", "Version", "1.03"), kErrorSuccess);
    EXPECT_EQ(Read(key_ + "\\Game", "Version"), "1.03");

    // Key and value names match without regard to letter case, and a
    // trailing separator changes nothing.
    std::string upper = key_;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(Read(upper + "\\GAME\\", "installpath"), "C:\\Games\\Title");
}

TEST_F(RegistryTest, ReportsMissingKeysAndValues) {
    ASSERT_EQ(System().RegistryWriteString(key_, "Present", "yes"), kErrorSuccess);
    std::string out = "untouched";
    EXPECT_EQ(System().RegistryReadString(key_, "Absent", &out), kErrorFileNotFound);
    EXPECT_EQ(System().RegistryReadString(key_ + "\\Missing", "Present", &out), kErrorFileNotFound);
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\Missing"));
    EXPECT_FALSE(System().RegistryKeyExists(""));
    EXPECT_EQ(System().RegistryDeleteKey(key_ + "\\Missing"), kErrorFileNotFound);
}

TEST_F(RegistryTest, WritingAKeyCreatesTheKeysAboveIt) {
    ASSERT_FALSE(System().RegistryKeyExists(key_));
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\A\\B", "v", "1"), kErrorSuccess);
    EXPECT_TRUE(System().RegistryKeyExists(key_ + "\\A\\B"));
    EXPECT_TRUE(System().RegistryKeyExists(key_ + "\\A"));
    EXPECT_TRUE(System().RegistryKeyExists(key_));
    EXPECT_TRUE(System().RegistryKeyExists("software\\PatchkitTest"));
    // Neither a longer name nor a key below was made.
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\A\\Bx"));
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\A\\B\\C"));
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubkeysAlong) {
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\A\\B", "v", "1"), kErrorSuccess);
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\A", "v", "2"), kErrorSuccess);
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\AB", "v", "3"), kErrorSuccess);
    EXPECT_EQ(System().RegistryDeleteKey(key_ + "\\a"), kErrorSuccess);
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\A"));
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\A\\B"));
    EXPECT_EQ(Read(key_ + "\\A\\B", "v"), "<error 2>");
    // The key above and a sibling whose name starts the same stay.
    EXPECT_TRUE(System().RegistryKeyExists(key_));
    EXPECT_EQ(Read(key_ + "\\AB", "v"), "3");
    EXPECT_EQ(System().RegistryDeleteKey(key_ + "\\A"), kErrorFileNotFound);
}

TEST_F(RegistryTest, KeepsCp932NamesAndDataWhoseSecondByteIsABackslash) {
    // "表" is 0x95 0x5C: one name, not "\x95" and a separator.
    const std::string folder = Sjis(u8"表示ソフト");
    const std::string data = Sjis(u8"C:\\ゲーム\\表示");
    ASSERT_EQ(System().RegistryWriteString(key_ + "\\" + folder, Sjis(u8"場所"), data),
              kErrorSuccess);
    EXPECT_TRUE(System().RegistryKeyExists(key_ + "\\" + folder));
    EXPECT_FALSE(System().RegistryKeyExists(key_ + "\\\x95"));
    EXPECT_EQ(Read(key_ + "\\" + folder, Sjis(u8"場所")), data);
}

}  // namespace
