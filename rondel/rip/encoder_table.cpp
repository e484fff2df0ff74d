#include "rondel/rip/encoder_table.h"

namespace rondel {

// The encoder libraries (lame.dll, ogg.dll, pcm.dll) are bound here once
// their binding exists; until then every slot stays empty and no format can
// be encoded.
int LoadEncoderLibraries() { return 0; }

}  // namespace rondel
