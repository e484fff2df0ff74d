#pragma once
// One fetched database entry, kept unparsed under its drop-down item id in
// the main window's entries map. The table of contents is the one the
// lookup started with: an entry is applied only while the window's disc
// still has exactly that table of contents.
#include <string>

#include "sdk/cdr_api.h"

namespace rondel {

struct FreedbEntry {
  std::string discId;    // as the query reply named it
  std::string category;  // as the query reply named it
  std::string title;     // the reply's disc title, "Artist / Album"
  std::string text;      // the whole read reply, line ends as received
  CdToc toc{};           // snapshot; a default record equals no real disc's
};

}  // namespace rondel
