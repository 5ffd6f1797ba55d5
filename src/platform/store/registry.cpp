#include "platform/store/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "platform/sys/bounded_reader.h"
#include "platform/sys/fd_io.h"
#include "platform/sys/printable.h"

namespace store {
namespace {

constexpr std::string_view kHeader = "sceneplayer registry 1";
constexpr char kHex[] = "0123456789abcdef";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c >= 0x7F; }

void AppendHexByte(std::string& out, unsigned char c) {
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

std::string QuoteText(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (NeedsEscape(c)) {
      out += "\\x";
      AppendHexByte(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

std::string EscapeKeyPath(std::string_view path) {
  std::string out;
  for (unsigned char c : path) {
    if (NeedsEscape(c) || c == '%' || c == '[' || c == ']') {
      out += '%';
      AppendHexByte(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Reads a quoted text at pos (which is at the opening quote); pos ends after the closing one.
bool ParseQuoted(std::string_view line, size_t& pos, std::string& out, std::string& why) {
  if (pos >= line.size() || line[pos] != '"') {
    why = "expected '\"'";
    return false;
  }
  ++pos;
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
    } else if (pos < line.size() && (line[pos] == '"' || line[pos] == '\\')) {
      out += line[pos++];
    } else if (pos + 2 < line.size() && line[pos] == 'x' && HexDigit(line[pos + 1]) >= 0 &&
               HexDigit(line[pos + 2]) >= 0) {
      out += static_cast<char>(HexDigit(line[pos + 1]) * 16 + HexDigit(line[pos + 2]));
      pos += 3;
    } else {
      why = "bad escape";
      return false;
    }
    if (out.size() > kMaxValueBytes) {
      why = "text too long";
      return false;
    }
  }
  why = "unterminated text";
  return false;
}

bool ParseValue(std::string_view form, Value& value, std::string& why) {
  if (!form.empty() && form[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(form, pos, text, why)) return false;
    if (pos != form.size()) {
      why = "text after the value";
      return false;
    }
    value = Value{REG_SZ, std::move(text)};
    return true;
  }
  if (form.starts_with("dword:")) {
    std::string_view digits = form.substr(6);
    if (digits.size() != 8) {
      why = "dword needs 8 hex digits";
      return false;
    }
    uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) {
        why = "bad hex digit";
        return false;
      }
      v = v << 4 | static_cast<uint32_t>(d);
    }
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(v >> (8 * i));
    value = Value{REG_DWORD, std::move(data)};
    return true;
  }
  uint32_t type = REG_BINARY;
  std::string_view list;
  if (form.starts_with("hex:")) {
    list = form.substr(4);
  } else if (form.starts_with("hex(")) {
    size_t close = form.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) {
      why = "bad value type";
      return false;
    }
    uint64_t t = 0;
    for (char c : form.substr(4, close - 4)) {
      int d = HexDigit(c);
      if (d < 0) {
        why = "bad value type";
        return false;
      }
      t = t << 4 | static_cast<uint64_t>(d);
    }
    type = static_cast<uint32_t>(t);
    list = form.substr(close + 2);
  } else {
    why = "unknown value form";
    return false;
  }
  std::string data;
  for (size_t i = 0; i < list.size();) {
    if (i + 2 > list.size() || HexDigit(list[i]) < 0 || HexDigit(list[i + 1]) < 0) {
      why = "bad hex byte";
      return false;
    }
    data += static_cast<char>(HexDigit(list[i]) * 16 + HexDigit(list[i + 1]));
    i += 2;
    if (i < list.size()) {
      if (list[i] != ',' || i + 1 == list.size()) {
        why = "bad hex list";
        return false;
      }
      ++i;
    }
  }
  if (data.size() > kMaxValueBytes) {
    why = "value too large";
    return false;
  }
  value = Value{type, std::move(data)};
  return true;
}

// pread over a file descriptor the caller owns, so the bytes read are those of the file
// whose identity was taken with fstat.
class FdSource final : public sys::ByteSource {
 public:
  FdSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* dst, size_t n) override {
    return sys::ReadFullAt(fd_, offset, dst, n);
  }

 private:
  int fd_;
  uint64_t size_;
};

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool MakeDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  for (size_t pos = 1;; ++pos) {
    pos = dir.find('/', pos);
    std::string part = dir.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) break;
  }
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Renames without replacing anything that exists at the target.
bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

}  // namespace

const char* RootName(Root root) {
  switch (root) {
    case Root::CurrentUser:
      return "HKEY_CURRENT_USER";
    case Root::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case Root::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "HKEY_CURRENT_USER";
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::optional<std::string> NormalizeKeyPath(std::string_view path) {
  std::string out;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) {
      if (!out.empty()) out += '\\';
      out.append(path.substr(pos, end - pos));
      if (out.size() > kMaxKeyPathBytes) return std::nullopt;
    }
    pos = end + 1;
  }
  return out;
}

// ---- Tree

bool Tree::KeyExists(std::string_view path) const {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return false;
  if (norm->empty()) return true;
  std::string folded = FoldCase(*norm);
  if (keys_.count(folded)) return true;
  std::string prefix = folded + '\\';
  auto it = keys_.lower_bound(prefix);
  return it != keys_.end() && it->first.starts_with(prefix);
}

const Tree::Key* Tree::FindKey(std::string_view path) const {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return nullptr;
  auto it = keys_.find(FoldCase(*norm));
  return it == keys_.end() ? nullptr : &it->second;
}

// GCC 12 at -O3 mistakes the map node for a local here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wreturn-local-addr"
#endif
Tree::Key* Tree::CreateKey(std::string_view path) {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return nullptr;
  std::string folded = FoldCase(*norm);
  auto it = keys_.find(folded);
  if (it != keys_.end()) return &it->second;
  if (keys_.size() >= kMaxKeys) return nullptr;
  auto inserted = keys_.emplace(std::move(folded), Key{}).first;
  inserted->second.path = *norm;
  return &inserted->second;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

const Value* Tree::FindValue(std::string_view path, std::string_view name) const {
  const Key* key = FindKey(path);
  if (!key) return nullptr;
  auto it = key->values.find(FoldCase(name));
  return it == key->values.end() ? nullptr : &it->second.value;
}

bool Tree::SetValue(std::string_view path, std::string_view name, Value value) {
  if (name.size() > kMaxNameBytes || value.data.size() > kMaxValueBytes) return false;
  Key* key = CreateKey(path);
  if (!key) return false;
  std::string folded = FoldCase(name);
  auto it = key->values.find(folded);
  if (it != key->values.end()) {
    it->second.value = std::move(value);
    return true;
  }
  if (valueCount_ >= kMaxValues) return false;
  key->values.emplace(folded, Entry{std::string(name), std::move(value)});
  ++valueCount_;
  return true;
}

bool Tree::DeleteValue(std::string_view path, std::string_view name) {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return false;
  auto it = keys_.find(FoldCase(*norm));
  if (it == keys_.end()) return false;
  if (it->second.values.erase(FoldCase(name)) == 0) return false;
  --valueCount_;
  return true;
}

// ---- text form

std::string Serialize(const Tree& tree) {
  std::string out(kHeader);
  out += '\n';
  for (const auto& [folded, key] : tree.keys()) {
    out += '\n';
    out += '[';
    out += EscapeKeyPath(key.path);
    out += "]\n";
    for (const auto& [fname, entry] : key.values) {
      if (entry.name.empty()) {
        out += '@';
      } else {
        out += QuoteText(entry.name);
      }
      out += '=';
      const Value& v = entry.value;
      if (v.type == REG_SZ) {
        out += QuoteText(v.data);
      } else if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = d << 8 | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
      } else {
        if (v.type == REG_BINARY) {
          out += "hex:";
        } else {
          char buf[24];
          std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
          out += buf;
        }
        for (size_t i = 0; i < v.data.size(); ++i) {
          if (i) out += ',';
          AppendHexByte(out, static_cast<unsigned char>(v.data[i]));
        }
      }
      out += '\n';
    }
  }
  return out;
}

std::optional<Tree> Parse(std::string_view text, ParseError* error) {
  Tree tree;
  std::string why;
  size_t lineNo = 0;
  size_t pos = 0;
  std::optional<std::string> currentKey;
  auto fail = [&](std::string reason) -> std::optional<Tree> {
    if (error) *error = ParseError{lineNo, std::move(reason)};
    return std::nullopt;
  };
  if (text.size() > kMaxFileBytes) return fail("file too large");
  if (text.empty()) return tree;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (line.size() > kMaxLineBytes) return fail("line too long");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNo == 1) {
      if (line != kHeader) return fail("not a sceneplayer registry file");
      continue;
    }
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 2) return fail("unterminated key");
      std::string_view raw = line.substr(1, line.size() - 2);
      std::string path;
      for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%') {
          if (i + 2 >= raw.size() || HexDigit(raw[i + 1]) < 0 || HexDigit(raw[i + 2]) < 0)
            return fail("bad escape in key");
          path += static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2]));
          i += 2;
        } else if (raw[i] == '[' || raw[i] == ']') {
          return fail("bracket in key");
        } else {
          path += raw[i];
        }
      }
      auto norm = NormalizeKeyPath(path);
      if (!norm) return fail("key path too long");
      if (!tree.CreateKey(*norm)) return fail("too many keys");
      currentKey = *norm;
      continue;
    }
    if (!currentKey) return fail("value outside a key");
    std::string name;
    size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (!ParseQuoted(line, at, name, why)) {
      return fail(why);
    }
    if (name.size() > kMaxNameBytes) return fail("name too long");
    if (at >= line.size() || line[at] != '=') return fail("expected '='");
    Value value;
    if (!ParseValue(line.substr(at + 1), value, why)) return fail(why);
    if (!tree.SetValue(*currentKey, name, std::move(value))) return fail("too many values");
  }
  return tree;
}

// ---- backends

Tree MemoryBackend::Load() {
  std::lock_guard lock(mutex_);
  return tree_;
}

bool MemoryBackend::Update(const std::function<bool(Tree&)>& change) {
  std::lock_guard lock(mutex_);
  Tree copy = tree_;
  if (!change(copy)) return false;
  if (Serialize(copy).size() > kMaxFileBytes) return false;
  tree_ = std::move(copy);
  return true;
}

FileBackend::FileBackend(std::string path) : path_(std::move(path)) {
  size_t slash = path_.rfind('/');
  dir_ = slash == std::string::npos ? "." : path_.substr(0, slash == 0 ? 1 : slash);
}

FileBackend::ReadStatus FileBackend::ReadFile(bool moveCorrupt, Tree& tree) {
  // Writers (moveCorrupt) always parse afresh: file times are coarse and inode numbers are
  // reused, so a stamp can match a newer file and a stale tree would undo another's write.
  tree = Tree();
  UniqueFd fd(open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return ReadStatus::Failed;
  Stamp stamp{static_cast<uint64_t>(st.st_dev),
              static_cast<uint64_t>(st.st_ino),
              static_cast<uint64_t>(st.st_size),
              st.st_mtim.tv_sec,
              st.st_mtim.tv_nsec,
              st.st_ctim.tv_sec,
              st.st_ctim.tv_nsec};
  {
    std::lock_guard lock(mutex_);
    if (!moveCorrupt && cachedStamp_ && *cachedStamp_ == stamp) {
      tree = cached_;
      return ReadStatus::Ok;
    }
  }
  ParseError error{0, ""};
  std::optional<Tree> parsed;
  if (!S_ISREG(st.st_mode)) {
    error.reason = "not a regular file";
  } else if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
    error.reason = "file too large";
  } else {
    FdSource source(fd.get(), static_cast<uint64_t>(st.st_size));
    sys::BoundedReader reader(source);
    std::vector<uint8_t> bytes;
    try {
      bytes = reader.Block(reader.Remaining());
    } catch (const sys::ReadError&) {
      return ReadStatus::Failed;
    }
    parsed =
        Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error);
  }
  if (parsed) {
    std::lock_guard lock(mutex_);
    cachedStamp_ = stamp;
    cached_ = *parsed;
    tree = std::move(*parsed);
    return ReadStatus::Ok;
  }
  if (!moveCorrupt) return ReadStatus::Corrupt;

  char stampText[32];
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(stampText, sizeof stampText, "%Y%m%dT%H%M%SZ", &utc);
  std::string base = path_ + ".corrupt-" + stampText;
  for (int n = 1; n <= 1000; ++n) {
    std::string target = n == 1 ? base : base + "-" + std::to_string(n);
    if (RenameNoReplace(path_, target)) {
      std::string where = error.line ? " (line " + std::to_string(error.line) + ": " : " (";
      std::fprintf(stderr,
                   "sceneplayer: settings file %s could not be read%s%s); kept as %s, "
                   "starting with empty settings\n",
                   path_.c_str(), where.c_str(), error.reason.c_str(), target.c_str());
      std::fflush(stderr);
      return ReadStatus::MovedAside;
    }
    if (errno != EEXIST) break;
  }
  std::fprintf(stderr, "sceneplayer: settings file %s could not be read (%s) nor moved aside: %s\n",
               path_.c_str(), error.reason.c_str(), std::strerror(errno));
  std::fflush(stderr);
  return ReadStatus::Failed;
}

namespace {
constexpr auto kLockWait = std::chrono::seconds(5);

// Holds the writers' lock of one settings file while alive.
class WriterLock {
 public:
  explicit WriterLock(const std::string& path)
      : fd_(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600)) {
    if (fd_.get() < 0) return;
    // Another process may hold the lock for ever: wait a bounded time, then go on without
    // writing and say so once. After that the process only tries, so that the waits of
    // many writes never add up.
    static std::atomic<bool> gaveUp{false};
    const auto giveUp =
        std::chrono::steady_clock::now() + (gaveUp ? std::chrono::milliseconds(0) : kLockWait);
    auto pause = std::chrono::microseconds(500);
    for (;;) {
      if (flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) return;
      if (std::chrono::steady_clock::now() >= giveUp) break;
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(8000));
    }
    if (!gaveUp.exchange(true)) {
      std::fprintf(stderr,
                   "sceneplayer: settings file %s is locked by another program; settings are "
                   "not saved\n",
                   sys::EscapeControls(path).c_str());
      std::fflush(stderr);
    }
  }
  ~WriterLock() {
    if (locked_) flock(fd_.get(), LOCK_UN);
  }
  bool locked() const { return locked_; }

 private:
  UniqueFd fd_;
  bool locked_ = false;
};
}  // namespace

Tree FileBackend::Load() {
  Tree tree;
  ReadStatus status = ReadFile(false, tree);
  if (status == ReadStatus::Corrupt && MakeDirectories(dir_)) {
    // Move it aside under the lock, so a writer that replaces it meanwhile is not undone.
    WriterLock lock(path_);
    if (lock.locked()) ReadFile(true, tree);
  }
  return tree;
}

bool FileBackend::Update(const std::function<bool(Tree&)>& change) {
  if (!MakeDirectories(dir_)) return false;
  WriterLock lock(path_);
  if (!lock.locked()) return false;
  Tree tree;
  ReadStatus status = ReadFile(true, tree);
  if (status == ReadStatus::Failed || status == ReadStatus::Corrupt) return false;
  if (!change(tree)) return false;
  return WriteFile(tree);
}

bool FileBackend::WriteFile(const Tree& tree) {
  std::string text = Serialize(tree);
  if (text.size() > kMaxFileBytes) return false;
  std::string temp = path_ + ".tmp-XXXXXX";
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  struct stat st;
  bool ok = fchmod(fd.get(), 0600) == 0 && sys::WriteFull(fd.get(), text.data(), text.size()) &&
            fsync(fd.get()) == 0 && fstat(fd.get(), &st) == 0;
  ok = close(fd.release()) == 0 && ok;
  if (!ok || rename(temp.c_str(), path_.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  // The rename itself must reach the disk too.
  UniqueFd dirFd(open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) fsync(dirFd.get());
  std::lock_guard guard(mutex_);
  cachedStamp_ = Stamp{static_cast<uint64_t>(st.st_dev),
                       static_cast<uint64_t>(st.st_ino),
                       static_cast<uint64_t>(st.st_size),
                       st.st_mtim.tv_sec,
                       st.st_mtim.tv_nsec,
                       st.st_ctim.tv_sec,
                       st.st_ctim.tv_nsec};
  cached_ = tree;
  return true;
}

// ---- store

std::string ConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/sceneplayer";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.config/sceneplayer";
  return {};
}

std::unique_ptr<Store> Store::OpenFiles(const std::string& dir) {
  auto store = std::unique_ptr<Store>(new Store());
  for (int i = 0; i < kRootCount; ++i) {
    store->backends_[i] =
        std::make_unique<FileBackend>(dir + "/" + RootName(static_cast<Root>(i)) + ".reg");
  }
  return store;
}

std::unique_ptr<Store> Store::OpenDefault() {
  std::string dir = ConfigDirectory();
  return dir.empty() ? InMemory() : OpenFiles(dir);
}

std::unique_ptr<Store> Store::InMemory() {
  auto store = std::unique_ptr<Store>(new Store());
  for (auto& backend : store->backends_) backend = std::make_unique<MemoryBackend>();
  return store;
}

// ---- keys

std::optional<RegistryKey> RegistryKey::Open(Store& store, Root root, std::string_view path) {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return std::nullopt;
  Backend& backend = store.backend(root);
  if (!backend.Load().KeyExists(*norm)) return std::nullopt;
  return RegistryKey(&backend, *norm);
}

std::optional<RegistryKey> RegistryKey::Create(Store& store, Root root, std::string_view path) {
  auto norm = NormalizeKeyPath(path);
  if (!norm) return std::nullopt;
  Backend& backend = store.backend(root);
  if (!backend.Load().KeyExists(*norm) &&
      !backend.Update([&](Tree& tree) { return tree.CreateKey(*norm) != nullptr; })) {
    return std::nullopt;
  }
  return RegistryKey(&backend, *norm);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : backend_(std::exchange(other.backend_, nullptr)), path_(std::move(other.path_)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  backend_ = std::exchange(other.backend_, nullptr);
  path_ = std::move(other.path_);
  return *this;
}

std::optional<Value> RegistryKey::Read(std::string_view name) const {
  if (!backend_) return std::nullopt;
  Tree tree = backend_->Load();
  const Value* value = tree.FindValue(path_, name);
  if (!value) return std::nullopt;
  return *value;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
  auto value = Read(name);
  if (!value || value->type != REG_SZ) return std::nullopt;
  size_t zero = value->data.find('\0');
  if (zero != std::string::npos) value->data.resize(zero);
  return std::move(value->data);
}

std::optional<uint32_t> RegistryKey::ReadDword(std::string_view name) const {
  auto value = Read(name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  uint32_t d = 0;
  for (int i = 3; i >= 0; --i) d = d << 8 | static_cast<unsigned char>(value->data[i]);
  return d;
}

bool RegistryKey::Write(std::string_view name, Value value) {
  if (!backend_) return false;
  return backend_->Update([&](Tree& tree) { return tree.SetValue(path_, name, value); });
}

bool RegistryKey::WriteString(std::string_view name, std::string_view text) {
  return Write(name, Value{REG_SZ, std::string(text)});
}

bool RegistryKey::WriteDword(std::string_view name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i));
  return Write(name, Value{REG_DWORD, std::move(data)});
}

bool RegistryKey::WriteBinary(std::string_view name, std::string_view bytes) {
  return Write(name, Value{REG_BINARY, std::string(bytes)});
}

bool RegistryKey::DeleteValue(std::string_view name) {
  if (!backend_) return false;
  return backend_->Update([&](Tree& tree) { return tree.DeleteValue(path_, name); });
}

}  // namespace store
