#pragma once
// A scene item: one entry of a show. Items are made from the prototype of their type tag,
// read their record, get linked and numbered, are prepared once, then played in order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/properties.h"

namespace scene {

class PlayHost;
class ProjectArchive;
class SceneList;

// The class name of a type tag ("PictureItem", ...); "" outside 0..13.
const char* ItemClassName(int32_t kind);

class SceneItem {
 public:
  explicit SceneItem(int32_t itemKind) : kind(itemKind) {}
  virtual ~SceneItem() = default;
  SceneItem(const SceneItem&) = delete;
  SceneItem& operator=(const SceneItem&) = delete;

  // Reads the common header, then the kind's record.
  virtual void load(ProjectArchive& archive);
  // Validates and builds run-time state once the whole list is loaded and numbered.
  virtual bool prepare(const SceneList& list);
  // Performs the item; may move the scene thread's index. Nonzero: call PauseCheck after.
  virtual int play(PlayHost& host, int32_t& index);
  virtual std::unique_ptr<SceneItem> createEmpty() const = 0;
  // Resources only: remember a link holder that uses this resource.
  virtual void addReference(SceneItem* /*holder*/) {}
  // Link holders only: the resource this item acts on.
  virtual void setLink(SceneItem* /*resource*/) {}
  void setDisabled(int32_t value) { disabled = value; }
  int32_t isDisabled() const { return disabled; }

  const char* className() const { return ItemClassName(kind); }

  TextProperty name;
  int32_t tagValue = 0;
  const int32_t kind;
  int32_t index = -1;
  int32_t disabled = 0;

 protected:
  void loadHeader(ProjectArchive& archive);
};

// A disabled resource that no enabled item uses need not be prepared.
bool UnusedResource(const SceneItem& resource, const std::vector<SceneItem*>& references);

}  // namespace scene
