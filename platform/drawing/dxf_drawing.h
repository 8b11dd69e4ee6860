// The host's drawing database, filled from a DXF drawing: serves the
// drawing-facing SDS operations (entity data, walking, tables, selection,
// the user coordinate system and text boxes).
//
// Where a file leaves out what a CAD host computes when it loads a drawing,
// this computes it as such a host does, so files from other programs read as
// well as a CAD program's own:
// - an MTEXT without its extents (groups 42, 43) gets them from its contents
//   laid out in its style and width;
// - a justified TEXT or ATTRIB (horizontal or vertical justification not 0,
//   other than aligned and fit) gets its first alignment point (group 10)
//   from its second (group 11) and its text box;
// - angles (groups 50 to 58) are handed out in radians, as a host's entity
//   data gives them (MTEXT keeps its rotation, which the file holds in radians).
//
// Selection by window uses each entity's defining points (line ends,
// vertices, insertion points) in the current user system: a window selects
// an entity all of whose points lie inside, a crossing one any of whose points
// lie inside or whose points' bounding box meets the window.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/dxf/drawing.h"
#include "platform/sds/host.h"

namespace gm::drawing {

class DxfDrawing : public sds_host::Drawing {
 public:
  DxfDrawing(gm::dxf::Drawing drawing, std::wstring path);

  std::wstring Path() const override { return path_; }
  sds_resbuf* EntGet(sds_host::EntityId id) const override;
  std::wstring EntityType(sds_host::EntityId id) const override;
  sds_host::EntityId NextEntity(sds_host::EntityId id) const override;
  sds_host::EntityId FindTableObject(const std::wstring& table,
                                     const std::wstring& name) const override;
  sds_host::EntityId FindByHandle(const std::wstring& handle) const override;
  std::vector<sds_host::EntityId> SelectAll() const override;
  std::vector<sds_host::EntityId> SelectWindow(sds_host::Point a, sds_host::Point b,
                                               bool crossing) const override;
  sds_host::EntityId PickAt(sds_host::Point p) const override;
  bool Trans(const sds_host::Point& in, int from, int to, bool displacement,
             sds_host::Point& out) const override;
  bool TextBox(const sds_resbuf* entity, sds_host::Point& lowerLeft,
               sds_host::Point& upperRight) const override;

  const gm::dxf::Drawing& source() const { return drawing_; }

 private:
  enum class Where { kModel, kBlockHeader, kBlockEntity };
  struct Location {
    Where where;
    size_t block;  // for block headers and block entities
    size_t index;  // entity index in model space or in the block
  };

  const gm::dxf::Entity* Find(sds_host::EntityId id, Location* location = nullptr) const;
  std::vector<sds_host::Point> DefiningPoints(const gm::dxf::Entity& e) const;
  sds_host::Point ToUcs(const gm::dxf::Point3& p) const;
  bool Selectable(const gm::dxf::Entity& e) const;

  gm::dxf::Drawing drawing_;
  std::wstring path_;
  std::unordered_map<std::uint64_t, Location> index_;
  gm::dxf::Point3 ucs_origin_, ucs_x_, ucs_y_, ucs_z_;
};

}  // namespace gm::drawing
