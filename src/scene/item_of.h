#pragma once
// The common base of the item kinds.

#include <memory>

#include "scene/project_archive.h"
#include "scene/record_reader.h"
#include "scene/scene_item.h"

namespace scene {

// Every kind makes empty copies of itself for the prototype table, and reads its header and
// record. Derived::record() is the stored record; Derived::loaded() finishes after reading.
template <typename Derived, int32_t Kind>
class ItemOf : public SceneItem {
 public:
  static constexpr int32_t kKind = Kind;
  ItemOf() : SceneItem(Kind) {}
  std::unique_ptr<SceneItem> createEmpty() const override { return std::make_unique<Derived>(); }
  void load(ProjectArchive& archive) override {
    loadHeader(archive);
    auto& self = static_cast<Derived&>(*this);
    auto&& record = self.record();
    ReadRecord(archive, record);
    self.loaded();
  }

  void loaded() {}
};

}  // namespace scene
