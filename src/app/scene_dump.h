#pragma once
// The loaded show as JSON (sceneplayer --dump): every stored field of every item, texts in
// UTF-8, data blocks as their size and the hex of their first bytes.

#include <string>

namespace scene {
class SceneList;
}

namespace app {

std::string DumpScene(const scene::SceneList& list);

}  // namespace app
