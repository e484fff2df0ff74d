#pragma once
// The folders of a job's output path, made before the encoder opens its
// file there.
#include <string>

namespace rondel {

// Creates each folder along the Windows-form output path `path` (the file
// name last, without extension): for D:\Music\Artist\Album\01 Title the
// folders D:\Music, D:\Music\Artist and D:\Music\Artist\Album, in that
// order. The drive's root and the file name are never created; a path of
// three characters or fewer creates nothing. Failures are silent: the
// encoder's open then fails and reports it.
void createOutputFolders(const std::string& path);

}  // namespace rondel
