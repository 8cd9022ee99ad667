// The registry functions against Wine's real registry, in a sandbox.
#include "support/RegistrySandbox.h"
#include "system/Registry.h"
#include "system/Shell.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr char kKey[] = "Software\\Morvane Test\\Values";

class ReadRegStringTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
};

TEST_F(ReadRegStringTest, TextWithItsTerminatorReadsWhole) {
    PutValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ, "1", 2);
    EXPECT_EQ(ReadRegString("v", kKey), "1");
    PutString(HKEY_CURRENT_USER, kKey, "long", "about:blank");
    EXPECT_EQ(ReadRegString("long", kKey), "about:blank");
}

// The registry's ANSI view hands back text stored without its terminator
// with one added (as NT does), so dropping the last byte loses nothing.
TEST_F(ReadRegStringTest, TextStoredWithoutTerminatorReadsWhole) {
    PutValue(HKEY_CURRENT_USER, kKey, "one", REG_SZ, "1", 1);
    EXPECT_EQ(ReadRegString("one", kKey), "1");
    PutValue(HKEY_CURRENT_USER, kKey, "abc", REG_SZ, "abc", 3);
    EXPECT_EQ(ReadRegString("abc", kKey), "abc");
}

TEST_F(ReadRegStringTest, EmptyAndZeroSizedTextReadEmpty) {
    PutValue(HKEY_CURRENT_USER, kKey, "empty", REG_SZ, "", 1);
    PutValue(HKEY_CURRENT_USER, kKey, "zero", REG_SZ, "", 0);
    EXPECT_EQ(ReadRegString("empty", kKey), "");
    EXPECT_EQ(ReadRegString("zero", kKey), "");
}

TEST_F(ReadRegStringTest, OtherTypesReadEmpty) {
    PutDword(HKEY_CURRENT_USER, kKey, "dword", 0x31);
    PutValue(HKEY_CURRENT_USER, kKey, "binary", REG_BINARY, "1\0", 2);
    PutValue(HKEY_CURRENT_USER, kKey, "expand", REG_EXPAND_SZ, "1\0", 2);
    EXPECT_EQ(ReadRegString("dword", kKey), "");
    EXPECT_EQ(ReadRegString("binary", kKey), "");
    EXPECT_EQ(ReadRegString("expand", kKey), "");
    EXPECT_EQ(ReadRegString("missing", kKey), "");
    EXPECT_EQ(ReadRegString("v", "Software\\No Such Key"), "");
}

TEST_F(ReadRegStringTest, HkcuComesBeforeHklm) {
    PutString(HKEY_LOCAL_MACHINE, kKey, "both", "machine");
    PutString(HKEY_CURRENT_USER, kKey, "both", "user");
    PutString(HKEY_LOCAL_MACHINE, kKey, "machineOnly", "machine");
    EXPECT_EQ(ReadRegString("both", kKey), "user");
    EXPECT_EQ(ReadRegString("machineOnly", kKey), "machine");
}

TEST_F(ReadRegStringTest, NullKeyMeansTheStoreUnderHkcuThenHklm) {
    PutString(HKEY_LOCAL_MACHINE, "Software\\Quelt", "Compressed Folder", "1");
    EXPECT_EQ(ReadRegString("Compressed Folder", nullptr), "1");
    PutString(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder", "0");
    EXPECT_EQ(ReadRegString("Compressed Folder", nullptr), "0");
}

TEST_F(ReadRegStringTest, ComparesBytesAsStored) {
    PutString(HKEY_CURRENT_USER, kKey, "page", "About:Blank");
    EXPECT_NE(ReadRegString("page", kKey), "about:blank");
    const char withNul[] = {'a', '\0', 'b', '\0'};
    PutValue(HKEY_CURRENT_USER, kKey, "embedded", REG_SZ, withNul, 4);
    EXPECT_EQ(ReadRegString("embedded", kKey), std::string("a\0b", 3));
}

class ReadRegDwordTest : public testing::Test {
protected:
    RegistrySandbox sandbox;
};

TEST_F(ReadRegDwordTest, ReadsFourByteDwords) {
    PutDword(HKEY_CURRENT_USER, kKey, "n", 128000);
    EXPECT_EQ(ReadRegDword(kKey, "n", 7, HkcuFirst), 128000u);
    PutDword(HKEY_LOCAL_MACHINE, kKey, "m", 0);
    EXPECT_EQ(ReadRegDword(kKey, "m", 7, HklmOnly), 0u);
}

TEST_F(ReadRegDwordTest, WrongTypeOrSizeGivesTheDefault) {
    const DWORD one = 1;
    const unsigned long long big = 1;
    PutValue(HKEY_CURRENT_USER, kKey, "binary", REG_BINARY, &one, 4);
    PutString(HKEY_CURRENT_USER, kKey, "text", "1");
    PutValue(HKEY_CURRENT_USER, kKey, "qword", REG_QWORD, &big, 8);
    PutValue(HKEY_CURRENT_USER, kKey, "short", REG_DWORD, &one, 2);
    PutValue(HKEY_CURRENT_USER, kKey, "long", REG_DWORD, &big, 8);
    for (const char* name : {"binary", "text", "qword", "short", "long", "missing"})
        EXPECT_EQ(ReadRegDword(kKey, name, 0xFFFFFFFF, HkcuFirst), 0xFFFFFFFFu) << name;
    EXPECT_EQ(ReadRegDword("Software\\No Such Key", "n", 5, HkcuFirst), 5u);
}

TEST_F(ReadRegDwordTest, HkcuFirstAndHklmOnly) {
    PutDword(HKEY_CURRENT_USER, kKey, "both", 1);
    PutDword(HKEY_LOCAL_MACHINE, kKey, "both", 2);
    PutDword(HKEY_LOCAL_MACHINE, kKey, "machineOnly", 3);
    PutDword(HKEY_CURRENT_USER, kKey, "userOnly", 4);
    EXPECT_EQ(ReadRegDword(kKey, "both", 0, HkcuFirst), 1u);
    EXPECT_EQ(ReadRegDword(kKey, "both", 0, HklmOnly), 2u);
    EXPECT_EQ(ReadRegDword(kKey, "machineOnly", 0, HkcuFirst), 3u);
    EXPECT_EQ(ReadRegDword(kKey, "userOnly", 9, HklmOnly), 9u);
}

TEST_F(ReadRegDwordTest, AnOversizedUserValueFallsBackToTheMachine) {
    const unsigned long long big = 1;
    PutValue(HKEY_CURRENT_USER, kKey, "n", REG_DWORD, &big, 8);
    PutDword(HKEY_LOCAL_MACHINE, kKey, "n", 6);
    EXPECT_EQ(ReadRegDword(kKey, "n", 0, HkcuFirst), 6u);
}

TEST_F(ReadRegDwordTest, NullKeyMeansTheStore) {
    PutDword(HKEY_CURRENT_USER, "Software\\Quelt", "Edit Window", 1);
    EXPECT_EQ(ReadRegDword(nullptr, "Edit Window", 0xFFFFFFFF, HkcuFirst), 1u);
}

// A user value too large for the buffer makes the first query report the size
// it needs; the machine query must still get the caller's size, or it writes
// past the buffer.
TEST(GetUserValueTest, AMachineFallbackGetsTheCallersBufferSize) {
    RegistrySandbox sandbox;
    const unsigned char user[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const unsigned char machine[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    PutValue(HKEY_CURRENT_USER, kKey, "n", REG_BINARY, user, sizeof(user));
    PutValue(HKEY_LOCAL_MACHINE, kKey, "n", REG_BINARY, machine, sizeof(machine));
    unsigned char buffer[12];
    memset(buffer, 0xAB, sizeof(buffer));
    DWORD type = 0, size = 4;
    EXPECT_EQ(GetUserValue(HkcuFirst, Key(kKey), "n", &type, buffer + 4, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    const unsigned char guard[4] = {0xAB, 0xAB, 0xAB, 0xAB};
    EXPECT_EQ(memcmp(buffer, guard, 4), 0);
    EXPECT_EQ(memcmp(buffer + 8, guard, 4), 0) << "the machine query wrote past the buffer";
}

TEST(WriteRegStringTest, CreatesTheStoreAndStoresTheTerminator) {
    RegistrySandbox sandbox;
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Quelt"));
    EXPECT_TRUE(WriteRegString(nullptr, "Compressed Folder", "1"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Software\\Quelt", "Compressed Folder"), Sz("1"));
    EXPECT_FALSE(GetValue(HKEY_LOCAL_MACHINE, "Software\\Quelt", "Compressed Folder"));
    EXPECT_TRUE(WriteRegString("Control Panel\\Desktop", "AutoEndTasks", "0"));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "AutoEndTasks"), Sz("0"));
}

TEST(WriteRegStringTest, WritesPerUserWhereAMachineWideWriteFails) {
    RegistrySandbox sandbox(RegistrySandbox::NoRights);
    const DWORD zero = 0;
    EXPECT_NE(SetUserValue(HKLM, Key("SOFTWARE\\morvane"), "test", REG_DWORD, &zero, 4),
              ERROR_SUCCESS);
    EXPECT_TRUE(WriteRegString(nullptr, "Compressed Folder", "1"));
}

TEST(SystemFolderTest, IsTheSystem32Folder) {
    const std::string folder = SystemFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(GetFileAttributesA((folder + "\\kernel32.dll").c_str()) != INVALID_FILE_ATTRIBUTES,
              true);
    EXPECT_NE(folder.back(), '\\');
}

} // namespace
