#include "platform/sys/elf_image.h"

#include <algorithm>

namespace sys {
namespace {

constexpr uint32_t kShtNobits = 8;

bool AddEnd(uint64_t offset, uint64_t size, uint64_t limit, uint64_t& end) {
  if (offset > limit || size > limit - offset) return false;
  end = std::max(end, offset + size);
  return true;
}

}  // namespace

std::optional<uint64_t> ElfImageEnd(ByteSource& source) {
  try {
    BoundedReader r(source);
    uint8_t ident[16];
    r.Read(ident, sizeof ident);
    if (ident[0] != 0x7F || ident[1] != 'E' || ident[2] != 'L' || ident[3] != 'F') {
      return std::nullopt;
    }
    const bool is64 = ident[4] == 2;
    if ((ident[4] != 1 && ident[4] != 2) || ident[5] != 1) return std::nullopt;
    const uint64_t size = source.Size();
    auto word = [&](BoundedReader& rd) -> uint64_t {
      if (is64) {
        uint64_t lo = rd.U32LE();
        uint64_t hi = rd.U32LE();
        return lo | (hi << 32);
      }
      return rd.U32LE();
    };
    r.Skip(2 + 2 + 4);  // e_type, e_machine, e_version
    word(r);            // e_entry
    uint64_t phoff = word(r);
    uint64_t shoff = word(r);
    r.Skip(4 + 2);  // e_flags, e_ehsize
    uint16_t phentsize = r.U16LE();
    uint16_t phnum = r.U16LE();
    uint16_t shentsize = r.U16LE();
    uint16_t shnum = r.U16LE();

    uint64_t end = r.Position();
    if (phnum && !AddEnd(phoff, uint64_t{phentsize} * phnum, size, end)) return std::nullopt;
    if (shnum && !AddEnd(shoff, uint64_t{shentsize} * shnum, size, end)) return std::nullopt;

    const uint64_t minPh = is64 ? 56 : 32;
    for (uint16_t i = 0; i < phnum && phentsize >= minPh; ++i) {
      r.Seek(phoff + uint64_t{i} * phentsize);
      r.Skip(4);  // p_type
      uint64_t off, filesz;
      if (is64) {
        r.Skip(4);  // p_flags
        off = word(r);
        word(r);  // p_vaddr
        word(r);  // p_paddr
        filesz = word(r);
      } else {
        off = word(r);
        word(r);
        word(r);
        filesz = word(r);
      }
      if (!AddEnd(off, filesz, size, end)) return std::nullopt;
    }
    const uint64_t minSh = is64 ? 64 : 40;
    for (uint16_t i = 0; i < shnum && shentsize >= minSh; ++i) {
      r.Seek(shoff + uint64_t{i} * shentsize);
      r.Skip(4);  // sh_name
      uint32_t type = r.U32LE();
      word(r);  // sh_flags
      word(r);  // sh_addr
      uint64_t off = word(r);
      uint64_t sz = word(r);
      if (type == kShtNobits) continue;
      if (!AddEnd(off, sz, size, end)) return std::nullopt;
    }
    return end;
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

std::optional<uint64_t> ElfImageEnd(const std::string& path) {
  FileSource file;
  if (!file.Open(path)) return std::nullopt;
  return ElfImageEnd(file);
}

}  // namespace sys
