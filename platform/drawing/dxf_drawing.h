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
// Selection works as a CAD user sees the drawing: in the current space (model
// space or a paper-space layout), without what lies on layers that are off or
// frozen, and by each entity's drawn extent in the current user system (texts
// by their placed boxes, block references by everything their block draws). A
// window selects an entity whose whole extent lies inside; a crossing one
// whose extent meets the window. Walks through a block pass over its hidden
// entities; an entity on layer 0 inside a block follows the reference's layer.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dxf/drawing.h"
#include "platform/fonts/text_metrics.h"
#include "platform/sds/host.h"

namespace gm::drawing {

class DxfDrawing : public sds_host::Drawing {
 public:
  DxfDrawing(gm::dxf::Drawing drawing, std::wstring path);

  std::wstring Path() const override { return path_; }
  sds_resbuf* EntGet(sds_host::EntityId id) const override;
  void ReadEntityType(sds_host::EntityId id, std::wstring& type) const override;
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
  sds_host::EntityId SelectHandle(const std::wstring& handle) const override;
  std::vector<std::wstring> Layouts() const override;
  bool SetLayout(const std::wstring& name) override;
  std::wstring CurrentLayout() const override { return space_.name; }

  const gm::dxf::Drawing& source() const { return drawing_; }

 private:
  enum class Where { kModel, kBlockHeader, kBlockEntity };
  struct Location {
    Where where;
    size_t block;  // for block headers and block entities
    size_t index;  // entity index in model space or in the block
  };

  // The space a user works in: model space, or the entities of one layout.
  struct Space {
    std::wstring name = L"Model";
    bool paper = false;                     // the ENTITIES section's paper-space entities
    const gm::dxf::Block* block = nullptr;  // a layout's own block (*Paper_Space1 ...)
  };
  struct Box {
    double x0, y0, x1, y1;
    bool empty() const { return x0 > x1; }
    void Add(double x, double y);
    void Add(const Box& b);
  };
  // x' = a x + b y + tx, y' = c x + d y + ty; drawings are read flat.
  struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  };
  static Affine Compose(const Affine& outer, const Affine& inner);

  const gm::dxf::Entity* Find(sds_host::EntityId id, Location* location = nullptr) const;
  bool FindModel(sds_host::EntityId id, Location* location) const;
  std::vector<sds_host::Point> DefiningPoints(const gm::dxf::Entity& e) const;
  sds_host::Point ToUcs(const gm::dxf::Point3& p) const;
  bool Shown(const gm::dxf::Entity& e, bool inBlock) const;
  bool Selectable(const gm::dxf::Entity& e) const;
  bool InSpace(const Location& l) const;
  // Whether the space's walk takes in the drawing's own entities (the rest are its block's).
  bool WalksDrawingEntities() const { return space_.block == nullptr || space_.paper; }
  template <typename F>
  void ForEachInSpace(F f) const;
  // How many entities ForEachInSpace visits at most.
  size_t SpaceBound() const;
  // Adds what list[i] draws, through m, to box.
  void AddExtent(const std::vector<gm::dxf::Entity>& list, size_t i, const Affine& m, bool inBlock,
                 Box& box) const;
  Box BlockBox(const gm::dxf::Block& block) const;
  Box Extent(const std::vector<gm::dxf::Entity>& list, size_t i) const;

  // Entities by handle, in open addressing: 16 bytes a slot, no node per entity.
  class HandleIndex {
   public:
    void Reserve(size_t count);
    // A later entry for the same handle replaces the earlier one. REQUIRES: handle != 0.
    void Put(std::uint64_t handle, const Location& location);
    bool Get(std::uint64_t handle, Location* location) const;

   private:
    struct Slot {
      std::uint64_t handle = 0;  // 0 for a free slot
      std::uint32_t list = 0;    // 0 model space, else 1 + the block
      std::uint32_t index = 0;   // kHeader for a block's own record
    };
    static constexpr std::uint32_t kHeader = 0xFFFFFFFFu;
    size_t Home(std::uint64_t handle) const;
    std::vector<Slot> slots_;
    size_t used_ = 0;
    // The lowest and highest handle put: when model-space entities are found in their own
    // array, the index holds block entities only, whose handles mostly lie apart from them.
    std::uint64_t lowest_ = ~std::uint64_t{0}, highest_ = 0;
  };

  gm::dxf::Drawing drawing_;
  std::wstring path_;
  // Block entities and headers; model-space entities too unless their handles ascend, when
  // they are found in their own array instead (FindModel).
  HandleIndex index_;
  bool model_sorted_ = false;
  std::unordered_map<std::wstring, size_t> blocks_by_name_;  // upper-case names
  std::unordered_map<std::wstring, const gm::dxf::Layer*> layers_by_name_;
  // No layer is off or frozen: every entity is shown, whatever its layer.
  bool every_layer_shown_ = true;
  gm::dxf::Point3 ucs_origin_, ucs_x_, ucs_y_, ucs_z_;
  Space space_;
  // Each block measured once, so a drawing full of references stays linear.
  mutable std::unordered_map<const gm::dxf::Block*, Box> block_boxes_;
  // The last layer text Shown() looked up, by its place in the drawing, and the answer.
  mutable std::wstring_view last_layer_;
  mutable bool last_layer_shown_ = true;
  // The style of the last text box, resolved: texts mostly share a style, and
  // looking it up and copying its font names cost more than measuring.
  mutable bool box_style_known_ = false;
  mutable std::wstring box_style_name_;
  mutable fonts::TextStyle box_style_;
  mutable double box_style_width_ = 1.0;
  // Makes box_style_ and box_style_width_ those of the named style.
  void ResolveBoxStyle(std::wstring_view style) const;
};

}  // namespace gm::drawing
