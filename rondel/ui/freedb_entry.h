#pragma once
// One database entry offered in the entries drop-down. The lookup work
// replaces this with the parsed entry; what the window needs of it now is
// the table of contents it was fetched for (so an entry of an earlier disc
// is never applied) and its text.
#include <string>

#include "rondel/drive/cdr_api.h"

namespace rondel {

struct FreedbEntry {
  CdToc toc{};
  std::string text;
};

}  // namespace rondel
