// The DXF reader: loads an ASCII DXF drawing, R12 (AC1009) to R2018 (AC1032), into a Drawing.
//
// Built in layers, each using only the ones below it:
//   tokenizer.h      bytes -> raw (group code, value line) pairs
//   group_reader.h   raw pairs -> typed groups (group.h's code table), text decoded once by
//                    text_decoder.h, x/y/z groups folded into points; or, for the entities of
//                    BLOCKS and ENTITIES, raw pairs straight into their packed form
//                    (group_list.h), without a Group each
//   record_reader.h  groups -> records (a code-0 group and the groups behind it)
//   reader.cpp       records -> header, tables, blocks and entities of a Drawing (drawing.h)
//
// What is read: the HEADER, TABLES, BLOCKS and ENTITIES sections. CLASSES, OBJECTS,
// THUMBNAILIMAGE, ACDSDATA and unknown sections are read past. Entities of every type are kept,
// proxy and unknown ones included, with all their groups.
//
// Bad input never gives a partial drawing: the load fails with a Status whose message names the
// file and the line ("plan.dxf:1234: group code 'abc' is not a number").
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dxf/drawing.h"
#include "platform/dxf/status.h"
#include "platform/dxf/tokenizer.h"

namespace gm::dxf {

// Loads the file at path, reading it in chunks: the extra memory beyond the drawing itself
// stays a few megabytes, whatever the file size.
[[nodiscard]] Result<Drawing> LoadDrawing(const std::filesystem::path& path);

// Loads a drawing from the whole file's bytes. name stands for the file in messages and in
// Drawing::source.
[[nodiscard]] Result<Drawing> LoadDrawingFromBuffer(std::string_view bytes,
                                                    std::string name = "<memory>");

// Loads a drawing from what source delivers, chunk_size bytes at a time; LoadDrawing() is this
// with a file source. name stands for the input in messages and in Drawing::source.
[[nodiscard]] Result<Drawing> LoadDrawingFromSource(std::unique_ptr<ByteSource> source,
                                                    std::string name,
                                                    std::size_t chunk_size = 1u << 20);

}  // namespace gm::dxf
