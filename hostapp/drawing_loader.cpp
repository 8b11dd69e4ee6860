#include "hostapp/drawing_loader.h"

#include <filesystem>

#include "platform/drawing/dxf_drawing.h"
#include "platform/dxf/reader.h"
#include "platform/win/text.h"

namespace hostapp {

std::shared_ptr<sds_host::Drawing> OpenDrawing(const std::string& path, std::string& error) {
  auto loaded = gm::dxf::LoadDrawing(path);
  if (!loaded.ok()) {
    error = "cannot open the drawing: " + loaded.status().message();
    return nullptr;
  }
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(),
                                                   win::Utf8ToWide(absolute.string()));
}

}  // namespace hostapp
