#include "platform/store/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/store/store_test_util.h"

using namespace store;

namespace {

std::string AllBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

std::string FilePath(const ScratchDir& dir, Root root = Root::CurrentUser) {
  return dir.path() + "/" + RootName(root) + ".reg";
}

bool HasNameStarting(const ScratchDir& dir, const std::string& prefix) {
  auto names = dir.Names();
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return n.starts_with(prefix); });
}

}  // namespace

TEST(Registry, EveryTypeSurvivesTheFile) {
  ScratchDir dir;
  const std::string tricky =
      std::string("a \"quoted\" \\back\\ line\nbreak\ttab ") + "\x80\xe9\xff";
  {
    auto store = Store::OpenFiles(dir.path());
    auto key = RegistryKey::Create(*store, Root::CurrentUser, "Software\\Quillmoor\\App [1]%");
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->WriteString("Text", tricky));
    EXPECT_TRUE(key->WriteString("", "open"));
    EXPECT_TRUE(key->WriteString("Empty", ""));
    EXPECT_TRUE(key->WriteDword("Zero", 0));
    EXPECT_TRUE(key->WriteDword("Max", 0xFFFFFFFFu));
    EXPECT_TRUE(key->WriteDword("Mixed", 0x12345678u));
    EXPECT_TRUE(key->WriteBinary("Bytes", AllBytes()));
    EXPECT_TRUE(key->WriteBinary("NoBytes", ""));
    EXPECT_TRUE(key->Write("Multi", Value{7, std::string("a\0b\0", 4)}));
    EXPECT_TRUE(key->Write("Name with \"quote\" and \\", Value{REG_SZ, "x"}));
  }
  std::string text = ReadAll(FilePath(dir));
  EXPECT_TRUE(text.starts_with("sceneplayer registry 1\n"));
  EXPECT_NE(text.find("[Software\\Quillmoor\\App %5b1%5d%25]"), std::string::npos);
  EXPECT_NE(text.find("\"Mixed\"=dword:12345678"), std::string::npos);
  EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
    return c == '\n' ||
           (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
  })) << "the file should be plain ASCII";

  auto store = Store::OpenFiles(dir.path());  // fresh reader, nothing cached
  auto key = RegistryKey::Open(*store, Root::CurrentUser, "Software\\Quillmoor\\App [1]%");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Text"), tricky);
  EXPECT_EQ(key->ReadString(""), "open");
  EXPECT_EQ(key->ReadString("Empty"), "");
  EXPECT_EQ(key->ReadDword("Zero"), 0u);
  EXPECT_EQ(key->ReadDword("Max"), 0xFFFFFFFFu);
  EXPECT_EQ(key->ReadDword("Mixed"), 0x12345678u);
  EXPECT_EQ(key->Read("Bytes"), (Value{REG_BINARY, AllBytes()}));
  EXPECT_EQ(key->Read("NoBytes"), (Value{REG_BINARY, ""}));
  EXPECT_EQ(key->Read("Multi"), (Value{7, std::string("a\0b\0", 4)}));
  EXPECT_EQ(key->ReadString("Name with \"quote\" and \\"), "x");
  // Typed reads refuse the other types.
  EXPECT_FALSE(key->ReadDword("Text"));
  EXPECT_FALSE(key->ReadString("Mixed"));
  EXPECT_FALSE(key->ReadString("Missing"));
}

TEST(Registry, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  ScratchDir dir;
  auto store = Store::OpenFiles(dir.path());
  auto key = RegistryKey::Create(*store, Root::CurrentUser, "Software\\Foo\\Settings");
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->WriteDword("MouseMove", 1));
  auto other = RegistryKey::Open(*store, Root::CurrentUser, "SOFTWARE\\foo\\SETTINGS");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->ReadDword("mousemove"), 1u);
  ASSERT_TRUE(other->WriteDword("MOUSEMOVE", 2));
  EXPECT_EQ(key->ReadDword("MouseMove"), 2u);

  std::string text = ReadAll(FilePath(dir));
  EXPECT_NE(text.find("[Software\\Foo\\Settings]"), std::string::npos);
  EXPECT_NE(text.find("\"MouseMove\"=dword:00000002"), std::string::npos);
  EXPECT_EQ(text.find("MOUSEMOVE"), std::string::npos);
}

TEST(Registry, KeysOpenOnlyWhenTheyExist) {
  auto store = Store::InMemory();
  EXPECT_FALSE(RegistryKey::Open(*store, Root::ClassesRoot, "HTTP\\shell"));
  auto deep = RegistryKey::Create(*store, Root::ClassesRoot, "HTTP\\shell\\open\\command");
  ASSERT_TRUE(deep);
  // Ancestors exist through their descendants; stray separators do not matter.
  EXPECT_TRUE(RegistryKey::Open(*store, Root::ClassesRoot, "http"));
  EXPECT_TRUE(RegistryKey::Open(*store, Root::ClassesRoot, "\\HTTP\\\\shell\\"));
  EXPECT_FALSE(RegistryKey::Open(*store, Root::ClassesRoot, "HTTP\\she"));
  // Roots are separate.
  EXPECT_FALSE(RegistryKey::Open(*store, Root::CurrentUser, "HTTP"));

  EXPECT_TRUE(deep->WriteString("", "x"));
  EXPECT_TRUE(deep->DeleteValue(""));
  EXPECT_FALSE(deep->DeleteValue(""));
  EXPECT_FALSE(deep->ReadString(""));

  deep->Close();
  EXPECT_FALSE(deep->IsOpen());
  EXPECT_FALSE(deep->WriteString("", "x"));
  EXPECT_FALSE(deep->ReadString(""));
}

TEST(Registry, ParsesHandWrittenFiles) {
  ParseError error{};
  auto tree = Parse(
      "sceneplayer registry 1\r\n"
      "; a comment\r\n"
      "\r\n"
      "  [HTTP\\shell\\open\\command]  \r\n"
      "@=\"\\\"C:\\\\Program Files\\\\b.exe\\\" -nohome\"\r\n"
      "\"Version\"=hex:01,02\r\n"
      "[Odd%41]\n"
      "\"raw\xe9\"=\"\\x41\"",
      &error);
  ASSERT_TRUE(tree) << error.line << ": " << error.reason;
  const Value* cmd = tree->FindValue("http\\SHELL\\open\\command", "");
  ASSERT_TRUE(cmd);
  EXPECT_EQ(cmd->data, "\"C:\\Program Files\\b.exe\" -nohome");
  EXPECT_EQ(*tree->FindValue("HTTP\\shell\\open\\command", "version"),
            (Value{REG_BINARY, "\x01\x02"}));
  EXPECT_EQ(tree->FindValue("OddA", "raw\xe9")->data, "A");
  // What is written reads back as the same tree.
  auto again = Parse(Serialize(*tree), &error);
  ASSERT_TRUE(again);
  EXPECT_EQ(*again, *tree);
}

TEST(Registry, RefusesMalformedText) {
  const char* bad[] = {
      "not a registry\n",
      "sceneplayer registry 2\n",
      "sceneplayer registry 1\n\"a\"=\"outside a key\"\n",
      "sceneplayer registry 1\n[Key\n",
      "sceneplayer registry 1\n[K[ey]\n",
      "sceneplayer registry 1\n[Key%4]\n",
      "sceneplayer registry 1\n[Key%]\n",
      "sceneplayer registry 1\n[K]\n\"a\"=\"unterminated\n",
      "sceneplayer registry 1\n[K]\n\"a\"=\"bad \\q escape\"\n",
      "sceneplayer registry 1\n[K]\n\"a\"=\"short \\x4\"\n",
      "sceneplayer registry 1\n[K]\n\"a\"=\"x\" trailing\n",
      "sceneplayer registry 1\n[K]\n\"a\"=dword:1234567\n",
      "sceneplayer registry 1\n[K]\n\"a\"=dword:1234567g\n",
      "sceneplayer registry 1\n[K]\n\"a\"=dword:123456789\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex:0\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex:00,\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex:00;01\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex():00\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex(123456789):00\n",
      "sceneplayer registry 1\n[K]\n\"a\"=hex(7\n",
      "sceneplayer registry 1\n[K]\n\"a\"=qword:00\n",
      "sceneplayer registry 1\n[K]\n\"a\"\n",
      "sceneplayer registry 1\n[K]\n\"a\n",
      "sceneplayer registry 1\n[K]\n@\n",
  };
  for (const char* text : bad) {
    ParseError error{};
    EXPECT_FALSE(Parse(text, &error)) << text;
    EXPECT_FALSE(error.reason.empty()) << text;
  }
  ParseError error{};
  ASSERT_FALSE(Parse("sceneplayer registry 1\n[K]\n\"a\"=dword:zz\n", &error));
  EXPECT_EQ(error.line, 3u);
}

TEST(Registry, BoundsHostileInput) {
  ParseError error{};
  std::string longLine =
      "sceneplayer registry 1\n[K]\n\"a\"=\"" + std::string(kMaxLineBytes, 'x') + "\"\n";
  EXPECT_FALSE(Parse(longLine, &error));
  EXPECT_EQ(error.reason, "line too long");

  std::string bigValue = "sceneplayer registry 1\n[K]\n\"a\"=hex:00";
  for (size_t i = 0; i < kMaxValueBytes; ++i) bigValue += ",00";
  EXPECT_FALSE(Parse(bigValue, &error));

  std::string bigText =
      "sceneplayer registry 1\n[K]\n\"a\"=\"" + std::string(kMaxValueBytes + 1, 'y') + "\"\n";
  EXPECT_FALSE(Parse(bigText, &error));

  std::string manyKeys = "sceneplayer registry 1\n";
  for (size_t i = 0; i <= kMaxKeys; ++i) manyKeys += "[K" + std::to_string(i) + "]\n";
  EXPECT_FALSE(Parse(manyKeys, &error));
  EXPECT_EQ(error.reason, "too many keys");

  std::string manyValues = "sceneplayer registry 1\n[K]\n";
  for (size_t i = 0; i <= kMaxValues; ++i)
    manyValues += "\"v" + std::to_string(i) + "\"=dword:00000000\n";
  EXPECT_FALSE(Parse(manyValues, &error));
  EXPECT_EQ(error.reason, "too many values");

  std::string longPath =
      "sceneplayer registry 1\n[" + std::string(kMaxKeyPathBytes + 1, 'k') + "]\n";
  EXPECT_FALSE(Parse(longPath, &error));

  // What could not be read back is never written.
  auto store = Store::InMemory();
  auto key = RegistryKey::Create(*store, Root::CurrentUser, "K");
  ASSERT_TRUE(key);
  EXPECT_FALSE(key->WriteBinary("big", std::string(kMaxValueBytes + 1, 'z')));
  EXPECT_FALSE(key->WriteString(std::string(kMaxNameBytes + 1, 'n'), "v"));
  EXPECT_FALSE(
      RegistryKey::Create(*store, Root::CurrentUser, std::string(kMaxKeyPathBytes + 1, 'k')));
  EXPECT_FALSE(key->ReadString("big"));
}

TEST(Registry, OversizeFileIsMovedAsideUnread) {
  ScratchDir dir;
  std::string path = FilePath(dir);
  {
    std::ofstream out(path, std::ios::binary);
    out << "sceneplayer registry 1\n";
  }
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxFileBytes) + 1), 0);
  auto store = Store::OpenFiles(dir.path());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(RegistryKey::Open(*store, Root::CurrentUser, "K"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("too large"), std::string::npos) << err;
  EXPECT_TRUE(HasNameStarting(dir, "HKEY_CURRENT_USER.reg.corrupt-"));
}

TEST(Registry, CorruptFileIsKeptAsideReportedOnceAndNeverOverwritten) {
  ScratchDir dir;
  const std::string path = FilePath(dir);
  const std::string garbage = "sceneplayer registry 1\n[K]\n\"a\"=dword:nothex\n";
  WriteAllText(path, garbage);

  auto store = Store::OpenFiles(dir.path());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(RegistryKey::Open(*store, Root::CurrentUser, "K"));  // starts empty
  EXPECT_FALSE(RegistryKey::Open(*store, Root::CurrentUser, "K"));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(err.starts_with("sceneplayer: ")) << err;
  EXPECT_NE(err.find("line 3"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "reported once: " << err;

  std::string aside;
  for (const auto& name : dir.Names())
    if (name.starts_with("HKEY_CURRENT_USER.reg.corrupt-")) aside = dir.path() + "/" + name;
  ASSERT_FALSE(aside.empty());
  EXPECT_NE(err.find(aside), std::string::npos);
  EXPECT_EQ(ReadAll(aside), garbage);

  // Writing starts a fresh file; a second corrupt file in the same second gets a new name.
  auto key = RegistryKey::Create(*store, Root::CurrentUser, "K");
  ASSERT_TRUE(key);
  EXPECT_TRUE(key->WriteDword("a", 5));
  WriteAllText(path, "junk");
  testing::internal::CaptureStderr();
  EXPECT_TRUE(key->WriteDword("b", 6));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(key->ReadDword("b"), 6u);
  EXPECT_FALSE(key->ReadDword("a"));
  EXPECT_EQ(ReadAll(aside), garbage);
  int asideCount = 0;
  for (const auto& name : dir.Names())
    if (name.starts_with("HKEY_CURRENT_USER.reg.corrupt-")) ++asideCount;
  EXPECT_EQ(asideCount, 2);
}

TEST(Registry, FailedWriteLeavesTheOldFileIntact) {
  ScratchDir dir;
  {
    auto store = Store::OpenFiles(dir.path());
    auto key = RegistryKey::Create(*store, Root::CurrentUser, "Software\\K");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteString("keep", "old value"));
  }
  const std::string before = ReadAll(FilePath(dir));

  // The child may not grow any file beyond a few KB, so writing the new file fails midway.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    auto store = Store::OpenFiles(dir.path());
    auto key = RegistryKey::Open(*store, Root::CurrentUser, "Software\\K");
    bool wrote = key && key->WriteString("big", std::string(60000, 'b'));
    _exit(key && !wrote ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";

  EXPECT_EQ(ReadAll(FilePath(dir)), before);
  EXPECT_FALSE(HasNameStarting(dir, "HKEY_CURRENT_USER.reg.tmp-")) << "temporary file left";
  auto store = Store::OpenFiles(dir.path());
  EXPECT_EQ(RegistryKey::Open(*store, Root::CurrentUser, "Software\\K")->ReadString("keep"),
            "old value");
}

TEST(Registry, ConcurrentWritersInTwoProcessesLoseNothing) {
  ScratchDir dir;
  constexpr int kWrites = 150;
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = fork();
    ASSERT_GE(pids[p], 0);
    if (pids[p] == 0) {
      auto store = Store::OpenFiles(dir.path());
      bool ok = true;
      for (int i = 0; i < kWrites; ++i) {
        // Both write into one shared key and one key of their own.
        auto shared = RegistryKey::Create(*store, Root::CurrentUser, "Software\\Shared");
        auto own =
            RegistryKey::Create(*store, Root::CurrentUser, "Software\\Own" + std::to_string(p));
        ok = ok && shared && own &&
             shared->WriteDword("p" + std::to_string(p) + "_" + std::to_string(i),
                                static_cast<uint32_t>(p * 1000 + i)) &&
             own->WriteString("v" + std::to_string(i), std::to_string(i));
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto store = Store::OpenFiles(dir.path());
  Tree tree = store->backend(Root::CurrentUser).Load();
  int missing = 0;
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      const Value* v =
          tree.FindValue("Software\\Shared", "p" + std::to_string(p) + "_" + std::to_string(i));
      const Value* s = tree.FindValue("Software\\Own" + std::to_string(p), "v" + std::to_string(i));
      if (!v || !s || s->data != std::to_string(i)) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(tree.valueCount(), 4u * kWrites);
  EXPECT_FALSE(HasNameStarting(dir, "HKEY_CURRENT_USER.reg.tmp-"));
}

TEST(Registry, SeesChangesOfOtherWriters) {
  ScratchDir dir;
  auto a = Store::OpenFiles(dir.path());
  auto b = Store::OpenFiles(dir.path());
  auto ka = RegistryKey::Create(*a, Root::LocalMachine, "K");
  ASSERT_TRUE(ka);
  ASSERT_TRUE(ka->WriteDword("n", 1));
  auto kb = RegistryKey::Open(*b, Root::LocalMachine, "K");
  ASSERT_TRUE(kb);
  EXPECT_EQ(kb->ReadDword("n"), 1u);
  ASSERT_TRUE(ka->WriteDword("n", 2));
  EXPECT_EQ(kb->ReadDword("n"), 2u);
  EXPECT_TRUE(std::filesystem::exists(FilePath(dir, Root::LocalMachine)));
  EXPECT_FALSE(std::filesystem::exists(FilePath(dir, Root::CurrentUser)));
}

TEST(Registry, ConfigDirectoryFollowsXdgConfigHome) {
  const char* oldXdg = getenv("XDG_CONFIG_HOME");
  const char* oldHome = getenv("HOME");
  std::string savedXdg = oldXdg ? oldXdg : "", savedHome = oldHome ? oldHome : "";
  setenv("XDG_CONFIG_HOME", "/x/conf", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(ConfigDirectory(), "/x/conf/sceneplayer");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ConfigDirectory(), "/home/u/.config/sceneplayer");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
  EXPECT_EQ(ConfigDirectory(), "/home/u/.config/sceneplayer");
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}

TEST(Registry, DefaultStoreCreatesItsFolder) {
  ScratchDir dir;
  const char* oldXdg = getenv("XDG_CONFIG_HOME");
  std::string saved = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", (dir.path() + "/nested/conf").c_str(), 1);
  auto store = Store::OpenDefault();
  auto key = RegistryKey::Create(*store, Root::CurrentUser, "K");
  ASSERT_TRUE(key);
  EXPECT_TRUE(key->WriteDword("d", 3));
  EXPECT_TRUE(
      std::filesystem::exists(dir.path() + "/nested/conf/sceneplayer/HKEY_CURRENT_USER.reg"));
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}
