// The entity reader: turns one entity's data list, as the host gives it,
// into horizontal lines, vertical lines and texts in the current user
// coordinate system. Entities that lack what is needed add nothing.
#pragma once

#include <memory>

#include "capture/geometry.h"
#include "capture/records.h"
#include "capture/shx_map.h"
#include "platform/sds/sds.h"

// Share of a text box cut away on each side to get its core.
inline constexpr double TextCoreFactor = 0.4;

// Reads LINE, LWPOLYLINE, POLYLINE (with its vertices), TEXT, ATTRIB, MTEXT
// and INSERT (its attributes, then its block's entities, recursively). A
// transform is given for entities of a block definition; nullptr otherwise.
void ReadEntity(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical, CArxDbMTextArray& texts,
                const sds_resbuf* list, const AcGeMatrix3d* transform, const CShxMap& shxMap);

// ReadEntity for the many entities of one conversion: the user system is asked about once,
// when the reader is made, so it must not change while the reader lives.
class CEntityReader {
 public:
  CEntityReader(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical, CArxDbMTextArray& texts,
                const CShxMap& shxMap);
  ~CEntityReader();
  CEntityReader(const CEntityReader&) = delete;
  CEntityReader& operator=(const CEntityReader&) = delete;

  void Read(const sds_resbuf* list, const AcGeMatrix3d* transform = nullptr);
  // Makes room for what this many entities give when each gives one line or text (references
  // and polylines give more), so that the arrays of a big selection are not moved and faulted
  // in afresh as they grow. Room never used stays untouched address space.
  void Reserve(long entities);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// The first buffer of the list with this group code, or nullptr.
const sds_resbuf* FindGroup(const sds_resbuf* list, int code);

// Converts a point from world to the current user system.
void WcsToUcs(AcGePoint3d& point);

// The box of an MTEXT of turned size w by h at its insertion point, by its
// attachment (1 to 9); any other attachment gives the insertion point alone.
void ComputeMTextBox(const AcGePoint3d& insertion, AcDbExtents& extents, double width,
                     double height, int attachment);
