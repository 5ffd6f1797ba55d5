#pragma once
// Writes a show as the project archive the player reads: header, item records in the layout
// of the archive version, then the link lists of the resources. A field that the chosen
// version cannot carry (and that would read back as something else) is refused rather than
// dropped.

#include <cstdint>
#include <vector>

#include "scenepack/archive_writer.h"
#include "scenepack/show.h"

namespace scenepack {

// The whole archive: reserved word, identification, version, items, link lists.
std::vector<uint8_t> WriteArchive(const Show& show);

// The pieces, for callers that check layouts one record at a time. index and name only
// label errors.
void WritePathRecord(ArchiveWriter& out, const PathRecord& path, float version, int index,
                     const std::string& name, const std::string& field = "path");
void WriteColorRecord(ArchiveWriter& out, const ColorRecord& color);
void WriteFontRecord(ArchiveWriter& out, const FontRecord& font, int index,
                     const std::string& name);
// Type tag, common header and the record of the item's kind.
void WriteItemRecord(ArchiveWriter& out, const Item& item, float version, int index);

}  // namespace scenepack
