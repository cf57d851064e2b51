// What Windows' loader does to a mapped image before any of its code runs, through the image
// view: the base relocations applied, the imports bound, the export found, the thread-local
// template and TLS callbacks read, the entry point and the resources checked. Portable: no
// code of the module is run here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "image_view.h"
#include "pe_headers.h"

namespace serix::host::dll {

// The address this host gives an import, as the module sees addresses; 0 when it provides none.
using ImportBinder =
    std::function<std::uint32_t(std::string_view library, std::string_view function)>;

struct ImageTls {
  bool present = false;
  std::uint32_t indexRva = 0;            // where the loader writes the module's TLS index (0)
  std::vector<std::uint8_t> data;        // the template, then its zero fill
  std::vector<std::uint32_t> callbacks;  // rvas, in order
};

struct PreparedImage {
  std::uint32_t exportRva = 0;
  ImageTls tls;
};

// Relocates the image from its preferred base to image.Address(), binds every import,
// writes the TLS index, finds `exportName` and checks that it, the entry point and the TLS
// callbacks lie in code and that the resources are whole. The view's protections are those the
// pages will get. False, saying why, when the module cannot be loaded.
bool PrepareImage(const ImageView& image, const PeHeaders& headers, const ImportBinder& bind,
                  std::string_view exportName, PreparedImage& prepared, std::string& why);

}  // namespace serix::host::dll
