#include "platform/store/profile.h"

#include <gtest/gtest.h>

#include "platform/store/store_test_util.h"

using namespace store;

namespace {
const char kKey[] = "Quillmoor\\Screen Saver";
}

TEST(Profile, MissingValuesReadAsTheDefaults) {
  auto store = Store::InMemory();
  Profile profile(*store, kKey, "Demo");
  EXPECT_EQ(profile.GetProfileInt("Settings", "Standard", 1), 1u);
  EXPECT_EQ(profile.GetProfileInt("Settings", "Mute", 0), 0u);
  EXPECT_EQ(profile.GetProfileString("Password", "Encrypt"), "");
  EXPECT_EQ(profile.GetProfileString("Password", "Encrypt", "none"), "none");

  // A value of the other type is not taken for the asked one.
  ASSERT_TRUE(profile.WriteProfileString("Settings", "Standard", "0"));
  EXPECT_EQ(profile.GetProfileInt("Settings", "Standard", 1), 1u);
  ASSERT_TRUE(profile.WriteProfileInt("Password", "Encrypt", 7));
  EXPECT_EQ(profile.GetProfileString("Password", "Encrypt", "d"), "d");
}

TEST(Profile, ValuesLiveUnderTheApplicationsOwnKey) {
  ScratchDir dir;
  auto store = Store::OpenFiles(dir.path());
  Profile first(*store, kKey, "Summer Show");
  Profile second(*store, kKey, "Winter Show");
  EXPECT_EQ(first.SectionPath("Settings"),
            "Software\\Quillmoor\\Screen Saver\\Summer Show\\Settings");

  ASSERT_TRUE(first.WriteProfileInt("Settings", "MouseMove", 1));
  ASSERT_TRUE(first.WriteProfileString("Password", "Encrypt", "x!a"));
  ASSERT_TRUE(second.WriteProfileInt("Settings", "MouseMove", 0));
  EXPECT_EQ(first.GetProfileInt("Settings", "MouseMove", 9), 1u);
  EXPECT_EQ(second.GetProfileInt("Settings", "MouseMove", 9), 0u);
  EXPECT_EQ(second.GetProfileString("Password", "Encrypt"), "");
  EXPECT_EQ(first.GetProfileString("password", "ENCRYPT"), "x!a");

  // Values are REG_DWORD and REG_SZ at the documented place.
  auto key = RegistryKey::Open(*store, Root::CurrentUser,
                               "Software\\Quillmoor\\Screen Saver\\Summer Show\\Settings");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->Read("MouseMove"), (Value{REG_DWORD, std::string("\x01\0\0\0", 4)}));
  std::string text = ReadAll(dir.path() + "/HKEY_CURRENT_USER.reg");
  EXPECT_NE(
      text.find("[Software\\Quillmoor\\Screen Saver\\Summer Show\\Password]\n\"Encrypt\"=\"x!a\""),
      std::string::npos)
      << text;

  // A fresh store over the same files sees the same settings.
  auto again = Store::OpenFiles(dir.path());
  EXPECT_EQ(Profile(*again, kKey, "Summer Show").GetProfileInt("Settings", "MouseMove", 9), 1u);
}

TEST(Profile, WritesOverwriteAndKeepOtherEntries) {
  auto store = Store::InMemory();
  Profile profile(*store, kKey, "Demo");
  ASSERT_TRUE(profile.WriteProfileInt("Settings", "Standard", 0));
  ASSERT_TRUE(profile.WriteProfileInt("Settings", "Escape", 1));
  ASSERT_TRUE(profile.WriteProfileInt("Settings", "Standard", 1));
  ASSERT_TRUE(profile.WriteProfileString("Password", "Encrypt", ""));
  EXPECT_EQ(profile.GetProfileInt("Settings", "Standard", 7), 1u);
  EXPECT_EQ(profile.GetProfileInt("Settings", "Escape", 7), 1u);
  EXPECT_EQ(profile.GetProfileString("Password", "Encrypt", "d"), "");
  EXPECT_EQ(profile.GetProfileInt("Settings", "Huge", 0xFFFFFFFFu), 0xFFFFFFFFu);
}
