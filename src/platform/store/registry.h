#pragma once
// The registry stand-in: keys holding typed, named values, one tree per root.
//
// Each root lives in its own text file under $XDG_CONFIG_HOME/sceneplayer/ (~/.config when
// unset), named after the root: HKEY_CURRENT_USER.reg, HKEY_LOCAL_MACHINE.reg,
// HKEY_CLASSES_ROOT.reg. The format, one item per line (LF, CR LF accepted):
//
//   sceneplayer registry 1                      first line, always
//   ; comment                                   ignored, as are empty lines
//   [Software\Quillmoor\Screen Saver\demo]      a key; following values belong to it
//   @="open"                                    the default (unnamed) value, REG_SZ
//   "Encrypt"="x3#a\"b\\c\x7f"                  REG_SZ
//   "Standard"=dword:00000001                   REG_DWORD, 8 hex digits
//   "Blob"=hex:00,ff,10                         REG_BINARY
//   "Other"=hex(7):41,00                        any other type, by number
//
// Key paths are written with backslashes as Windows writes them; in a key line the bytes
// below 0x20, 0x7F and above, '%', '[' and ']' are written as %HH. In quoted names and
// strings, '"' and '\' are escaped with '\', and bytes below 0x20, 0x7F and above as \xHH
// (two hex digits), so the file is plain ASCII whatever code page the texts are in.
// Key and value names compare without regard to ASCII letter case; the spelling first
// written is kept.
//
// Reading is bounded (file size, line length, value size, number of keys and values), so a
// hostile file cannot exhaust memory. A file that cannot be parsed is renamed to
// <name>.corrupt-<timestamp> (never overwritten or deleted), reported once on stderr, and the
// root starts empty. Every change is a read-modify-write under an advisory lock
// (<name>.lock) ending in an atomic replace (temporary file in the same folder, fsync,
// rename), so concurrent writers of different values lose nothing.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store {

enum class Root { CurrentUser, LocalMachine, ClassesRoot };
inline constexpr int kRootCount = 3;
// The root's Windows name, also the stem of its file ("HKEY_CURRENT_USER").
const char* RootName(Root root);

// Value types keep their Windows numbers.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

// Limits of what is read and written.
inline constexpr size_t kMaxFileBytes = 8u << 20;
inline constexpr size_t kMaxLineBytes = 256u << 10;
inline constexpr size_t kMaxValueBytes = 64u << 10;
inline constexpr size_t kMaxNameBytes = 1024;
inline constexpr size_t kMaxKeyPathBytes = 2048;
inline constexpr size_t kMaxKeys = 8192;
inline constexpr size_t kMaxValues = 65536;

struct Value {
  uint32_t type = REG_NONE;
  std::string data;  // raw bytes (REG_SZ without a terminating zero, REG_DWORD little-endian)
  bool operator==(const Value&) const = default;
};

// Lower-case ASCII form, the identity of key and value names.
std::string FoldCase(std::string_view text);

// A key path in canonical form: components separated by one backslash, no leading or
// trailing separator. Returns nullopt when it is too long.
std::optional<std::string> NormalizeKeyPath(std::string_view path);

// One root's keys and values. Keys are identified by their folded canonical path.
class Tree {
 public:
  struct Entry {
    std::string name;  // as first written
    Value value;
    bool operator==(const Entry&) const = default;
  };
  struct Key {
    std::string path;                     // as first written, canonical
    std::map<std::string, Entry> values;  // by folded name
    bool operator==(const Key&) const = default;
  };

  // A key exists when it was created or holds a descendant.
  bool KeyExists(std::string_view path) const;
  const Key* FindKey(std::string_view path) const;
  // Creates the key (not its ancestors: they exist through it); nullptr beyond the limits.
  Key* CreateKey(std::string_view path);
  const Value* FindValue(std::string_view path, std::string_view name) const;
  // False beyond the limits (the tree is then unchanged).
  bool SetValue(std::string_view path, std::string_view name, Value value);
  // True when something was removed.
  bool DeleteValue(std::string_view path, std::string_view name);

  const std::map<std::string, Key>& keys() const { return keys_; }
  size_t valueCount() const { return valueCount_; }
  bool operator==(const Tree& other) const { return keys_ == other.keys_; }

 private:
  std::map<std::string, Key> keys_;  // by folded path
  size_t valueCount_ = 0;
};

// Text form of a tree (see above).
std::string Serialize(const Tree& tree);
struct ParseError {
  size_t line;
  std::string reason;
};
// The tree, or nullopt with error filled (1-based line); never reads past text.
std::optional<Tree> Parse(std::string_view text, ParseError* error);

// Where one root's tree is kept.
class Backend {
 public:
  virtual ~Backend() = default;
  // The current tree (empty when nothing is stored yet or the store is unreadable).
  virtual Tree Load() = 0;
  // Runs change on the current tree under the writers' lock and stores the result when
  // change returns true. False when change returned false or storing failed.
  virtual bool Update(const std::function<bool(Tree&)>& change) = 0;
};

// A tree in memory, for tests of other modules.
class MemoryBackend final : public Backend {
 public:
  Tree Load() override;
  bool Update(const std::function<bool(Tree&)>& change) override;

 private:
  std::mutex mutex_;
  Tree tree_;
};

// The file of one root (see above).
class FileBackend final : public Backend {
 public:
  // path: the root's file, e.g. ".../sceneplayer/HKEY_CURRENT_USER.reg".
  explicit FileBackend(std::string path);
  Tree Load() override;
  bool Update(const std::function<bool(Tree&)>& change) override;
  const std::string& path() const { return path_; }

 private:
  enum class ReadStatus { Ok, Missing, Corrupt, MovedAside, Failed };
  // Reads and parses the file. A file that cannot be parsed is moved aside when
  // moveCorrupt (the caller holds the lock then); the tree is empty unless Ok.
  ReadStatus ReadFile(bool moveCorrupt, Tree& tree);
  bool WriteFile(const Tree& tree);

  std::string path_;
  std::string dir_;
  std::mutex mutex_;  // guards the cache, which spares readers parsing an unchanged file
  struct Stamp {
    uint64_t dev = 0, ino = 0, size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
    bool operator==(const Stamp&) const = default;
  };
  std::optional<Stamp> cachedStamp_;
  Tree cached_;
};

// The folder of the settings files: $XDG_CONFIG_HOME/sceneplayer or ~/.config/sceneplayer
// (no trailing '/'); empty when neither XDG_CONFIG_HOME nor HOME is set.
std::string ConfigDirectory();

// The three roots.
class Store {
 public:
  // Files under ConfigDirectory() (in memory when it cannot be found).
  static std::unique_ptr<Store> OpenDefault();
  // Files in dir.
  static std::unique_ptr<Store> OpenFiles(const std::string& dir);
  static std::unique_ptr<Store> InMemory();

  Backend& backend(Root root) { return *backends_[static_cast<int>(root)]; }

 private:
  std::unique_ptr<Backend> backends_[kRootCount];
};

// An open key, like an HKEY: Open finds an existing key, Create makes it when missing.
// Each read sees the stored state at that moment; each write is stored at once. A key must
// not outlive its Store.
class RegistryKey {
 public:
  static std::optional<RegistryKey> Open(Store& store, Root root, std::string_view path);
  static std::optional<RegistryKey> Create(Store& store, Root root, std::string_view path);

  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }

  bool IsOpen() const { return backend_ != nullptr; }
  void Close() { backend_ = nullptr; }
  const std::string& path() const { return path_; }

  // The empty name is the key's default value. Reads fail on a missing value or a wrong
  // type; ReadString gives the text up to the first zero byte.
  std::optional<Value> Read(std::string_view name) const;
  std::optional<std::string> ReadString(std::string_view name) const;
  std::optional<uint32_t> ReadDword(std::string_view name) const;

  bool Write(std::string_view name, Value value);
  bool WriteString(std::string_view name, std::string_view text);
  bool WriteDword(std::string_view name, uint32_t value);
  bool WriteBinary(std::string_view name, std::string_view bytes);
  bool DeleteValue(std::string_view name);

 private:
  RegistryKey(Backend* backend, std::string path) : backend_(backend), path_(std::move(path)) {}
  Backend* backend_;
  std::string path_;
};

}  // namespace store
